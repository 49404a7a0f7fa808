#pragma once

#include <unistd.h>

#include <string_view>
#include <utility>

namespace voidbroom {

// Owns one open file descriptor and closes it when it goes out of scope.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }

    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) reset(std::exchange(other.fd_, -1));
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

    // Gives the descriptor up to the caller, who must close it.
    int release() { return std::exchange(fd_, -1); }

    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

// Writes the whole of `data` to `fd`, going on after an interruption or a short write. False
// when the descriptor takes no more, with errno saying why (ENOSPC where it took nothing
// without an error).
bool writeAll(int fd, std::string_view data);

}  // namespace voidbroom
