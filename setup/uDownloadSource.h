#pragma once
// Where this build of Setup downloads from and the key its component list
// must be signed with: one pair per build (Setup.exe, SetupHttps.exe).
#include "runtime/uText.h"

#include <cstdint>
#include <span>

AnsiString DownloadBaseUrl();
std::span<const std::uint8_t> ManifestKey();
// Setup's own version, as its version resource states it.
AnsiString SetupVersionText();
