#include <cstdio>

#include "fs/FolderStack.h"
#include "scan/ScanCommand.h"

int main(int argc, char** argv) {
    voidbroom::raiseDescriptorLimit();
    static char buffer[1 << 20];  // entries are many and short: write them in large blocks
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    return voidbroom::runScanCommand(argc, argv, stdout, stderr);
}
