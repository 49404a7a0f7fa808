// The three output formats: each entry's bytes as a script gets them back.
#include "scan/EntryOutput.h"

#include <gtest/gtest.h>

namespace voidbroom {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

std::string jsonString(std::string_view text) {
    std::string out;
    appendJsonString(out, text);
    return out;
}

TEST(EntryOutput, AJsonStringEscapesWhatJsonMustAndReplacesEachByteThatIsNotUtf8) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain /a b", "\"plain /a b\""},
        {"new\nline", "\"new\\nline\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"back\\slash", "\"back\\\\slash\""},
        {std::string("nul\0x", 5), "\"nul\\u0000x\""},
        {"\x01\t\r\x1b\x1f", "\"\\u0001\\u0009\\u000d\\u001b\\u001f\""},
        {"del\x7f", "\"del\x7f\""},
        {"caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x93\x81",
         "\"caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x93\x81\""},
        {"\xff\xfe", "\"" + kReplacement + kReplacement + "\""},
        {"\xE2\x82x", "\"" + kReplacement + kReplacement + "x\""},                   // cut short
        {"\xC0\xAF", "\"" + kReplacement + kReplacement + "\""},                     // overlong "/"
        {"\xED\xA0\x80", "\"" + kReplacement + kReplacement + kReplacement + "\""},  // surrogate
        {"\xC3", "\"" + kReplacement + "\""},
    };
    for (const auto& [text, json] : cases) EXPECT_EQ(jsonString(text), json) << text;
}

TEST(EntryOutput, EachFormatEndsAnEntryAsItSays) {
    const ResultEntry plain{EntryKind::Empty, "/a/b", {}}, marked{EntryKind::NoFiles, "/c", {}};
    const ResultEntry zero{EntryKind::ZeroSize, "/d\xff", {}};
    std::string out;
    appendEntry(out, plain, OutputFormat::Lines);
    appendEntry(out, marked, OutputFormat::Null);
    appendEntry(out, zero, OutputFormat::JsonLines);
    appendEntry(out, marked, OutputFormat::JsonLines);
    EXPECT_EQ(out, std::string("/a/b\n*** /c\0", 12) + "{\"kind\":\"zero-size\",\"path\":\"/d" +
                       kReplacement +
                       "\",\"path_base64\":\"L2T/\"}\n"
                       "{\"kind\":\"no-files\",\"path\":\"/c\"}\n");
}

}  // namespace
}  // namespace voidbroom
