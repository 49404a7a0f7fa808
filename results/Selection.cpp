#include "results/Selection.h"

namespace voidbroom {

void selectAll(ResultList& list) {
    const long current = list.current();
    const std::size_t count = list.count();
    for (std::size_t i = 0; i < count; ++i) list.setSelected(i, true);
    list.setCurrent(current);
}

void selectAllEmpty(ResultList& list) {
    const long current = list.current();
    const std::size_t count = list.count();
    for (std::size_t i = 0; i < count; ++i) {
        list.setSelected(i, false);
        if (!list.at(i).marked()) list.setSelected(i, true);
    }
    list.setCurrent(current);
}

}  // namespace voidbroom
