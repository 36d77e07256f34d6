#include "uLocale.h"

#include "uWinText.h"

#include <windows.h>

namespace platform {

void UserLocaleIsoNames(std::string& language, int& languageCount, std::string& country, int& countryCount)
{
    char buffer[5];
    languageCount = ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, buffer, sizeof buffer);
    language = languageCount > 0 ? std::string(buffer, static_cast<size_t>(languageCount - 1)) : std::string();
    countryCount = ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO3166CTRYNAME, buffer, sizeof buffer);
    country = countryCount > 0 ? std::string(buffer, static_cast<size_t>(countryCount - 1)) : std::string();
}

unsigned ThreadLocaleId()
{
    return ::GetThreadLocale();
}

bool SetEnvVar(const std::string& name, const std::string& value)
{
    return ::SetEnvironmentVariableA(name.c_str(), value.c_str()) != FALSE;
}

bool DeleteEnvVar(const std::string& name)
{
    return ::SetEnvironmentVariableA(name.c_str(), nullptr) != FALSE;
}

bool TryMultiByteToWide(std::string_view text, unsigned codePage, std::u16string& result)
{
    result.clear();
    if (text.empty())
        return true;
    int n = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0)
        return false;
    result.assign(static_cast<size_t>(n), u'\0');
    return ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), AsWin(result.data()), n) == n;
}

} // namespace platform
