#pragma once
// Run-time loading of libraries, with the system's error pop-ups kept away.
#include "uOwner.h"

#include <string>

namespace platform {

struct TModuleTraits {
    using TValue = void*;
    static constexpr void* Invalid() noexcept { return nullptr; }
    static void Close(void* module) noexcept;
};

// Owns one loaded module; freed on destruction.
class TModule : public TOwner<TModuleTraits> {
public:
    using TOwner::TOwner;
    // Address of an export, or null.
    void* Proc(const char* name) const;
};

// LoadLibraryA with critical-error and open-file pop-ups suppressed (the
// error mode is restored afterwards). `error` gets the system error code.
TModule LoadLibraryQuiet(const std::string& path, unsigned& error);
// From here on DLLs named without a path load only from the system folder
// (and folders the program adds itself): never from the current folder, the
// program's folder or PATH, where a planted copy could wait. False when the
// system cannot restrict the search (Windows 7 without its update).
bool RestrictDllSearch();

// A resource of the executable by numeric type and id; false when absent.
bool FindModuleResource(int type, int id, const void*& data, unsigned& size);

} // namespace platform

namespace platform {
// The user's default language id (GetUserDefaultLangID).
unsigned UserDefaultLanguageId();
} // namespace platform
