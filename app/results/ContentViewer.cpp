// The double-click on the result list: the content window.

#include <QMessageBox>
#include <QPlainTextEdit>

#include "app/EventPump.h"
#include "app/Form1.h"
#include "app/Form2.h"
#include "app/ShownText.h"
#include "app/widgets/ResultListView.h"
#include "fs/FsError.h"
#include "results/FolderContentLister.h"

namespace voidbroom {

// A plain entry stands for a folder that was strictly empty when it was scanned: the disk is
// not asked again. A marked entry's folder is listed as it is now. With no current entry
// (an empty list) there is nothing to show, and nothing happens.
void Form1::List1_DblClick() {
    const long index = List1->ListIndex();
    if (index < 0) return;
    // A copy: the list may change while the listing yields (a scan may start there).
    const ResultEntry entry = List1->list().at(static_cast<std::size_t>(index));
    const std::string& path = entry.path;
    if (!entry.marked()) {
        ContentText = "This folder is empty";
    } else {
        ContentText.clear();
        // The block is gathered apart and handed over at the end, so that a save or another
        // double-click run from one of the listing's yields cannot mix its text into it.
        std::string block;
        EventPump pump(*this, contentYieldHook);
        try {
            FolderContentLister(readAheadThreads).CollectFolderContent(path, block, [&pump] {
                return pump.pump();
            });
        } catch (const FsError& error) {
            if (closed()) return;
            ContentText = std::move(block);
            const QString where = error.path() == path ? QString() : shownPath(error.path()) + ": ";
            QMessageBox::warning(
                this, "Voidbroom",
                QString("The content of the folder %1 could not be listed:\n%2%3")
                    .arg(shownPath(path), where, QString::fromStdString(error.reason())));
            return;
        }
        if (closed()) return;  // closed during the listing: the window is gone
        ContentText = std::move(block);
    }
    if (!contentWindow_) contentWindow_ = new Form2(this);
    contentWindow_->setWindowTitle("Folder " + shownPath(path) + " content:");
    contentWindow_->Text1->setPlainText(Form2::shownText(ContentText));
    contentWindow_->exec();  // deletes the window when the user closes it
}

}  // namespace voidbroom
