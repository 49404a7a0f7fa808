#pragma once

namespace voidbroom {

// Ends the program at once with `code` once its event loop has ended. By then no command is
// running: each runs to its end inside the event that started it, and what it writes (a log,
// a deletion) is on disk. What is left is taking the widgets, the X connection and Qt's
// threads down one by one, which on X11 costs about 20 ms that the user waits through at every
// exit; the system takes all of it back at once when the process ends. Buffered output is
// written first. Returns, and leaves the ending to the caller, while the program holds the
// clipboard: Qt hands its content to the desktop's clipboard manager as it goes down, so that
// what was copied can still be pasted after the program has gone.
void endAtOnce(int code);

}  // namespace voidbroom
