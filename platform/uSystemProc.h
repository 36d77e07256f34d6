#pragma once
// Exports of system libraries looked up at run time: the calls that older
// Windows lack, and libraries a program binds only when it needs them. One
// seam for all of them, so tests can take away what the running system has
// and make the program take the branch it would take without it.
namespace platform {

// The export `name` of the system library `module` (loaded from the system
// folder when not yet loaded, never from anywhere else), or null.
void* SystemProc(const char* module, const char* name);

// Replaces the lookup; null restores the system's. Returns the previous one.
using TProcLookup = void* (*)(const char* module, const char* name);
TProcLookup SetProcLookup(TProcLookup lookup);

// The system's own lookup, for a replacement that changes only some names.
void* DefaultSystemProc(const char* module, const char* name);

template <class F> F SystemFunction(const char* module, const char* name)
{
    return reinterpret_cast<F>(SystemProc(module, name));
}

} // namespace platform
