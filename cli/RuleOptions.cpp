#include "cli/RuleOptions.h"

namespace voidbroom {

std::string_view RuleOptions::valueOf(std::string_view option) {
    return option == "--older-than" ? "an age such as 30d, 12h, 90m or 45s" : "a pattern";
}

std::string RuleOptions::take(std::string_view option, std::string_view value) {
    if (option == "--older-than") {
        olderThan_ = parseAge(value);
        if (olderThan_) return {};
        return "invalid age '" + std::string(value) +
               "': use a number and d, h, m or s (30d, 12h, "
               "90m, 45s)";
    }
    if (value.empty()) return "option '" + std::string(option) + "' needs a pattern, not ''";
    if (!names_) names_ = std::make_shared<NameRules>();
    const std::string pattern(value);
    if (option == "--junk")
        names_->addJunk(pattern);
    else if (option == "--keep")
        names_->addKeep(pattern);
    else
        names_->addExclude(pattern);
    return {};
}

void RuleOptions::takeCommonJunk() {
    for (const std::string& name : NameRules::commonJunk()) take("--junk", name);
}

std::shared_ptr<const NameRules> RuleOptions::names() const {
    return names_;
}

std::optional<std::chrono::seconds> parseAge(std::string_view text) {
    if (text.size() < 2 || text.size() > 12) return std::nullopt;
    long long count = 0;
    for (char c : text.substr(0, text.size() - 1)) {
        if (c < '0' || c > '9') return std::nullopt;
        count = count * 10 + (c - '0');
    }
    long long unit = 0;
    switch (text.back()) {
        case 'd':
            unit = 86400;
            break;
        case 'h':
            unit = 3600;
            break;
        case 'm':
            unit = 60;
            break;
        case 's':
            unit = 1;
            break;
        default:
            return std::nullopt;
    }
    constexpr long long kMaxSeconds = 1000LL * 366 * 86400;
    if (count > kMaxSeconds / unit) return std::nullopt;
    return std::chrono::seconds(count * unit);
}

}  // namespace voidbroom
