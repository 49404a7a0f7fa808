#include "cli/Base64.h"

#include <gtest/gtest.h>

namespace voidbroom {
namespace {

TEST(Base64, EncodesWithTheStandardAlphabetAndPadding) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"\xFB\xFF\xBF", "+/+/"},  // the last two letters of the alphabet
        {std::string("\0\0\xFF", 3), "AAD/"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(base64(bytes), text) << text;
}

}  // namespace
}  // namespace voidbroom
