#pragma once

#include <windows.h>

namespace rerozadez {

// Keeps this elevated program from loading a DLL planted beside it (it is
// often started from a downloads folder): takes the program's and the
// current folder out of the DLL search where Windows allows it, and makes
// every delay-loaded DLL come from the system folder. Call first, before
// anything calls into a delay-loaded DLL.
void RestrictDllSearchToSystemFolder();

// Loads one of Windows' own DLLs by file name from the system folder, or the
// side-by-side copy when the program's manifest names the DLL's assembly
// (common controls 6). Never looks in the program's or the current folder.
// Null when the DLL is not there.
HMODULE LoadSystemLibrary(const wchar_t* name);

}  // namespace rerozadez
