#pragma once

#include "results/ResultList.h"

namespace voidbroom {

// Selects every entry; the current entry stays where it is.
void selectAll(ResultList& list);

// Selects exactly the plain entries (folders that were strictly empty when scanned) and
// deselects every marked one, whatever was selected before; the current entry stays.
void selectAllEmpty(ResultList& list);

}  // namespace voidbroom
