// The Delete selected command of the main window.

#include <QApplication>
#include <QMessageBox>

#include "app/Form1.h"
#include "app/ShownText.h"
#include "app/Throttle.h"
#include "app/widgets/ResultListView.h"
#include "results/SelectedFolders.h"

namespace voidbroom {
// Deletes the folder of every selected entry, from the last entry to the first, and takes
// each deleted folder's entry out of the list. It stops at the first folder that cannot be
// deleted, whose entry stays listed and selected; what was deleted before stays deleted.
void Form1::cmdDel_Click() {
    handleSelectedFolders(
        [this](const ResultEntry& entry) {
            fso->DeleteFolder(entry.path, true, deleteCheckFor(entry));
        },
        "deleted");
}

// Runs `action` on the folder of every selected entry as Delete selected does, and reports
// the first failure as "The folder PATH could not be `done`".
void Form1::handleSelectedFolders(const FolderAction& action, const QString& done) {
    Throttle
        repaintDue;  // after each folder, but handling small folders must not wait for the screen
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto failures = handleSelectedLastFirst(
        List1->list(), action,
        [&] {
            List1->listChanged();
            if (repaintDue.due()) List1->Refresh();
        },
        /*stopAtFirstFailure=*/true);
    List1->listChanged();
    List1->Refresh();
    QApplication::restoreOverrideCursor();
    if (!failures.empty()) {
        QMessageBox::warning(this, "Voidbroom",
                             QString("The folder %1 could not be %2:\n%3")
                                 .arg(shownPath(failures.front().path), done,
                                      QString::fromStdString(failures.front().reason)));
    }
}

}  // namespace voidbroom
