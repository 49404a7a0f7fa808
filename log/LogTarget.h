#pragma once

#include <sys/stat.h>

#include <deque>
#include <string>

#include "fs/Fd.h"

namespace voidbroom {

// Where a log is saved: the folder that holds it, kept open, and the name it has there. The
// path is walked one name at a time from descriptors, each symbolic link met on the way
// followed as the kernel would follow it, so that every later step works on the folder that
// was checked and not on a path that could since lead elsewhere.
//
// In a sticky folder that everyone may write (like /tmp) the log follows the kernel's own
// protections even where they are switched off: a link there is followed only when the user
// or the folder's owner owns it, and an existing file of another user there is not written.
// Anyone may put a name there, so without these rules a link or file planted under the log's
// name would have the user's log replace, create or fill a file the planter chose.
//
// Every refusal throws FsError with the path as given and the reason; nothing is created.
class LogTarget {
public:
    explicit LogTarget(const std::string& path);

    int folder() const { return folder_.get(); }
    std::string folderPath() const;  // for messages
    const std::string& name() const { return name_; }
    // What was at the name when it was found, or nullptr when nothing was.
    const struct stat* existing() const { return exists_ ? &file_ : nullptr; }

    // Refuses `file`, met at the name, unless it is a regular file the rules let be written.
    void checkFile(const struct stat& file) const;
    [[noreturn]] void fail(const std::string& reason) const;

private:
    void walk();
    void enter(const std::string& name);
    void follow(const std::string& name, const struct stat& link);
    void startAtRoot();
    std::string pathOf(const std::string& name) const;
    std::string folderAhead(const std::string& name) const;
    struct stat folderStat() const;

    std::string path_;              // as given
    std::deque<std::string> left_;  // the names still to walk
    int hops_ = 0;
    Fd folder_;
    std::string folderPath_;  // "" for the working folder
    std::string name_;
    bool exists_ = false;
    struct stat file_ {};
};

}  // namespace voidbroom
