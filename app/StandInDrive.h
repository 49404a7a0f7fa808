#pragma once

#include <string>

#include "app/Form1.h"

namespace voidbroom {

// A plain folder standing in for a drive, for tests and measuring tools that must not mount
// anything: a mount table of their own lists `folder` as a drive from `device`, and a
// file-system service reads that table instead of the system's, with the check that a
// drive's root is really mounted switched off. The program itself never does this.
//
// Writes the table to `tableFile`: the `folder` line alone, or, with `withSystemDrives`,
// after the system's own drives. Returns false when it cannot be written.
bool writeStandInMountTable(const std::string& tableFile, const std::string& folder,
                            const std::string& device, bool withSystemDrives);

// The service that sees the drives of the table at `tableFile`.
Form1::FsoFactory standInFso(const std::string& tableFile);

}  // namespace voidbroom
