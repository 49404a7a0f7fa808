#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "fs/FolderWalk.h"
#include "fs/NameRules.h"

namespace voidbroom {

// Why the folder `name` in `parentFd` may not be removed whole under the user's rules: an
// entry to keep or excluded in it or below it, a modification from `recentFrom` on (with an
// age), or a folder below that cannot be read, which could hide either; "" when none.
// Read through `walk`, which is left cleared; nothing is changed. `path` and `topLength` are
// as FolderWalk::startAt takes them.
std::string whyNotRemovedWhole(FolderWalk& walk, int parentFd, const std::string& name,
                               const std::string& path, std::size_t topLength,
                               std::shared_ptr<const NameRules> rules,
                               std::optional<std::int64_t> recentFrom);

}  // namespace voidbroom
