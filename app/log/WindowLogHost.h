#pragma once

#include <QString>

#include "app/EventPump.h"
#include "app/Throttle.h"
#include "log/LogWriter.h"

namespace voidbroom {

class Form1;

// The main window's side of a log save. The caption gains one dot per entry; the window
// keeps count and shows the caption at most every few milliseconds (and at the listings'
// yields when it handles events), so that a save of a million entries is bound by the disk.
class WindowLogHost : public LogHost {
public:
    explicit WindowLogHost(Form1& form);

    void entryStarted() override;
    void yield() override;

    // Shows the caption with every dot counted so far.
    void showCaption();

private:
    Form1& form_;
    EventPump pump_;
    Throttle captionDue_;
    QString caption_;
    qsizetype dotsShown_ = 0;
    qsizetype dots_ = 0;
};

}  // namespace voidbroom
