// The rest of what the native core needs: mapping, clocks, threads, locale,
// and the few UI seams, which in a native build write to standard error.
#include "platform/uFileMapping.h"
#include "platform/uLibrary.h"
#include "platform/uSystemProc.h"
#include "platform/uLocale.h"
#include "platform/uMessageBox.h"
#include "platform/uMessages.h"
#include "platform/uNetPlatform.h"
#include "platform/uResources.h"
#include "platform/uThreads.h"

#include "uPosix.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace platform {

// ---- file mapping

void TMappedFile::TViewTraits::Close(const std::uint8_t* view) const noexcept
{
    ::munmap(const_cast<std::uint8_t*>(view), static_cast<size_t>(Size));
}

TMappedFile TMappedFile::Open(const std::string& path, TStage& failedStage, unsigned& osError)
{
    // Windows' ERROR_FILE_INVALID: an empty file cannot be mapped there either.
    constexpr unsigned kEmptyFileError = 1006;
    failedStage = TStage::None;
    osError = 0;
    TMappedFile result;
    result.FFile = TOwnedHandle(posix::HandleOf(::open(posix::NativePath(path).c_str(), O_RDONLY | O_CLOEXEC)));
    struct stat st {};
    if (!result.FFile || ::fstat(posix::Descriptor(result.FFile.Get()), &st) != 0 || S_ISDIR(st.st_mode)) {
        osError = result.FFile && S_ISDIR(st.st_mode) ? EISDIR : static_cast<unsigned>(errno);
        failedStage = TStage::Open;
        return {};
    }
    if (st.st_size == 0) {
        osError = kEmptyFileError;
        failedStage = TStage::Mapping;
        return {};
    }
    void* view = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE,
                        posix::Descriptor(result.FFile.Get()), 0);
    if (view == MAP_FAILED) {
        osError = static_cast<unsigned>(errno);
        failedStage = TStage::View;
        return {};
    }
    result.FView.Reset(static_cast<const std::uint8_t*>(view), TViewTraits{static_cast<std::uint64_t>(st.st_size)});
    return result;
}

// ---- clocks

bool IsAnsiLeadByte(unsigned char) { return false; } // Windows-1252 is single-byte

std::uint64_t TickCountMs()
{
    timespec t;
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::uint64_t>(t.tv_sec) * 1000u + static_cast<std::uint64_t>(t.tv_nsec / 1000000);
}

void SleepMs(unsigned milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

namespace {
TCalendarTime Calendar(bool local)
{
    timespec t;
    ::clock_gettime(CLOCK_REALTIME, &t);
    tm parts{};
    if (local)
        ::localtime_r(&t.tv_sec, &parts);
    else
        ::gmtime_r(&t.tv_sec, &parts);
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
            parts.tm_min,         parts.tm_sec,     static_cast<int>(t.tv_nsec / 1000000)};
}
} // namespace

TCalendarTime LocalNow() { return Calendar(true); }
TCalendarTime UtcNow() { return Calendar(false); }

int UtcBiasMinutes()
{
    // Windows counts the bias as UTC minus local time.
    time_t now = ::time(nullptr);
    tm parts{};
    ::localtime_r(&now, &parts);
    return static_cast<int>(-parts.tm_gmtoff / 60);
}

std::uint32_t CurrentThreadId() { return static_cast<std::uint32_t>(::syscall(SYS_gettid)); }

// ---- locale: from LANG / LC_ALL, as a Windows user's locale would be

namespace {
std::string LocaleName()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* v = std::getenv(name); v && *v)
            return v;
    return "en_US";
}

unsigned LanguageIdOf(const std::string& locale)
{
    struct TEntry {
        const char* Prefix;
        unsigned Id;
    };
    static constexpr TEntry kIds[] = {{"nl_BE", 0x0813}, {"fr_BE", 0x080C}, {"nl", 0x0413},
                                      {"fr", 0x040C},    {"de", 0x0407},    {"en_GB", 0x0809}};
    for (const TEntry& e : kIds)
        if (locale.rfind(e.Prefix, 0) == 0)
            return e.Id;
    return 0x0409;
}
} // namespace

void UserLocaleIsoNames(std::string& language, int& languageCount, std::string& country, int& countryCount)
{
    std::string name = LocaleName();
    size_t cut = name.find_first_of("_.@");
    language = name.substr(0, cut);
    country.clear();
    if (cut != std::string::npos && name[cut] == '_')
        country = name.substr(cut + 1, name.find_first_of(".@", cut + 1) - cut - 1);
    // Counts include the terminating zero, as GetLocaleInfoA gives them.
    languageCount = static_cast<int>(language.size()) + 1;
    countryCount = static_cast<int>(country.size()) + 1;
}

unsigned ThreadLocaleId() { return LanguageIdOf(LocaleName()); }
unsigned UserDefaultLanguageId() { return LanguageIdOf(LocaleName()); }

bool SetEnvVar(const std::string& name, const std::string& value) { return ::setenv(name.c_str(), value.c_str(), 1) == 0; }
bool DeleteEnvVar(const std::string& name) { return ::unsetenv(name.c_str()) == 0; }

bool TryMultiByteToWide(std::string_view text, unsigned codePage, std::u16string& result)
{
    return posix::Decode(text, codePage, result);
}

// ---- resources and libraries: a native program carries no resources

bool LoadStringA(int, std::string&) { return false; }
bool LoadStringW(int, std::u16string&) { return false; }
bool FindModuleResource(int, int, const void*&, unsigned&) { return false; }

void TModuleTraits::Close(void* module) noexcept { ::dlclose(module); }

void* TModule::Proc(const char* name) const { return Get() ? ::dlsym(Get(), name) : nullptr; }

TModule LoadLibraryQuiet(const std::string& path, unsigned& error)
{
    void* module = ::dlopen(posix::NativePath(path).c_str(), RTLD_NOW | RTLD_LOCAL);
    error = module ? 0 : 126; // ERROR_MOD_NOT_FOUND
    return TModule(module);
}

bool RestrictDllSearch() { return true; }

// No system libraries to bind at run time in the native build.
void* DefaultSystemProc(const char*, const char*) { return nullptr; }
void* SystemProc(const char* module, const char* name) { return DefaultSystemProc(module, name); }
TProcLookup SetProcLookup(TProcLookup) { return nullptr; } // dlopen never searches the current folder

// ---- the UI seams

void ShowOkMessageBox(const std::string& caption, const std::string& text)
{
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

bool IsMainThread() { return true; }
void ProcessMessages() {}
std::uint64_t TickCount() { return TickCountMs(); }
void* ActiveWindow() { return nullptr; }
void BeginWaitCursor() {}
void EndWaitCursor() {}

void ShowMessageBox(void*, const std::string& caption, const std::string& text, TBoxKind)
{
    ShowOkMessageBox(caption, text);
}

bool InputPassword(void*, const std::string&, const std::string&, std::string&, unsigned) { return false; }

} // namespace platform
