#include "tests/cli/support/CommandRun.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "cli/ScanCommand.h"
#include "tests/support/TempTree.h"

namespace voidbroom::test {
namespace {

std::string readFd(int fd) {
    std::string text;
    char buffer[4096];
    // A terminal's master side answers EIO once the child has closed its side: the end.
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    return text;
}

int exitStatus(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace

std::string readAll(std::FILE* file) {
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    return text;
}

Outcome runCommand(const std::vector<std::string>& args, std::FILE* out,
                   std::function<void(const std::string&)> afterWalk) {
    std::vector<const char*> argv{"voidbroom-scan"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    std::FILE* captured = std::tmpfile();
    std::FILE* err = std::tmpfile();
    Outcome outcome;
    CommandLine line = parseCommandLine(static_cast<int>(argv.size()), argv.data());
    if (afterWalk && line.request == CommandLine::Request::Run) {
        line.options.afterWalk = std::move(afterWalk);
        outcome.status = runScan(line.options, out ? out : captured, err);
    } else {
        outcome.status =
            runScanCommand(static_cast<int>(argv.size()), argv.data(), out ? out : captured, err);
    }
    for (auto [file, text] : {std::pair{captured, &outcome.out}, {err, &outcome.err}}) {
        std::rewind(file);
        *text = readAll(file);
        std::fclose(file);
    }
    return outcome;
}

std::string builtProgram() {
    const char* program = std::getenv("VOIDBROOM_SCAN");
    return program ? program : "";
}

Outcome runBuilt(const std::vector<std::string>& args, Stream out, Stream err,
                 unsigned short terminalColumns, const ChildPlace& place) {
    int master = -1, terminal = -1, outPipe[2], errPipe[2];
    winsize size{};
    size.ws_col = terminalColumns;
    if (openpty(&master, &terminal, nullptr, nullptr, &size) != 0 || pipe(outPipe) != 0 ||
        pipe(errPipe) != 0)
        return {};
    const std::string program = builtProgram();
    std::vector<const char*> argv{program.c_str()};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out == Stream::Terminal ? terminal : outPipe[1], 1);
        dup2(err == Stream::Terminal ? terminal : errPipe[1], 2);
        for (int fd : {master, terminal, outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) close(fd);
        if (!place.folder.empty() && chdir(place.folder.c_str()) != 0) _exit(126);
        alarm(place.timeLimit);  // a program that hangs is killed, and the test fails
        execv(program.c_str(), const_cast<char* const*>(argv.data()));
        _exit(127);
    }
    for (int fd : {terminal, outPipe[1], errPipe[1]}) close(fd);
    // The outputs are small: reading one after the other cannot fill the other's buffer.
    Outcome outcome;
    const std::string onTerminal = readFd(master);
    outcome.out = out == Stream::Terminal ? onTerminal : readFd(outPipe[0]);
    outcome.err = err == Stream::Terminal ? onTerminal : readFd(errPipe[0]);
    for (int fd : {master, outPipe[0], errPipe[0]}) close(fd);
    outcome.status = pid < 0 ? -1 : exitStatus(pid);
    return outcome;
}

std::string runPython(const std::string& script, const std::string& input, int& status) {
    TempTree files;
    std::ofstream(files.path("script.py"), std::ios::binary) << script;
    std::ofstream(files.path("input"), std::ios::binary) << input;
    const std::string command =
        "python3 '" + files.path("script.py") + "' < '" + files.path("input") + "'";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        status = -1;
        return {};
    }
    const std::string printed = readAll(pipe);
    const int result = pclose(pipe);
    status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    return printed;
}

}  // namespace voidbroom::test
