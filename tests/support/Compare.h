#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace voidbroom::test {

using Lines = std::vector<std::string>;

// Where two lists of lines first differ, with a few lines of each from there on; empty when
// they are equal. Used both by gtest checks and by child processes that report on stderr.
// A line as a message shows it: a very long one (a deep path) by its two ends and length.
inline std::string shownLine(const std::string& line) {
    if (line.size() <= 200) return line;
    return line.substr(0, 100) + "[..." + std::to_string(line.size()) + " bytes...]" +
           line.substr(line.size() - 60);
}

inline std::string lineDifference(const Lines& expected, const Lines& actual) {
    if (expected == actual) return {};
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    std::string text = "first difference at line " + std::to_string(at) + " (expected " +
                       std::to_string(expected.size()) + " lines, got " +
                       std::to_string(actual.size()) + ")\n";
    for (std::size_t i = at; i < std::min(at + 4, expected.size()); ++i)
        text += "  - " + shownLine(expected[i]) + "\n";
    for (std::size_t i = at; i < std::min(at + 4, actual.size()); ++i)
        text += "  + " + shownLine(actual[i]) + "\n";
    return text;
}

inline testing::AssertionResult sameLines(const Lines& expected, const Lines& actual) {
    const std::string difference = lineDifference(expected, actual);
    if (difference.empty()) return testing::AssertionSuccess();
    return testing::AssertionFailure() << difference;
}

}  // namespace voidbroom::test
