#pragma once
// The private-profile (INI file) calls. Each returns false on failure; the
// platform keeps a cache of the last file it touched until it is flushed.
#include <string>

namespace platform {

bool WriteProfileValue(const std::string& fileName, const std::string& section, const std::string& key,
                        const std::string& value);
bool DeleteProfileKey(const std::string& fileName, const std::string& section, const std::string& key);
bool EraseProfileSection(const std::string& fileName, const std::string& section);
// Writes the platform's cached copy of the file to disk.
void FlushProfile(const std::string& fileName);

std::string ReadProfileValue(const std::string& fileName, const std::string& section, const std::string& key,
                              const std::string& defaultValue);
// The key names of a section, or the section names when `section` is empty,
// as the platform returns them: each followed by a zero.
std::string ReadProfileNames(const std::string& fileName, const std::string& section);

} // namespace platform
