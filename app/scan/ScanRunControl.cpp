// The Scan and Stop commands of the main window.

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "app/Controls.h"
#include "app/Form1.h"
#include "app/scan/WindowScanHost.h"
#include "app/widgets/DriveListBox.h"
#include "app/widgets/ResultListView.h"
#include "scan/FolderWalker.h"

namespace voidbroom {
namespace {

const QString kDescriptions[] = {
    "List contain only empty folders (ie. folders without subfolders and files)",
    "Folders marked with (***) not empty, but contain only empty folders\r\n"
    "and/or 0-length files. Double click on a folder to receive its content.",
    "Folders marked with (***) not empty, they contain subfolders\r\n"
    "but don't contain any files.",
};

}  // namespace

void Form1::cmdScan_Click() {
    StopRequested = false;
    List1->Clear();
    setCursor(Qt::WaitCursor);
    for (int mode = 0; mode < 3; ++mode)
        if (Combo1->currentIndex() == mode) Label1->setText(kDescriptions[mode]);
    List1->Refresh();
    setAllEnabled({cmdSelAll, cmdDel, cmdSelEmpty, cmdExit, cmdScan, cmdSaveLog}, false);
    Combo1->setEnabled(false);
    cmdStop->setEnabled(true);

    // The mode box stays disabled for the whole run: the mode read now is the run's mode.
    const int mode = Combo1->currentIndex();
    const std::string mountPoint = Drive1->Drive();
    QString failure;
    try {
        const std::string rootPath = fso->GetDrive(mountPoint).RootFolder().Path();
        WindowScanHost host(*this);
        FolderWalker walker(host, readAheadThreads);
        const WalkResult result = walker.ScanFolder(rootPath, mode);
        host.finish();
        if (!result.done()) failure = QString::fromStdString(result.reason);
    } catch (const FsError& error) {
        failure = QString::fromStdString(error.reason());
    }
    if (closed()) return;  // closed during the walk: the window is left as it is

    unsetCursor();
    setAllEnabled({cmdSelAll, cmdDel, cmdSelEmpty, cmdScan, cmdExit, cmdSaveLog}, true);
    cmdStop->setEnabled(false);
    Combo1->setEnabled(true);
    setWindowTitle(kIdleCaption);
    if (!failure.isNull()) reportScanFailure(QString::fromStdString(mountPoint), failure);
}

void Form1::cmdStop_Click() {
    StopRequested = true;
}

}  // namespace voidbroom
