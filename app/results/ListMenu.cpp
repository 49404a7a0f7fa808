// The result list's menu: Move to Trash, Open Folder and Copy Path.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "app/Form1.h"
#include "app/ShownText.h"
#include "app/widgets/ResultListView.h"
#include "fs/FolderTrasher.h"
#include "fs/FsError.h"
#include "results/SelectedFolders.h"

namespace voidbroom {
namespace {
bool anySelected(const ResultList& list) {
    for (std::size_t i = 0; i < list.count(); ++i)
        if (list.selected(i)) return true;
    return false;
}
}  // namespace

void Form1::buildListMenu() {
    List1Menu = new QMenu(List1);
    mnuTrash = List1Menu->addAction("Move to &Trash");
    List1Menu->addSeparator();
    mnuOpenFolder = List1Menu->addAction("&Open Folder");
    mnuCopyPath = List1Menu->addAction("&Copy Path");
    openInFileManager = [](const QString& path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
}

// Move to Trash goes with Delete selected: never while a scan or a save runs, and only with
// something selected. Open Folder and Copy Path are about the current entry.
void Form1::List1_MenuRequested(const QPoint& globalPos) {
    mnuTrash->setEnabled(cmdDel->isEnabled() && anySelected(List1->list()));
    const bool current = List1->ListIndex() >= 0;
    mnuOpenFolder->setEnabled(current);
    mnuCopyPath->setEnabled(current);
    List1Menu->popup(globalPos);
}

// Moves the folder of every selected entry to the trash, as Delete selected deletes them:
// from the last entry to the first, each moved folder's entry leaving the list, the first
// failure stopping the command with the folder kept where it is.
void Form1::mnuTrash_Click() {
    if (!cmdDel->isEnabled()) return;
    FolderTrasher trasher;
    handleSelectedFolders(
        [&](const ResultEntry& entry) { trasher.moveToTrash(entry.path, deleteCheckFor(entry)); },
        "moved to the trash");
}

void Form1::mnuOpenFolder_Click() {
    const long index = List1->ListIndex();
    if (index < 0) return;
    const QString path = shownPath(List1->list().at(static_cast<std::size_t>(index)).path);
    if (!openInFileManager(path))
        QMessageBox::warning(
            this, "Voidbroom",
            QString("The folder %1 could not be opened in a file manager.").arg(path));
}

void Form1::mnuCopyPath_Click() {
    const long index = List1->ListIndex();
    if (index < 0) return;
    QGuiApplication::clipboard()->setText(
        shownPath(List1->list().at(static_cast<std::size_t>(index)).path));
}

}  // namespace voidbroom
