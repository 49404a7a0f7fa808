#pragma once

namespace voidbroom {

// Switches on the platform's visual styles for the standard controls, before any control
// exists. Where the platform has no such notion it does nothing. True when no error arose.
bool InitVisualStyles();

}  // namespace voidbroom
