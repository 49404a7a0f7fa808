#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "fs/NameRules.h"

namespace voidbroom {

// The cleanup rules as the command line gives them, one option at a time: --junk PATTERN,
// --junk-common, --keep PATTERN, --exclude PATTERN and --older-than AGE.
class RuleOptions {
public:
    // The options of the rules that take a value.
    static constexpr std::string_view kWithValue[] = {"--junk", "--keep", "--exclude",
                                                      "--older-than"};
    // What the value of `option` is, for the message about a missing one.
    static std::string_view valueOf(std::string_view option);

    // Takes `option` (one of kWithValue) with `value`; "" or what is wrong, in plain words.
    std::string take(std::string_view option, std::string_view value);
    void takeCommonJunk();

    // The rules on names given, or null when none was.
    std::shared_ptr<const NameRules> names() const;
    std::optional<std::chrono::seconds> olderThan() const { return olderThan_; }

private:
    std::shared_ptr<NameRules> names_;
    std::optional<std::chrono::seconds> olderThan_;
};

// An age as "30d", "12h", "90m" or "45s": a whole number of days, hours, minutes or seconds,
// up to about a thousand years; nullopt for anything else.
std::optional<std::chrono::seconds> parseAge(std::string_view text);

}  // namespace voidbroom
