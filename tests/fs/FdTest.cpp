// Writing a whole buffer to a descriptor: through short writes to a pipe, and to a device
// that is full.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>

#include "fs/Fd.h"

namespace voidbroom {
namespace {

// A pipe holds far less than the text, so each write takes what the reader has made room for.
TEST(WriteAll, GoesOnAfterShortWritesUntilAllIsWritten) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    Fd readEnd(ends[0]), writeEnd(ends[1]);
    std::string text(1 << 20, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    std::string received;
    std::thread reader([&] {
        char buffer[1000];
        for (ssize_t n; (n = read(readEnd.get(), buffer, sizeof buffer)) > 0;)
            received.append(buffer, static_cast<std::size_t>(n));
    });
    const bool written = writeAll(writeEnd.get(), text);
    writeEnd.reset();
    reader.join();
    EXPECT_TRUE(written);
    EXPECT_TRUE(received == text) << received.size() << " of " << text.size() << " bytes";
}

TEST(WriteAll, FailsWithTheReasonWhenTheDeviceTakesNoMore) {
    Fd full(open("/dev/full", O_WRONLY | O_CLOEXEC));
    if (!full) GTEST_SKIP() << "no /dev/full here";
    errno = 0;
    EXPECT_FALSE(writeAll(full.get(), "some text"));
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_TRUE(writeAll(full.get(), ""));
}

}  // namespace
}  // namespace voidbroom
