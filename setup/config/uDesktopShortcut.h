#pragma once
// The shortcut to the installed program on the current user's desktop.
#include "runtime/ShellLink.h"

inline constexpr const char* ShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr const char* DesktopValueName = "Desktop";
inline constexpr const char* ShortcutName = "Korvant.lnk";
inline constexpr const char* ProgramName = "KORVANT07.EXE";

// Points `shellLink` at install folder + "KORVANT07.EXE" and writes it as
// "Korvant.lnk" into the desktop folder named in the per-user shell folders.
// When that key cannot be opened or created, or no desktop folder is known,
// no shortcut is made and nothing is reported. Raises ERegistryException for a
// "Desktop" value that is not text or cannot be read, and what
// TShellLink::Write raises.
void CreateDesktopShortcut(TShellLink& shellLink, const AnsiString& installFolder);
