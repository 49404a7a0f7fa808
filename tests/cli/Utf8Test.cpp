#include "cli/Utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace voidbroom {
namespace {

// The edges of each sequence length, and each way a sequence can be wrong.
TEST(Utf8, TakesOnlyShortestFormsOfRealCodePoints) {
    const std::vector<std::pair<std::string, char32_t>> valid = {
        {"a", U'a'},
        {"\x7F", 0x7F},
        {"\xC2\x80", 0x80},
        {"\xDF\xBF", 0x7FF},
        {"\xE0\xA0\x80", 0x800},
        {"\xED\x9F\xBF", 0xD7FF},
        {"\xEE\x80\x80", 0xE000},
        {"\xEF\xBF\xBF", 0xFFFF},
        {"\xF0\x90\x80\x80", 0x10000},
        {"\xF4\x8F\xBF\xBF", 0x10FFFF},
    };
    for (const auto& [text, codePoint] : valid) {
        char32_t decoded = 0;
        EXPECT_EQ(utf8SequenceAt(text + "z", decoded), text.size()) << text;
        EXPECT_EQ(decoded, codePoint) << text;
    }
    const std::string invalid[] = {
        "",
        "\x80",
        "\xBF",
        "\xC0\x80",
        "\xC1\xBF",
        "\xE0\x9F\xBF",
        "\xF0\x8F\xBF\xBF",  // overlong
        "\xED\xA0\x80",
        "\xED\xBF\xBF",  // surrogates
        "\xF4\x90\x80\x80",
        "\xF5\x80\x80\x80",
        "\xF8\x88\x80\x80\x80",
        "\xFF",
        "\xC3",
        "\xE2\x82",
        "\xF0\x9F\x93",  // cut short
        "\xC3z",
        "\xE2\x82z",  // a continuation missing before another byte
    };
    for (const std::string& text : invalid) {
        char32_t decoded = 0;
        EXPECT_EQ(utf8SequenceAt(text, decoded), 0u) << testing::PrintToString(text);
        EXPECT_TRUE(text.empty() || !isValidUtf8("ok" + text + "ok"))
            << testing::PrintToString(text);
    }
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8("/home/caf\xC3\xA9/\xE6\x97\xA5\xF0\x9F\x93\x81"));
}

}  // namespace
}  // namespace voidbroom
