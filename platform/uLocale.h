#pragma once
// The user's language and region, the environment, and strict code-page
// conversion: what the translator needs to choose and widen its texts.
#include <string>
#include <string_view>

namespace platform {

// ISO 639 language and ISO 3166 country names of the user's default locale,
// read into 5-character buffers. Each count is the call's result: the number
// of characters including the terminating NUL, 0 on failure.
void UserLocaleIsoNames(std::string& language, int& languageCount, std::string& country, int& countryCount);
// The calling thread's locale identifier (LCID).
unsigned ThreadLocaleId();

bool SetEnvVar(const std::string& name, const std::string& value);
bool DeleteEnvVar(const std::string& name);

// Converts with the given code page; false when the system cannot (unknown
// code page or bytes it does not accept).
bool TryMultiByteToWide(std::string_view text, unsigned codePage, std::u16string& result);

} // namespace platform
