#pragma once
// Drive and path facts the archive component checks before it extracts.
#include <cstdint>
#include <string>

namespace platform {

// True for a fixed, network or RAM drive, given its root ("C:\").
bool IsHardDrive(const std::string& root);
// True when the root names an existing drive.
bool DriveExists(const std::string& root);
// Volume label with critical-error pop-ups suppressed; empty when unknown.
std::string VolumeLabel(const std::string& root);
// GetFullPathNameA; the input unchanged when it fails.
std::string FullPathName(const std::string& path);
// A path on a mapped network drive as its UNC path; otherwise unchanged.
std::string UniversalName(const std::string& path);
// Creates a uniquely named empty file in `folder` (GetTempFileNameA); empty on failure.
std::string CreateTempFile(const std::string& folder, const std::string& prefix);
std::string TempPath();
// File size, or -1 when it cannot be read.
std::int64_t FileSize(void* handle);

} // namespace platform
