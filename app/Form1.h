#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fs/FileSystemObject.h"
#include "fs/ReadAhead.h"
#include "results/SelectedFolders.h"

class QComboBox;
class QFrame;
class QLabel;
class QAction;
class QLineEdit;
class QMenu;
class QPushButton;

namespace voidbroom {

class ClickableLabel;
class DriveListBox;
class Form2;
class ResultListView;

// The main window: the header, the three panel selectors, and the SCANNER, SAVE and EXIT,
// and ABOUT panels with the seven command buttons in front of them. It owns the program's
// state for the life of the process. Each user command is one handler, named by its control
// and event; the handlers of a subsystem live in that subsystem's folder.
class Form1 : public QWidget {
    Q_OBJECT

public:
    using FsoFactory = std::function<std::unique_ptr<FileSystemObject>()>;

    // Runs the creation handler, builds the controls, then runs the load handler.
    // `makeFso` creates the file-system service (tests may hand in their own).
    explicit Form1(FsoFactory makeFso = defaultFso());
    ~Form1() override;

    static FsoFactory defaultFso();

    // False when the load handler could not create the file-system service: the failure has
    // been reported, and the window must not be shown.
    bool loaded() const { return loaded_; }
    // True once the window has been closed through its close handler.
    bool closed() const { return closed_; }

    // Program state.
    std::unique_ptr<FileSystemObject> fso;
    bool StopRequested = false;
    std::string ContentText;
    bool SavingLog = false;

    // Header and panel selectors.
    QLabel* Image7;
    QLabel* Image3;
    QLabel* Label2;
    ClickableLabel* ImgScanner;
    ClickableLabel* LblScanner;
    ClickableLabel* ImgSE;
    ClickableLabel* LblSE;
    ClickableLabel* ImgAbout;
    ClickableLabel* LblAbout;
    QFrame* Frame1;
    QFrame* frameScanner;
    QFrame* frameSE;
    QFrame* frameAbout;
    // Command buttons, in front of the panels.
    QPushButton* cmdScan;
    QPushButton* cmdStop;
    QPushButton* cmdSelAll;
    QPushButton* cmdSelEmpty;
    QPushButton* cmdDel;
    QPushButton* cmdSaveLog;
    QPushButton* cmdExit;
    // SCANNER panel.
    QLabel* Label3;
    QLabel* Label4;
    DriveListBox* Drive1;
    QComboBox* Combo1;
    ResultListView* List1;
    QLabel* Label1;
    // The result list's menu.
    QMenu* List1Menu;
    QAction* mnuTrash;
    QAction* mnuOpenFolder;
    QAction* mnuCopyPath;
    // SAVE and EXIT panel.
    QLabel* Label5;
    QLineEdit* Text1;
    QLabel* Image2;
    // ABOUT panel.
    QLabel* Label12;
    QLabel* Image1;
    QLabel* Label14;
    QLabel* Label16;
    QLabel* Label9;
    QLabel* Label8;
    QLabel* Label11;
    QLabel* Label18;
    QLabel* Label13;
    QLabel* Label7;
    QLabel* Label10;
    QLabel* Label6;
    QLabel* Label19;
    QLabel* Label20;

    // Handlers.
    void Form_Initialize();
    void Form_Load();
    void Form_QueryUnload(bool& cancel);
    void cmdScan_Click();
    void cmdStop_Click();
    void cmdSelAll_Click();
    void cmdSelEmpty_Click();
    void cmdDel_Click();
    void cmdExit_Click();
    void cmdSaveLog_Click();
    void List1_DblClick();
    void List1_MenuRequested(const QPoint& globalPos);
    void mnuTrash_Click();
    void mnuOpenFolder_Click();
    void mnuCopyPath_Click();
    void ImgScanner_Click();
    void LblScanner_Click();
    void ImgSE_Click();
    void LblSE_Click();
    void ImgAbout_Click();
    void LblAbout_Click();

    // Reader threads of the scan and of the content listings; tests that change the tree from
    // a command's yields set 1, so that every folder is read when the command enters it.
    unsigned readAheadThreads = kDefaultReadAheadThreads;

    // Called at every yield of a scan's walk, for tests that act in the middle of a scan.
    std::function<void()> scanYieldHook;
    // Called at every yield of a content listing (for the content window or the log).
    std::function<void()> contentYieldHook;

    // Opens a folder in the desktop's file manager; a seam for tests, which may not start one.
    std::function<bool(const QString& path)> openInFileManager;

    // Every control of the window, frames and the controls inside them included.
    std::vector<QWidget*> controls() const;

    // The idle caption of the window.
    static const QString kIdleCaption;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    enum class Panel { Scanner, SaveAndExit, About };
    void selectPanel(Panel panel);
    void buildHeader();
    void buildButtons();
    void buildScannerPanel();
    void buildSavePanel();
    void buildAboutPanel();
    void buildListMenu();
    void handleSelectedFolders(const FolderAction& action, const QString& done);
    void setTabOrder();
    void connectHandlers();
    // Reports a scan that could not start or could not open the drive's root.
    void reportScanFailure(const QString& path, const QString& reason);

    FsoFactory makeFso_;
    QPointer<Form2> contentWindow_;  // exists only while it is shown
    bool loaded_ = false;
    bool closed_ = false;
};

}  // namespace voidbroom
