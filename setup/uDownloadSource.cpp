#include "setup/uDownloadSource.h"

#include "manifest_key.h"

AnsiString DownloadBaseUrl() { return KORVANT_DOWNLOAD_URL; }

std::span<const std::uint8_t> ManifestKey() { return ManifestPublicKey; }

AnsiString SetupVersionText() { return KORVANT_SETUP_VERSION; }
