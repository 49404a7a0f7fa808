#include "app/modXpLook.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace voidbroom {

bool InitVisualStyles() {
#ifdef _WIN32
    // Loaded at run time: a missing library or entry point is an error to swallow.
    struct InitCommonControlsExArgs {
        DWORD dwSize;
        DWORD dwICC;
    } args{8, 0x200};  // ICC_USEREX_CLASSES: the extended combo box
    HMODULE library = LoadLibraryW(L"comctl32.dll");
    if (!library) return false;
    using Init = BOOL(WINAPI*)(const InitCommonControlsExArgs*);
    auto init = reinterpret_cast<Init>(GetProcAddress(library, "InitCommonControlsEx"));
    if (!init) return false;
    init(&args);  // its answer is not examined
    return true;
#else
    // Qt draws every control in the desktop's own style already.
    return true;
#endif
}

}  // namespace voidbroom
