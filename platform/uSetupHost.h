#pragma once
// What Setup needs from Windows to run without a window and to remove
// itself again: its command line, the standard error stream, the date,
// copies, folder removal, a program's version resource and the questions and
// notes of a run that has no form.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The process's arguments after the program name, split by the system's
// rules (quotes, backslashes) and converted to ANSI text.
std::vector<std::string> CommandLineArguments();

// Appends the text to the standard error stream when the process has one
// (a window program has one only when its caller redirected it).
void WriteStandardError(const std::string& text);

// The local date as "YYYYMMDD" and the local time as "YYYY-MM-DD HH:MM:SS".
std::string LocalDateCompact();
std::string LocalDateTime();

// Copies a file, replacing the target; false when it cannot.
bool CopyFileOver(const std::string& from, const std::string& to);
// Removes a folder only when it is empty; false otherwise.
bool RemoveEmptyDirectory(const std::string& path);
// Renames a file (also the image of a running program, which cannot be
// deleted); false, with nothing changed, when it cannot.
bool RenameFile(const std::string& from, const std::string& to);
// Asks Windows to delete the file at the next start; false when the user may
// not (a per-user run often may not): the file then stays.
bool DeleteAtRestart(const std::string& path);
// The size of a file in bytes; empty when it cannot be read.
std::optional<std::uint64_t> FileSizeOf(const std::string& path);
// The files directly in a folder (names only, no folders).
std::vector<std::string> FilesIn(const std::string& folder);
// The user's temporary folder with its trailing backslash.
std::string TempFolder();

// "7.0.1.0" from the fixed part of a program's version resource; empty when
// it has none. Read as data, without loading the program or version.dll.
std::string FileVersionText(const std::string& path);

// Message boxes without an owner window, in the foreground.
void ShowInfoBox(const std::string& caption, const std::string& text);
void ShowErrorMessageBox(const std::string& caption, const std::string& text);
// True on Yes; No is the default button, so Enter keeps everything.
bool AskYesNoBox(const std::string& caption, const std::string& text);

} // namespace platform
