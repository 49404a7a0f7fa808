// The main of the widget tests: one application object for all tests, offscreen.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);  // a closed test window must not end the run
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
