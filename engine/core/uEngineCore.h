#pragma once
// The unzip engine's archive logic: reads a single-file zip archive, checks
// each entry's password, decrypts (traditional PKWARE encryption), inflates,
// checks CRC-32 and writes the files through an IEngineHost, reporting every
// step through the caller's callback as the engine contract says. Entries
// are extracted on several threads at once; the callbacks come on the
// caller's thread, in the archive's order (uSession.h).
#include "uEngineHost.h"
#include "zip/uZipContract.h"

#include <cstdint>

namespace zipcore {

// An exception that reached the export: the same result the archive
// component counts when one escapes the call.
inline constexpr std::int32_t kResultInternalError = -7;

// One extraction run: the number of files extracted, or a negative result
// of the contract. May throw (out of memory); the export catches.
std::int32_t UnzExec(zipeng::TCommandBlock& block, IEngineHost& host);

// Asks the run with this abort handle to stop at its next step.
void Abort(std::int32_t handle);

// Case-insensitive wildcard match ("*", "?"); "/" and "\" are the same.
bool WildMatch(std::u16string_view pattern, std::u16string_view text);

} // namespace zipcore
