#include "app/StandInDrive.h"

#include <fstream>

namespace voidbroom {

bool writeStandInMountTable(const std::string& tableFile, const std::string& folder,
                            const std::string& device, bool withSystemDrives) {
    std::ofstream table(tableFile);
    if (withSystemDrives) table << std::ifstream("/proc/self/mountinfo").rdbuf();
    // An id no real mount has; a mount point with a blank would need the table's escapes.
    table << "999999 1 0:99 / " << folder << " rw - ext4 " << device << " rw\n";
    return static_cast<bool>(table.flush());
}

Form1::FsoFactory standInFso(const std::string& tableFile) {
    return [tableFile] {
        return std::make_unique<FileSystemObject>(
            FileSystemOptions{tableFile, /*drivesMustBeMounted=*/false});
    };
}

}  // namespace voidbroom
