#include "app/Form1.h"

#include <unistd.h>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include "app/Controls.h"
#include "app/Form2.h"
#include "app/Layout.h"
#include "app/Version.h"
#include "app/modXpLook.h"
#include "app/widgets/ClickableLabel.h"
#include "app/widgets/DriveListBox.h"
#include "app/widgets/ResultListView.h"
#include "log/LogPath.h"

// The pictures live in the GUI library; a static library's resources must be registered.
static void registerPictures() {
    Q_INIT_RESOURCE(resources);
}

namespace voidbroom {

using namespace layout;

const QString Form1::kIdleCaption =
    QStringLiteral("Select drive and press [Scan] to scan for empty folders");

namespace {

QLabel* picture(QWidget* parent, const QString& resource, const QRect& place) {
    auto* label = new QLabel(parent);
    label->setPixmap(QPixmap(resource));
    label->setGeometry(place);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLabel* text(QWidget* parent, const QString& caption, const QRect& place, const QFont& font,
             const QColor& color) {
    auto* label = new QLabel(caption, parent);
    label->setGeometry(place);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextColor(label, color);
    return label;
}

// A panel selector: a picture or a label that shows the pointing hand.
ClickableLabel* selector(ClickableLabel* label, const QRect& place) {
    label->setGeometry(place);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

QFrame* panel(QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setGeometry(twips(0, 1560, 6615, 5415));
    frame->setFrameShape(QFrame::NoFrame);
    setBackground(frame, kWhite);
    return frame;
}

QPushButton* button(QWidget* parent, const QString& caption, const QRect& place, const QFont& font,
                    const QString& tip = {}) {
    auto* b = new QPushButton(caption, parent);
    b->setGeometry(place);
    b->setFont(font);
    if (!tip.isEmpty()) b->setToolTip(tip);
    return b;
}

std::string currentFolder() {
    std::string buffer(4096, '\0');
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return "/";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.c_str();
}

}  // namespace

Form1::FsoFactory Form1::defaultFso() {
    return [] { return std::make_unique<FileSystemObject>(); };
}

Form1::Form1(FsoFactory makeFso) : makeFso_(std::move(makeFso)) {
    Form_Initialize();
    registerPictures();
    registerFontSubstitutes();  // before the first widget asks for Segoe UI or Arial
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(px(6615), px(7065));
    setBackground(this, kWhite);
    setWindowIcon(QIcon(QStringLiteral(":/images/icon.png")));
    buildHeader();
    buildScannerPanel();
    buildSavePanel();
    buildAboutPanel();
    buildListMenu();
    Frame1->raise();  // the separator lies in front of the panels' top edge
    buildButtons();
    setTabOrder();
    connectHandlers();
    Form_Load();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

Form1::~Form1() = default;

void Form1::Form_Initialize() {
    InitVisualStyles();
}

void Form1::buildHeader() {
    Image7 = picture(this, ":/images/banner.png", twips(0, 0, 7170, 720));
    Image3 = picture(this, ":/images/icon.png", twips(120, 120, 480, 480));
    Label2 = text(this, "Voidbroom  " VOIDBROOM_VERSION, twips(720, 240, 2175, 255),
                  designFont("Segoe UI", 11.25, true), kOrange);
    const QFont selectorFont = designFont("Segoe UI", 9.75, true);
    ImgScanner = selector(new ClickableLabel(this), twips(120, 960, 360, 360));
    ImgScanner->setPixmap(QPixmap(":/images/scanner.png"));
    LblScanner = selector(new ClickableLabel("  SCANNER", this), twips(480, 960, 1095, 255));
    ImgSE = selector(new ClickableLabel(this), twips(1920, 960, 360, 360));
    ImgSE->setPixmap(QPixmap(":/images/save.png"));
    LblSE = selector(new ClickableLabel("  SAVE and EXIT", this), twips(2280, 960, 1695, 255));
    ImgAbout = selector(new ClickableLabel(this), twips(4200, 840, 480, 480));
    ImgAbout->setPixmap(QPixmap(":/images/about.png"));
    LblAbout = selector(new ClickableLabel("  ABOUT", this), twips(4680, 960, 1215, 255));
    for (QLabel* label : {static_cast<QLabel*>(LblScanner), static_cast<QLabel*>(LblSE),
                          static_cast<QLabel*>(LblAbout)}) {
        label->setFont(selectorFont);
        setTextColor(label, kBlue);
    }
    Frame1 = new QFrame(this);
    Frame1->setGeometry(twips(0, 1440, 7215, 135));
    Frame1->setFrameShape(QFrame::NoFrame);
    setBackground(Frame1, kOrange);
}

void Form1::buildButtons() {
    const QFont bold = designFont("Segoe UI", 8.25, true);
    const QFont plain = designFont("Segoe UI", 8.25);
    cmdScan =
        button(this, "Scan", twips(2520, 2280, 1695, 375), bold, "Click to scan empty folders");
    cmdStop = button(this, "Stop", twips(4800, 2280, 1695, 375), bold, "Click to stop scanning");
    cmdSelAll = button(this, "Select All", twips(120, 5880, 1815, 375), plain);
    cmdSelEmpty = button(this, "Select All Empty", twips(2160, 5880, 1815, 375), plain);
    cmdDel = button(this, "Delete selected", twips(5040, 5880, 1455, 375), plain);
    cmdSaveLog = button(this, "Save Log", twips(3480, 2640, 975, 615), plain);
    cmdExit = button(this, "Exit", twips(2400, 6360, 1815, 615), designFont("Segoe UI", 9.75));
}

void Form1::buildScannerPanel() {
    frameScanner = panel(this);
    const QFont heading = designFont("Segoe UI", 9, true);
    Label3 = text(frameScanner, "Drive", twips(120, 120, 1815, 255), heading, kDarkGrey);
    Label4 = text(frameScanner, "Action", twips(2520, 120, 3375, 255), heading, kDarkGrey);
    Drive1 = new DriveListBox(frameScanner);
    Drive1->setGeometry(twips(120, 360, 2055, 330));
    Drive1->setFont(designFont("Arial", 8.25));
    Combo1 = new QComboBox(frameScanner);  // a drop-down list: nothing can be typed into it
    Combo1->setGeometry(twips(2520, 360, 3975, 330));
    Combo1->setFont(designFont("Arial", 8.25));
    List1 = new ResultListView(frameScanner);
    List1->setGeometry(twips(120, 1320, 6375, 2955));
    List1->setFont(designFont("Segoe UI", 8.25));
    Label1 = text(frameScanner, QString(), twips(120, 4920, 6255, 495),
                  designFont("Segoe UI", 8.25), palette().color(QPalette::WindowText));
    Label1->setWordWrap(true);
}

void Form1::buildSavePanel() {
    frameSE = panel(this);
    Label5 = text(frameSE, "Save to:", twips(360, 240, 1815, 255), designFont("Segoe UI", 9, true),
                  kDarkGrey);
    Text1 = new QLineEdit(frameSE);
    Text1->setGeometry(twips(360, 600, 4095, 285));
    Text1->setFont(designFont("Segoe UI", 9));
    Image2 = picture(frameSE, ":/images/decor.png", twips(4200, 0, 2460, 2010));
    Image2->lower();  // pictures lie behind the controls they overlap
}

void Form1::buildAboutPanel() {
    frameAbout = panel(this);
    Label12 = text(frameAbout, "Voidbroom  v" VOIDBROOM_VERSION, twips(360, 240, 2175, 255),
                   designFont("Segoe UI", 11.25, true), kBlue);
    Image1 = picture(frameAbout, ":/images/decor.png", twips(4200, 0, 2460, 2010));
    Image1->lower();
    const QFont rowFont = designFont("Segoe UI", 9.75);
    auto row = [&](QLabel*& caption, const QString& captionText, QLabel*& value,
                   const QString& valueText, int top, int valueWidth) {
        caption = text(frameAbout, captionText, twips(360, top, 1095, 255), rowFont, kDarkGrey);
        value = text(frameAbout, valueText, twips(1440, top, valueWidth, 255), rowFont, kDarkGrey);
        setBackground(value, kWhite);
    };
    row(Label9, "Design by", Label8, kDesigner, 600, 2415);
    row(Label11, "Version ", Label18, VOIDBROOM_VERSION, 840, 2415);
    row(Label13, "Compiler", Label7, kCompiler, 1320, 2655);
    row(Label10, "E-mail", Label6, kContactAddress, 1560, 2415);
    row(Label19, "Website ", Label20, kWebsite, 1800, 3255);
    Label14 =
        text(frameAbout, "\n", twips(120, 4440, 5655, 495), designFont("Arial", 9.75, true), kRed);
    setBackground(Label14, kWhite);
    Label16 = text(frameAbout, kNotice, twips(120, 4920, 2655, 375),
                   designFont("Segoe UI", 11.25, true), kOrange);
}

// Tab order, first to last; hidden and disabled controls are skipped.
void Form1::setTabOrder() {
    QWidget* order[] = {Combo1,  Drive1, List1,   Text1,      cmdSelEmpty, cmdSelAll,
                        cmdStop, cmdDel, cmdExit, cmdSaveLog, cmdScan};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    for (QLabel* label : findChildren<QLabel*>()) label->setFocusPolicy(Qt::NoFocus);
}

std::vector<QWidget*> Form1::controls() const {
    return {Image7,      Image3,  Label2,       ImgScanner, LblScanner, ImgSE,   LblSE,   ImgAbout,
            LblAbout,    Frame1,  frameScanner, frameSE,    frameAbout, cmdScan, cmdStop, cmdSelAll,
            cmdSelEmpty, cmdDel,  cmdSaveLog,   cmdExit,    Label3,     Label4,  Drive1,  Combo1,
            List1,       Label1,  Label5,       Text1,      Image2,     Label12, Image1,  Label14,
            Label16,     Label9,  Label8,       Label11,    Label18,    Label13, Label7,  Label10,
            Label6,      Label19, Label20};
}

void Form1::connectHandlers() {
    connect(cmdScan, &QPushButton::clicked, this, &Form1::cmdScan_Click);
    connect(cmdStop, &QPushButton::clicked, this, &Form1::cmdStop_Click);
    connect(cmdSelAll, &QPushButton::clicked, this, &Form1::cmdSelAll_Click);
    connect(cmdSelEmpty, &QPushButton::clicked, this, &Form1::cmdSelEmpty_Click);
    connect(cmdDel, &QPushButton::clicked, this, &Form1::cmdDel_Click);
    connect(cmdExit, &QPushButton::clicked, this, &Form1::cmdExit_Click);
    connect(cmdSaveLog, &QPushButton::clicked, this, &Form1::cmdSaveLog_Click);
    connect(List1, &ResultListView::doubleClicked, this, &Form1::List1_DblClick);
    connect(List1, &ResultListView::menuRequested, this, &Form1::List1_MenuRequested);
    connect(mnuTrash, &QAction::triggered, this, &Form1::mnuTrash_Click);
    connect(mnuOpenFolder, &QAction::triggered, this, &Form1::mnuOpenFolder_Click);
    connect(mnuCopyPath, &QAction::triggered, this, &Form1::mnuCopyPath_Click);
    connect(ImgScanner, &ClickableLabel::clicked, this, &Form1::ImgScanner_Click);
    connect(LblScanner, &ClickableLabel::clicked, this, &Form1::LblScanner_Click);
    connect(ImgSE, &ClickableLabel::clicked, this, &Form1::ImgSE_Click);
    connect(LblSE, &ClickableLabel::clicked, this, &Form1::LblSE_Click);
    connect(ImgAbout, &ClickableLabel::clicked, this, &Form1::ImgAbout_Click);
    connect(LblAbout, &ClickableLabel::clicked, this, &Form1::LblAbout_Click);
}

void Form1::Form_Load() {
    setWindowTitle(kIdleCaption);
    Combo1->addItem("List only empty folders");
    Combo1->addItem("List also non-empty zero-length folders");
    Combo1->addItem("List also folders without files");
    Combo1->setCurrentIndex(0);
    Label1->setText(QString());
    Text1->setText(QString::fromStdString(defaultLogPath()));
    setAllEnabled({cmdStop, cmdSelAll, cmdDel, cmdSaveLog, cmdSelEmpty}, false);
    try {
        fso = makeFso_();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, "Voidbroom",
                              QString("Voidbroom cannot start: its file-system service is not "
                                      "available.\n\n%1")
                                  .arg(QString::fromStdString(error.what())));
        return;
    }
    frameScanner->setVisible(true);
    setAllVisible({cmdStop, cmdSelAll, cmdDel, cmdSaveLog, cmdSelEmpty}, true);
    frameSE->setVisible(false);
    frameAbout->setVisible(false);
    cmdExit->setVisible(false);
    cmdSaveLog->setVisible(false);
    FileSystemObject* service = fso.get();
    Drive1->fill([service] { return service->Drives(); }, currentFolder());
    Combo1->setFocus();
    loaded_ = true;
}

// Every panel selection sets the same ten Visible properties in the same order.
void Form1::selectPanel(Panel panel) {
    const bool scanner = panel == Panel::Scanner;
    const bool saveAndExit = panel == Panel::SaveAndExit;
    frameScanner->setVisible(scanner);
    setAllVisible({cmdScan, cmdStop, cmdSelAll, cmdDel, cmdSaveLog, cmdSelEmpty}, scanner);
    frameSE->setVisible(saveAndExit);
    frameAbout->setVisible(panel == Panel::About);
    cmdExit->setVisible(saveAndExit);
    cmdSaveLog->setVisible(saveAndExit);  // set a second time: this one decides
}

void Form1::ImgScanner_Click() {
    selectPanel(Panel::Scanner);
}
void Form1::LblScanner_Click() {
    selectPanel(Panel::Scanner);
}
void Form1::ImgSE_Click() {
    selectPanel(Panel::SaveAndExit);
}
void Form1::LblSE_Click() {
    selectPanel(Panel::SaveAndExit);
}
void Form1::ImgAbout_Click() {
    selectPanel(Panel::About);
}
void Form1::LblAbout_Click() {
    selectPanel(Panel::About);
}

void Form1::cmdExit_Click() {
    QMessageBox box(QMessageBox::Question, "Exit Application", "Are you sure you want to exit?",
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::Yes);
    if (box.exec() != QMessageBox::Yes) return;
    // The program ends at once: every window goes, and the close handler does not run.
    for (QWidget* window : QApplication::topLevelWidgets()) window->hide();
    QCoreApplication::exit(0);
}

void Form1::closeEvent(QCloseEvent* event) {
    bool cancel = false;
    Form_QueryUnload(cancel);
    if (cancel)
        event->ignore();
    else
        event->accept();
}

void Form1::Form_QueryUnload(bool& cancel) {
    if (SavingLog) {
        cancel = true;  // the save goes on; nothing is said
        return;
    }
    StopRequested = true;
    fso.reset();
    closed_ = true;
}

void Form1::reportScanFailure(const QString& path, const QString& reason) {
    QMessageBox::warning(this, "Voidbroom",
                         QString("The drive %1 cannot be scanned:\n%2").arg(path, reason));
}

}  // namespace voidbroom
