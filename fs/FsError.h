#pragma once

#include <stdexcept>
#include <string>

namespace voidbroom {

// A file-system operation that could not be done; what() names the path and the reason.
class FsError : public std::runtime_error {
public:
    FsError(const std::string& path, const std::string& reason)
        : std::runtime_error(path + ": " + reason), path_(path), reason_(reason) {}
    const std::string& path() const { return path_; }
    const std::string& reason() const { return reason_; }

private:
    std::string path_;
    std::string reason_;
};

}  // namespace voidbroom
