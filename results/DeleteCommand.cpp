// The Delete selected command of the main window.

#include <QApplication>
#include <QMessageBox>

#include "app/Form1.h"
#include "app/Throttle.h"
#include "results/ResultListView.h"
#include "scan/ResultEntry.h"

namespace voidbroom {
// Deletes the folder of every selected entry, from the last entry to the first, and takes
// each deleted folder's entry out of the list. It stops at the first folder that cannot be
// deleted, whose entry stays listed and selected; what was deleted before stays deleted.
void Form1::cmdDel_Click() {
    const std::size_t count = List1->ListCount();
    Throttle repaintDue;  // after each deletion, but deleting small folders must not wait for the screen
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::string failedPath;
    QString reason;
    for (std::size_t i = count; i-- > 0;) {
        if (!List1->Selected(i)) continue;
        const ListEntry& entry = List1->list().at(i);
        const std::string path(folderPathOf(entry.text));
        try {
            fso->DeleteFolder(path, true, DeleteCheck{entry.folder, !isMarkedEntry(entry.text)});
        } catch (const FsError& error) {
            failedPath = path;
            reason = QString::fromStdString(error.path() == path ? error.reason() : error.what());
            break;
        }
        List1->RemoveItem(i);
        if (repaintDue.due()) List1->Refresh();
    }
    List1->Refresh();
    QApplication::restoreOverrideCursor();
    if (!failedPath.empty()) {
        QMessageBox::warning(this, "Voidbroom",
                             QString("The folder %1 could not be deleted:\n%2")
                                 .arg(QString::fromUtf8(failedPath.data(), static_cast<qsizetype>(failedPath.size())),
                                      reason));
    }
}

}  // namespace voidbroom
