// Writers at work beside a running `voidbroom-scan --delete --mode 1`: they rename complete
// files over zero-length names, open empty files and write to them at once or a moment
// later, and create new files, while the listed folders are deleted. Whatever a writer
// wrote successfully must still be there afterwards, with its content.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "tests/cli/support/CommandRun.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

constexpr int kWriters = 4;
constexpr int kFolders = 1000;
constexpr int kFilesPerFolder = 10;
constexpr int kRounds = 2;
// Writers pause between writes, so that their writes spread over the whole deletion.
constexpr unsigned kMaxPauseMicroseconds = 400;

// The name of file `j` in folder `i`: each belongs to one writer, who uses it once.
std::string fileName(int i, int j) {
    return "f" + std::to_string(i) + "/z" + std::to_string(j);
}

bool writeAll(int fd, const std::string& text) {
    return write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

// One write of one of four kinds to `path`; true when the writer's calls all succeeded.
bool writeOnce(const std::string& path, const std::string& token, int kind, std::mt19937& random) {
    switch (kind) {
        case 0: {  // a complete file renamed over the name
            const std::string temporary = path + ".tmp";
            const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd < 0) return false;
            const bool written = writeAll(fd, token) && close(fd) == 0;
            if (written && rename(temporary.c_str(), path.c_str()) == 0) return true;
            unlink(temporary.c_str());
            return false;
        }
        case 3: {  // a new file
            const int fd =
                open((path + ".new").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            return fd >= 0 && writeAll(fd, token) && close(fd) == 0;
        }
        default: {  // the empty file opened, and written at once or a moment later
            const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
            if (fd < 0) return false;
            if (kind == 2) usleep(std::uniform_int_distribution<unsigned>(0, 2000)(random));
            const bool written = writeAll(fd, token);
            return close(fd) == 0 && written;
        }
    }
}

// The path each successful write left its token at, "path\ttoken" a line.
std::string suffixFor(int kind) {
    return kind == 3 ? ".new" : "";
}

// A writer: waits for `go`, then writes each of its names once, in a random order.
int runWriter(int writer, const std::string& root, int go, const std::string& record) {
    char start;
    if (read(go, &start, 1) != 1) return 2;
    std::mt19937 random(static_cast<unsigned>(writer * 7919 + getpid()));
    std::vector<std::pair<int, int>> names;
    for (int i = 0; i < kFolders; ++i)
        for (int j = writer; j < kFilesPerFolder; j += kWriters) names.emplace_back(i, j);
    std::shuffle(names.begin(), names.end(), random);
    std::ofstream log(record);
    int attempts = 0;
    for (const auto& [i, j] : names) {
        const std::string path = root + "/" + fileName(i, j);
        const std::string token = "w" + std::to_string(writer) + ":" + std::to_string(attempts);
        const int kind = attempts++ % 4;
        usleep(std::uniform_int_distribution<unsigned>(0, kMaxPauseMicroseconds)(random));
        if (writeOnce(path, token, kind, random))
            log << path + suffixFor(kind) << '\t' << token << '\n';
    }
    return log.good() ? 0 : 3;
}

struct RoundCounts {
    int attempts = 0, written = 0, lost = 0, deleted = 0;
};

RoundCounts raceOneRound(int round) {
    std::vector<std::string> items = {"data:1"};  // so that each folder is an entry of its own
    for (int i = 0; i < kFolders; ++i)
        for (int j = 0; j < kFilesPerFolder; ++j) items.push_back(fileName(i, j) + ":0");
    test::TempTree tree(items), records;
    int go[2];
    if (pipe(go) != 0) return {};
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w) {
        const std::string record = records.path("w" + std::to_string(w));
        const pid_t pid = fork();
        if (pid == 0) {
            close(go[1]);
            _exit(runWriter(w, tree.root(), go[0], record));
        }
        writers.push_back(pid);
    }
    close(go[0]);
    // The writers start when the walk is over and the deletion begins.
    const test::Outcome outcome = test::runCommand(
        {"--delete", "--mode", "1", "--threads", round % 2 ? "1" : "8", tree.root()}, nullptr,
        [&](const std::string&) {
            const std::string signal(kWriters, 'g');
            EXPECT_EQ(write(go[1], signal.data(), signal.size()), kWriters);
        });
    close(go[1]);
    for (pid_t pid : writers) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    RoundCounts counts;
    counts.attempts = kFolders * kFilesPerFolder;
    for (char c : outcome.out) counts.deleted += c == '\n';
    for (int w = 0; w < kWriters; ++w) {
        std::ifstream log(records.path("w" + std::to_string(w)));
        std::string path, token;
        while (std::getline(log, path, '\t') && std::getline(log, token)) {
            ++counts.written;
            if (test::contentOf(path) != token) {
                ++counts.lost;
                ADD_FAILURE() << path << " lost " << token;
            }
        }
    }
    return counts;
}

TEST(RacingWriters, NoWrittenFileIsLostToAZeroSizeDeletion) {
    RoundCounts total;
    for (int round = 0; round < kRounds; ++round) {
        const RoundCounts counts = raceOneRound(round);
        total.attempts += counts.attempts;
        total.written += counts.written;
        total.lost += counts.lost;
        total.deleted += counts.deleted;
    }
    std::printf("%d writes tried, %d succeeded, %d lost; %d folders deleted meanwhile\n",
                total.attempts, total.written, total.lost, total.deleted);
    EXPECT_GE(total.attempts, 20000);
    EXPECT_EQ(total.lost, 0);
    // The race is real only where both sides got work done.
    EXPECT_GT(total.written, 1000);
    EXPECT_GT(total.deleted, 0);
}

}  // namespace
}  // namespace voidbroom
