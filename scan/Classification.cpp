#include "scan/Classification.h"

namespace voidbroom {
namespace {
bool isZero(const std::optional<std::size_t>& count) {
    return count && *count == 0;
}
}  // namespace

Verdict classifyFolder(const FolderFacts& facts, int scanMode) {
    if (facts.size == SizeAnswer::Zero) {
        if (isZero(facts.files) && isZero(facts.subfolders)) return {Listing::Plain, false};
        if (scanMode == 1) return {Listing::Marked, false};
        return {Listing::None, true};
    }
    if (isZero(facts.files) && scanMode == 2) return {Listing::Marked, true};
    return {Listing::None, true};
}

}  // namespace voidbroom
