// Measures the main window where it could be slower than the walk itself, offscreen:
//   voidbroom-window-bench scan [--mode M] FOLDER
//       one Scan of FOLDER standing in for a drive, as the Scan button runs it; prints the
//       entry count, and the time of the command alone on standard error; with
//       VOIDBROOM_BENCH_SCAN_TIMES set, also appends "MODE SECONDS" to the file it names, so
//       that the command's time can be had from every run of a series
//   voidbroom-window-bench save FOLDER
//       one Scan of FOLDER in mode 1, then one Save Log of the result to a temporary file;
//       prints the entry count, the log's size, and the times of the two commands
//   voidbroom-window-bench list N
//       N entries appended to the result list the way a scan appends them, then repaints
//       and scrolling of the full list, and the two selection commands; prints the figures

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Form1.h"
#include "app/ProgramEnd.h"
#include "app/StandInDrive.h"
#include "app/scan/WindowScanHost.h"
#include "app/widgets/DriveListBox.h"
#include "app/widgets/ResultListView.h"
#include "fs/FolderStack.h"

namespace {

using voidbroom::FileSystemObject;
using voidbroom::FileSystemOptions;
using voidbroom::Form1;

// A window whose only drive is `folder` (listed through a mount table of our own).
std::unique_ptr<Form1> windowOn(const std::string& folder) {
    const std::string table = QDir::temp().filePath("voidbroom-bench-mountinfo").toStdString();
    voidbroom::writeStandInMountTable(table, folder, "/dev/bench", /*withSystemDrives=*/false);
    auto form = std::make_unique<Form1>(voidbroom::standInFso(table));
    std::remove(table.c_str());
    return form;
}

bool noteScanTime(int mode, double seconds) {
    const char* path = std::getenv("VOIDBROOM_BENCH_SCAN_TIMES");
    if (path == nullptr || *path == '\0') return true;
    std::FILE* file = std::fopen(path, "a");
    if (file == nullptr) return false;
    const bool written = std::fprintf(file, "%d %.6f\n", mode, seconds) > 0;
    return std::fclose(file) == 0 && written;
}

int scan(int mode, const std::string& folder) {
    auto form = windowOn(folder);
    if (!form->loaded()) return 1;
    form->show();
    form->Combo1->setCurrentIndex(mode);
    QElapsedTimer timer;
    timer.start();
    form->cmdScan->click();
    const double ms = timer.nsecsElapsed() / 1e6;
    std::printf("%zu\n", form->List1->ListCount());
    std::fprintf(stderr, "window scan, mode %d: %zu entries in %.1f ms\n", mode,
                 form->List1->ListCount(), ms);
    // Ends the way the program ends after its event loop, so that the run's time is the
    // program's: start-up, the Scan, and its exit.
    const int code = noteScanTime(mode, ms / 1e3) ? 0 : 1;
    voidbroom::endAtOnce(code);
    return code;
}

int save(const std::string& folder) {
    QTemporaryDir logFolder;
    if (!logFolder.isValid()) return 1;
    const QString logPath = logFolder.filePath("voidbroom-log.txt");
    auto form = windowOn(folder);
    if (!form->loaded()) return 1;
    form->show();
    form->Combo1->setCurrentIndex(1);
    QElapsedTimer timer;
    timer.start();
    form->cmdScan->click();
    const double scanMs = timer.nsecsElapsed() / 1e6;
    std::size_t marked = 0;
    for (std::size_t i = 0; i < form->List1->ListCount(); ++i)
        if (form->List1->list().at(i).marked()) ++marked;
    form->Text1->setText(logPath);
    // A failed save reports in a message box: say what it said instead of waiting for a user.
    QTimer boxWatch;
    QObject::connect(&boxWatch, &QTimer::timeout, &boxWatch, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "%s\n", qPrintable(box->text()));
            box->reject();
        }
    });
    boxWatch.start(100);
    timer.start();
    form->cmdSaveLog->click();
    const double saveMs = timer.nsecsElapsed() / 1e6;
    const qint64 bytes = QFileInfo(logPath).size();
    std::printf("entries: %zu (%zu marked)\n", form->List1->ListCount(), marked);
    std::printf("log: %lld bytes\n", static_cast<long long>(bytes));
    std::printf("scan, mode 1: %.1f ms\n", scanMs);
    std::printf("save log: %.1f ms (%.2f of the scan)\n", saveMs, saveMs / scanMs);
    return bytes > 0 ? 0 : 1;
}

double medianMs(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

template <class Action>
double timeMs(int repeats, Action&& action) {
    std::vector<double> samples;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        action();
        samples.push_back(timer.nsecsElapsed() / 1e6);
    }
    return medianMs(samples);
}

int list(long count) {
    auto form = windowOn(QDir::tempPath().toStdString());
    if (!form->loaded()) return 1;
    form->show();
    voidbroom::ResultListView& view = *form->List1;
    QElapsedTimer timer;
    timer.start();
    {
        voidbroom::WindowScanHost host(*form);
        std::string entry;
        for (long i = 0; i < count; ++i) {
            host.yield();
            entry = "/media/archive/projects/folder-" + std::to_string(i) + "/build/empty";
            host.addEntry(
                {i % 3 ? voidbroom::EntryKind::Empty : voidbroom::EntryKind::ZeroSize, entry, {}});
        }
        host.finish();
    }
    const double appendMs = timer.nsecsElapsed() / 1e6;
    QScrollBar* bar = view.verticalScrollBar();
    const double top = timeMs(50, [&] { view.Refresh(); });
    bar->setValue(bar->maximum() / 2);
    const double middle = timeMs(50, [&] { view.Refresh(); });
    bar->setValue(bar->maximum());
    const double end = timeMs(50, [&] { view.Refresh(); });
    const double scroll = timeMs(50, [&] {
        bar->setValue(bar->value() == 0 ? bar->maximum() : 0);
        view.Refresh();
    });
    std::printf("entries: %zu\n", view.ListCount());
    std::printf("append %ld entries as a scan does: %.1f ms (%.3f us per entry)\n", count, appendMs,
                appendMs * 1000.0 / static_cast<double>(count));
    std::printf("repaint, median of 50: top %.3f ms, middle %.3f ms, end %.3f ms\n", top, middle,
                end);
    std::printf("jump between first and last page and repaint, median of 50: %.3f ms\n", scroll);
    const double selectAll = timeMs(5, [&] { form->cmdSelAll_Click(); });
    const double selectEmpty = timeMs(5, [&] { form->cmdSelEmpty_Click(); });
    std::printf("Select All, median of 5: %.1f ms; Select All Empty, median of 5: %.1f ms\n",
                selectAll, selectEmpty);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    voidbroom::raiseDescriptorLimit();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "list") return list(std::atol(args[1].c_str()));
    if (args.size() == 2 && args[0] == "scan") return scan(0, args[1]);
    if (args.size() == 2 && args[0] == "save") return save(args[1]);
    if (args.size() == 4 && args[0] == "scan" && args[1] == "--mode")
        return scan(std::atoi(args[2].c_str()), args[3]);
    std::fprintf(stderr,
                 "usage: voidbroom-window-bench scan [--mode M] FOLDER | save FOLDER | list N\n");
    return 2;
}
