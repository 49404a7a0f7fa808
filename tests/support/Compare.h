#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace voidbroom::test {

using Lines = std::vector<std::string>;

// Where two lists of lines first differ, with a few lines of each from there on ("" when
// they are equal); a very long line (a deep path) is shown by its ends and its length. For
// gtest checks and for child processes that report on stderr.
inline std::string lineDifference(const Lines& expected, const Lines& actual) {
    if (expected == actual) return {};
    const auto shown = [](const std::string& line) {
        return line.size() <= 200 ? line
                                  : line.substr(0, 100) + "[..." + std::to_string(line.size()) +
                                        " bytes...]" + line.substr(line.size() - 60);
    };
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    std::string text = "first difference at line " + std::to_string(at) + " (expected " +
                       std::to_string(expected.size()) + " lines, got " + std::to_string(actual.size()) + ")\n";
    for (std::size_t i = at; i < at + 4 && i < expected.size(); ++i) text += "  - " + shown(expected[i]) + "\n";
    for (std::size_t i = at; i < at + 4 && i < actual.size(); ++i) text += "  + " + shown(actual[i]) + "\n";
    return text;
}

inline testing::AssertionResult sameLines(const Lines& expected, const Lines& actual) {
    const std::string difference = lineDifference(expected, actual);
    if (difference.empty()) return testing::AssertionSuccess();
    return testing::AssertionFailure() << difference;
}

}  // namespace voidbroom::test
