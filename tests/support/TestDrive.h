#pragma once

#include <gtest/gtest.h>

#include <QWidget>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "app/Form1.h"
#include "tests/support/TempTree.h"

namespace voidbroom::test {

// A drive for window tests. Where this process may mount (tests run as root in CI) it is a
// real tmpfs mounted in a temporary folder, which the window finds in the system's mount
// table like any drive. Otherwise a plain temporary folder stands in, listed as a drive in a
// mount table of the test's own that is handed to the file-system service through its test
// options, a seam that the program itself never uses. `real()` tells which.
class TestDrive {
public:
    explicit TestDrive(const std::vector<std::string>& items = {});
    ~TestDrive();

    bool real() const { return mounted_; }
    // The drive's mount point, and its root path (with the final "/").
    const std::string& mountPoint() const { return mountPoint_; }
    std::string rootPath() const { return mountPoint_ + "/"; }
    std::string path(const std::string& relative) const { return mountPoint_ + "/" + relative; }
    // Adds items below the drive's root, in TempTree's notation.
    void add(const std::string& item) { tree_.add("drive/" + item); }

    // The file-system service the window under test must use to see this drive.
    Form1::FsoFactory fsoFactory() const;
    // Makes the drive the chosen one in the window's drive list; false if it is not listed.
    bool choose(Form1& form) const;

private:
    TempTree tree_;
    std::string mountPoint_;
    std::string mountTable_;
    bool mounted_ = false;
};

// A main window on a test drive holding `items`, shown, with that drive chosen.
struct WindowTest : ::testing::Test {
    explicit WindowTest(const std::vector<std::string>& items = {}) : drive(items) {}
    void SetUp() override;
    // Chooses `mode` in the mode box and presses Scan.
    void scan(int mode);
    // The result list's entries, and the index of `entry` (-1 when it is not listed).
    std::vector<std::string> entries() const;
    long indexOf(const std::string& entry) const;
    // The seven command buttons (Scan, Stop, Select All, Delete, Select All Empty, Save Log,
    // Exit): '1' where `property` (QWidget::isEnabled, QWidget::isVisible) holds, else '0'.
    std::string buttons(bool (QWidget::*property)() const) const;

    TestDrive drive;
    std::unique_ptr<Form1> form;
};

// For each widget, '1' where `property` holds, else '0'.
std::string states(std::initializer_list<const QWidget*> widgets,
                   bool (QWidget::*property)() const);

}  // namespace voidbroom::test
