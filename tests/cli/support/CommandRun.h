#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace voidbroom::test {

// What a run of voidbroom-scan left: its exit status and what it wrote.
struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string readAll(std::FILE* file);

// Runs the command in this process with `args`, its streams in temporary files; its output
// goes to `out` instead when given. `afterWalk` is set as the options' seam when given.
Outcome runCommand(const std::vector<std::string>& args, std::FILE* out = nullptr,
                   std::function<void(const std::string&)> afterWalk = {});

// The built program from VOIDBROOM_SCAN, or "" when it is not set (outside ctest).
std::string builtProgram();

// Where a child's standard output or error goes.
enum class Stream { Pipe, Terminal };

// Where and for how long a child runs: in `folder` ("": this process's), killed after
// `timeLimit` seconds (its status is then -1).
struct ChildPlace {
    std::string folder;
    unsigned timeLimit = 60;
};

// Runs the built program with `args` in a child, each of its two outputs to a pipe or to
// one pseudo-terminal (what goes to the terminal is in `err` then, as the terminal shows it).
Outcome runBuilt(const std::vector<std::string>& args, Stream out, Stream err,
                 unsigned short terminalColumns = 0, const ChildPlace& place = {});

// Runs python3 with `script` on `input` as its standard input; returns what it printed, and
// its exit status in `status`.
std::string runPython(const std::string& script, const std::string& input, int& status);

}  // namespace voidbroom::test
