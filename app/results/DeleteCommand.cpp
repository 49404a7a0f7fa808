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
    Throttle
        repaintDue;  // after each deletion, but deleting small folders must not wait for the screen
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto failures = handleSelectedLastFirst(
        List1->list(),
        [this](const ResultEntry& entry) {
            fso->DeleteFolder(entry.path, true, deleteCheckFor(entry));
        },
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
                             QString("The folder %1 could not be deleted:\n%2")
                                 .arg(shownPath(failures.front().path),
                                      QString::fromStdString(failures.front().reason)));
    }
}

}  // namespace voidbroom
