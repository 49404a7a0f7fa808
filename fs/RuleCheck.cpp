#include "fs/RuleCheck.h"

#include <cstring>

namespace voidbroom {
namespace {

std::string whyHere(const FolderWalk& walk, std::optional<std::int64_t> recentFrom) {
    const FolderListing& listing = walk.listing();
    if (!listing.readable())
        return walk.path() + " cannot be read: " + std::strerror(listing.error);
    if (listing.kept > 0) return walk.path() + " holds an entry to keep or an excluded one";
    if (recentFrom && listing.newest >= *recentFrom)
        return walk.path() + " or a file in it was modified within the age given";
    return {};
}

}  // namespace

std::string whyNotRemovedWhole(FolderWalk& walk, int parentFd, const std::string& name,
                               const std::string& path, std::size_t topLength,
                               std::shared_ptr<const NameRules> rules,
                               std::optional<std::int64_t> recentFrom) {
    walk.options().rules = std::move(rules);
    walk.options().times = recentFrom.has_value();
    const ChangeWalk folder(walk, parentFd, name, path, topLength);
    if (!folder.failure.empty()) return folder.failure;
    std::string why = whyHere(walk, recentFrom);
    if (!why.empty()) return why;
    walk.descend();
    while (!walk.done()) {
        if (!walk.take()) {
            walk.leave();
            continue;
        }
        const OpenOutcome child = walk.enter();
        if (!child.opened()) return walk.path() + " cannot be read: " + describeOpenFailure(child);
        if (!(why = whyHere(walk, recentFrom)).empty()) return why;
        if (walk.subfolderCount() > 0) walk.descend();
    }
    return {};
}

}  // namespace voidbroom
