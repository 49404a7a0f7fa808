// The three output formats: each entry's bytes as a script gets them back.
#include "cli/EntryOutput.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/cli/support/CommandRun.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/TempTree.h"

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

// Every name a folder can have: the JSON output decoded by a real parser gives each entry's
// kind and exact bytes back, in walk order; -0 splits back into the very entries.
TEST(EntryOutput, ScriptsGetEveryNameBackByteForByte) {
    test::TempTree tree({"keep:1", "new\nline/", "say \"hi\"/", "back\\slash/", "ctl\x01\x1b\t/",
                         "del\x7f/", "caf\xC3\xA9/", "bad\xff\xfe/", "cut\xE2\x82/", "zero/z:0",
                         "no files/sub/f:1"});
    for (int mode = 0; mode <= 2; ++mode) {
        const test::RecordingHost expected = test::walk(tree.rootPath(), mode);
        const test::Outcome json =
            test::runCommand({"--json", "--mode", std::to_string(mode), tree.root()});
        ASSERT_EQ(json.status, 0) << json.err;
        // Prints each entry as its kind and its bytes in hex; fails on anything not strict.
        int status = -1;
        const std::string decoded = test::runPython(R"(
import base64, json, sys
for line in sys.stdin.buffer.read().split(b"\n")[:-1]:
    entry = json.loads(line.decode("utf-8"))
    raw = entry["path"].encode("utf-8")
    if "path_base64" in entry:
        assert set(entry) == {"kind", "path", "path_base64"}
        bytes_ = base64.b64decode(entry["path_base64"], validate=True)
        try:
            bytes_.decode("utf-8")
            sys.exit("path_base64 for a path that is UTF-8")
        except UnicodeDecodeError:
            raw = bytes_
    else:
        assert set(entry) == {"kind", "path"}
    print(entry["kind"], raw.hex())
)",
                                                    json.out, status);
        ASSERT_EQ(status, 0) << json.out;
        std::string wanted;
        for (std::size_t i = 0; i < expected.entries.size(); ++i) {
            std::string hex;
            for (unsigned char c :
                 expected.entries[i].substr(expected.kinds[i] == EntryKind::Empty ? 0 : 4))
                hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
            wanted += std::string(kindName(expected.kinds[i])) + " " + hex + "\n";
        }
        EXPECT_EQ(decoded, wanted) << "mode " << mode << "\n" << json.out;

        const test::Outcome nul =
            test::runCommand({"-0", "--mode", std::to_string(mode), tree.root()});
        std::string joined;
        for (const std::string& entry : expected.entries) joined += entry + '\0';
        EXPECT_EQ(nul.out, joined) << "mode " << mode;
    }
    // The names that are not UTF-8 are the ones that carry their bytes.
    const test::Outcome json = test::runCommand({"--json", tree.root()});
    EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '\n'), 8);
    std::size_t withBytes = 0;
    for (std::size_t at = 0; (at = json.out.find("path_base64", at)) != std::string::npos; ++at)
        ++withBytes;
    EXPECT_EQ(withBytes, 2u);
    EXPECT_NE(json.out.find("\"path\":\"" + tree.path("cut") + kReplacement + kReplacement),
              std::string::npos);
}

}  // namespace
}  // namespace voidbroom
