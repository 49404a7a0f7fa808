// The Save Log command of the main window.

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

#include "app/Controls.h"
#include "app/Form1.h"
#include "app/log/WindowLogHost.h"
#include "app/widgets/ResultListView.h"
#include "fs/FsError.h"
#include "log/LogWriter.h"

namespace voidbroom {

// Runs to its end without a word on success. Every control is disabled and the window
// refuses to close meanwhile; afterwards every control is enabled, whatever its state was
// (Stop too). A failure is reported once the window is back as it was.
void Form1::cmdSaveLog_Click() {
    const QString caption = windowTitle();
    SavingLog = true;
    setWindowTitle("Saving log...");
    setAllEnabled(controls(), false);
    const std::string suffix(markedSuffixFor(Label1->text().toStdString()));
    const QString typedPath = Text1->text();
    bool failed = false;
    QString failure;
    {
        WindowLogHost host(*this);
        try {
            writeLog(QFile::encodeName(typedPath).toStdString(), List1->list(), suffix, ContentText,
                     host, readAheadThreads);
        } catch (const FsError& error) {
            failed = true;
            failure = QString::fromStdString(error.reason());
        }
        host.showCaption();
    }
    setAllEnabled(controls(), true);
    setWindowTitle(caption);
    SavingLog = false;
    if (failed)
        QMessageBox::warning(
            this, "Voidbroom",
            QString("The log could not be saved to %1:\n%2").arg(typedPath, failure));
}

}  // namespace voidbroom
