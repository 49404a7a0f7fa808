// Pictures the main window for anyone checking the layout:
//   voidbroom-screenshot OUTDIR FOLDER
// writes scanner.png, save-and-exit.png, about.png, scanned.png (the SCANNER panel after a scan
// of FOLDER in mode 1, FOLDER standing in for a drive) and content.png (the content window
// showing the marked folder with the most content) into OUTDIR.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "app/Form1.h"
#include "app/Form2.h"
#include "app/Layout.h"
#include "app/StandInDrive.h"
#include "app/widgets/ClickableLabel.h"
#include "app/widgets/DriveListBox.h"
#include "app/widgets/ResultListView.h"
#include "fs/FsError.h"
#include "results/FolderContentLister.h"

namespace {

void settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

bool save(QWidget& window, const QString& file) {
    settle();
    return window.grab().save(file);
}

// Double-clicks the marked entry with the most content and pictures the content window.
bool saveContentWindow(voidbroom::Form1& form, const QString& file) {
    long marked = -1;
    std::size_t longest = 0;
    for (std::size_t i = 0; i < form.List1->ListCount(); ++i) {
        const voidbroom::ResultEntry& entry = form.List1->list().at(i);
        if (!entry.marked()) continue;
        std::string content;
        try {
            voidbroom::FolderContentLister().CollectFolderContent(entry.path, content, {});
        } catch (const voidbroom::FsError&) {
            continue;
        }
        if (marked < 0 || content.size() > longest)
            marked = static_cast<long>(i), longest = content.size();
    }
    if (marked < 0) return false;
    form.List1->setListIndex(marked);
    bool saved = false;
    QTimer::singleShot(100, &form, [&] {
        if (auto* window = qobject_cast<voidbroom::Form2*>(QApplication::activeModalWidget())) {
            saved = save(*window, file);
            window->close();
        }
    });
    form.List1_DblClick();
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: voidbroom-screenshot OUTDIR FOLDER\n");
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);
    const std::string folder = argv[2];
    const std::string table = QDir(outDir).filePath(".mountinfo").toStdString();
    if (!voidbroom::writeStandInMountTable(table, folder, "/dev/demo", /*withSystemDrives=*/true))
        return 1;
    voidbroom::Form1 form(voidbroom::standInFso(table));
    if (!form.loaded()) return 1;
    form.show();
    bool ok = save(form, outDir + "/scanner.png");
    form.LblSE->clicked();
    ok = save(form, outDir + "/save-and-exit.png") && ok;
    form.LblAbout->clicked();
    ok = save(form, outDir + "/about.png") && ok;
    form.LblScanner->clicked();
    form.Drive1->setCurrentIndex(
        form.Drive1->findText(QString::fromStdString(folder + " [/dev/demo]")));
    form.Combo1->setCurrentIndex(1);
    form.cmdScan->click();
    ok = save(form, outDir + "/scanned.png") && ok;
    ok = saveContentWindow(form, outDir + "/content.png") && ok;
    QFile::remove(QString::fromStdString(table));
    std::printf("%s in %s\n", ok ? "pictures written" : "some pictures could not be written",
                qPrintable(outDir));
    return ok ? 0 : 1;
}
