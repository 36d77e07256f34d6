#pragma once
// Typed wrappers over the Win32 calls the runtime needs: code pages, errors,
// files and folders. No <windows.h> leaks out of this header.
#include "uHandle.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

constexpr unsigned CP_ANSI = 0;   // the system's ANSI code page (CP_ACP)
constexpr unsigned CP_UTF8_ = 65001;

std::u16string MultiByteToWide(std::string_view text, unsigned codePage);
std::string WideToMultiByte(std::u16string_view text, unsigned codePage);
unsigned AnsiCodePage();

// Locale-aware comparison as the user interface sorts: <0, 0, >0.
int CompareAnsi(std::string_view a, std::string_view b, bool ignoreCase);
std::string UpperCaseAnsi(std::string_view text);
std::string LowerCaseAnsi(std::string_view text);

unsigned LastError();
std::string SysErrorMessage(unsigned code);

// Files. Share modes are the FILE_SHARE_* bits.
enum class TCreateDisposition { CreateAlways, OpenExisting };
TOwnedHandle OpenFile(const std::string& path, bool write, unsigned shareMode, TCreateDisposition disposition);
bool ReadFile(void* handle, void* buffer, std::uint32_t count, std::uint32_t& done);
bool WriteFile(void* handle, const void* buffer, std::uint32_t count, std::uint32_t& done);
// origin: 0 begin, 1 current, 2 end. Returns the new position, or -1.
std::int64_t SeekFile(void* handle, std::int64_t offset, int origin);
bool SetEndOfFile(void* handle);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
bool MakeDirectory(const std::string& path);
// Creates the folder with all missing parents; true when it exists afterwards.
bool ForceDirectories(const std::string& path);
bool RemoveFile(const std::string& path);
// Renames `from` over `to`, replacing what `to` was, and returns once the
// move is on the disk (MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
// false, with `to` as it was, when it cannot.
bool ReplaceFileWith(const std::string& from, const std::string& to);

std::string GetEnvVar(const std::string& name);
std::string ModuleFileName(void* module = nullptr);

} // namespace platform
