// The Select All and Select All Empty commands of the main window.

#include "app/Form1.h"
#include "app/widgets/ResultListView.h"
#include "results/Selection.h"

namespace voidbroom {

void Form1::cmdSelAll_Click() {
    selectAll(List1->list());
    List1->viewport()->update();
}

void Form1::cmdSelEmpty_Click() {
    selectAllEmpty(List1->list());
    List1->viewport()->update();
}

}  // namespace voidbroom
