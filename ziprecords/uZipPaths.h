#pragma once
// Which stored names may be written below the extraction folder. Windows
// resolves some names to something other than a file in that folder: a
// device (CON, NUL, COM1, ...), an alternate data stream ("a:b"), another
// drive or folder ("C:", "\", ".."), or a file whose trailing dots and blanks
// it drops silently. Such entries are skipped, never written.
#include <string>
#include <string_view>

namespace ziprec {

// A device name Windows opens in every folder, in any case and with any
// extension: CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9 (and CONIN$, CONOUT$).
bool IsReservedDeviceName(std::u16string_view component);

// The entry's path below the extraction folder, "\" separated ("/" and "\"
// both separate in the stored name, "." parts fall away); only the last part
// unless `keepFolders`. Empty when any part of the name is unsafe.
std::u16string SafeRelativePath(std::u16string_view name, bool keepFolders);

} // namespace ziprec
