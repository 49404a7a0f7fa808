#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/Form1.h"
#include "tests/support/TempTree.h"

namespace voidbroom::test {

// A drive for window tests. Where this process may mount (tests run as root in CI) it is a
// real tmpfs mounted in a temporary folder, which the window finds in the system's mount
// table like any drive. Otherwise a plain temporary folder stands in, listed as a drive in a
// mount table of the test's own that is handed to the file-system service through its test
// options, a seam that the program itself never uses. `real()` tells which.
class TestDrive {
public:
    explicit TestDrive(const std::vector<std::string>& items = {});
    ~TestDrive();

    bool real() const { return mounted_; }
    // The drive's mount point, and its root path (with the final "/").
    const std::string& mountPoint() const { return mountPoint_; }
    std::string rootPath() const { return mountPoint_ + "/"; }
    std::string path(const std::string& relative) const { return mountPoint_ + "/" + relative; }
    // Adds items below the drive's root, in TempTree's notation.
    void add(const std::string& item);

    // The file-system service the window under test must use to see this drive.
    Form1::FsoFactory fsoFactory() const;
    // Makes the drive the chosen one in the window's drive list; false if it is not listed.
    bool choose(Form1& form) const;

private:
    TempTree tree_;
    std::string mountPoint_;
    std::string mountTable_;
    bool mounted_ = false;
};

}  // namespace voidbroom::test
