#pragma once
// Run-time loading of libraries, with the system's error pop-ups kept away.
#include <string>

namespace platform {

// Owns one loaded module; FreeLibrary on destruction.
class TModule {
public:
    TModule() = default;
    explicit TModule(void* module) : FModule(module) {}
    TModule(TModule&& other) noexcept : FModule(other.FModule) { other.FModule = nullptr; }
    TModule& operator=(TModule&& other) noexcept;
    TModule(const TModule&) = delete;
    TModule& operator=(const TModule&) = delete;
    ~TModule() { Free(); }

    void* Get() const { return FModule; }
    explicit operator bool() const { return FModule != nullptr; }
    void Free();
    // Address of an export, or null.
    void* Proc(const char* name) const;

private:
    void* FModule = nullptr;
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
