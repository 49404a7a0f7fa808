#pragma once

#include <string>
#include <string_view>

#include "fs/Fd.h"
#include "log/LogTarget.h"

namespace voidbroom {

// The log file while it is written. It is written under a temporary name in the folder of
// its target and takes the target's place only in commit(), once everything has been written
// and flushed to the disk; a LogFile destroyed without commit() removes its temporary file,
// so that a failed save leaves an earlier log at the path exactly as it was. Where the folder
// lets the user create no file but the log exists and may be written, it is truncated and
// written in place instead; a failure then leaves part of the log, and says so.
//
// The target is the path as given; when it names a symbolic link, the file the link points
// to is replaced and the link stays (see LogTarget for the links and files that are refused
// in shared folders like /tmp). A new log gets the permissions a plain create would give it;
// a replaced one keeps its permissions and, where allowed, its owner.
// Every failure throws FsError with the path as given and the reason.
class LogFile {
public:
    explicit LogFile(const std::string& path);
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Appends `text` to the file; written in large blocks.
    void write(std::string_view text);
    // Writes what is left, flushes it to the disk and puts the file in the target's place.
    void commit();

private:
    [[noreturn]] void fail(const std::string& reason) const;
    [[noreturn]] void failWriting(int error) const;
    int createTemporary();
    void openInPlace();
    void removeTemporary();
    void flush();

    std::string path_;       // as given, for messages
    LogTarget target_;       // the folder and name of the file to replace, links followed
    std::string temporary_;  // its name in that folder
    Fd fd_;
    std::string buffer_;
    bool committed_ = false;
    bool inPlace_ = false;
};

}  // namespace voidbroom
