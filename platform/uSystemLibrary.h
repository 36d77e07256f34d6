#pragma once
// Libraries of Windows that are not on its known-DLL list, loaded only from
// the system folder: a DLL of the same name beside the program (in a
// Downloads folder, say) is never picked up, not even before the program's
// first line runs, as it would be for a static import.
namespace platform {

// The library `name` (such as L"secur32.dll") from the system folder, loaded
// once and kept for the life of the process; null when it is not there.
void* SystemLibrary(const wchar_t* name);
// The export `proc` of that library. A part of Windows that is missing ends
// the program with a message: nothing sensible can run without it.
void* SystemProc(const wchar_t* library, const char* proc);

} // namespace platform
