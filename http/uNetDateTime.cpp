#include "uNetDateTime.h"

#include "uNetGlobal.h"
#include "platform/uNetPlatform.h"
#include "runtime/uSysUtils.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
const char* const DayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const MonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Days from 1 January 1970 (proleptic Gregorian), after Howard Hinnant.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    unsigned yoe = static_cast<unsigned>(y - era * 400);
    unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d)
{
    z += 719468;
    std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    unsigned doe = static_cast<unsigned>(z - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

constexpr std::int64_t UnixEpochDays = 25569; // 1970-01-01 as a date-time

bool AllDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "hh:mm" or "hh:mm:ss", one or two digits each: no sign, no other text.
bool ReadTime(std::string_view text, int& hour, int& minute, int& second)
{
    int parts[3] = {0, 0, 0};
    int count = 0;
    while (count < 3) {
        size_t colon = text.find(':');
        std::string_view part = text.substr(0, colon);
        if (part.size() > 2 || !AllDigits(part))
            return false;
        parts[count++] = part.size() == 1 ? part[0] - '0' : (part[0] - '0') * 10 + (part[1] - '0');
        if (colon == std::string_view::npos)
            break;
        text.remove_prefix(colon + 1);
        if (count == 3)
            return false;
    }
    if (count < 2)
        return false;
    hour = parts[0];
    minute = parts[1];
    second = parts[2];
    return true;
}

TDateTime FromCalendar(const platform::TCalendarTime& t)
{
    return EncodeDateTime(t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second) + t.Milliseconds / 86400000.0;
}
} // namespace

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second)
{
    std::int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) + UnixEpochDays;
    return static_cast<double>(days) + (hour * 3600 + minute * 60 + second) / 86400.0;
}

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second, int& dayOfWeek)
{
    // Round to whole seconds first so 23:59:59.9999 does not turn into 24:00:00.
    auto total = static_cast<std::int64_t>(std::llround(value * 86400.0));
    std::int64_t days = total / 86400, secs = total % 86400;
    if (secs < 0) {
        secs += 86400;
        --days;
    }
    CivilFromDays(days - UnixEpochDays, year, month, day);
    hour = static_cast<int>(secs / 3600);
    minute = static_cast<int>(secs / 60 % 60);
    second = static_cast<int>(secs % 60);
    dayOfWeek = static_cast<int>(((days - UnixEpochDays) % 7 + 7 + 4) % 7); // 1970-01-01 was a Thursday
}

TDateTime NetNow() { return FromCalendar(platform::LocalNow()); }
TDateTime NetNowUTC() { return FromCalendar(platform::UtcNow()); }

AnsiString DateTimeToHttpStr(TDateTime value)
{
    int y, m, d, h, mi, s, dow;
    DecodeDateTime(value, y, m, d, h, mi, s, dow);
    AnsiString time = Format("%.2d:%.2d:%.2d", h, mi, s);
    return Format("%s, %.2d %s %.4d %s %s", DayNames[dow], d, MonthNames[m - 1], y, time.c_str(), "GMT");
}

bool HttpStrToLocalDateTime(const AnsiString& text, TDateTime& value)
{
    // Tokens split at blanks, commas and dashes; each is recognised by its form.
    std::vector<AnsiString> tokens;
    AnsiString token;
    for (char c : text + " ") {
        if (c == ' ' || c == ',' || c == '-' || c == '\t') {
            if (!token.empty())
                tokens.push_back(token);
            token.clear();
            // A numeric zone keeps its sign.
            if (c == '-' && tokens.size() >= 4)
                token = "-";
        } else {
            token += c;
        }
    }
    int year = -1, month = -1, day = -1, hour = 0, minute = 0, second = 0, zoneMinutes = 0;
    bool haveTime = false;
    for (const AnsiString& t : tokens) {
        int n;
        if (t.find(':') != AnsiString::npos && !haveTime) {
            if (!ReadTime(t, hour, minute, second))
                return false;
            haveTime = true;
        } else if ((t[0] == '+' || t[0] == '-') && t.size() == 5 && AllDigits(t.substr(1)) && TryStrToInt(t.substr(1), n)) {
            zoneMinutes = (t[0] == '-' ? -1 : 1) * (n / 100 * 60 + n % 100);
        } else if (AllDigits(t) && TryStrToInt(t, n)) {
            if (day < 0 && n >= 1 && n <= 31 && t.size() <= 2)
                day = n;
            else if (year < 0)
                year = t.size() <= 2 ? (n < 50 ? 2000 + n : 1900 + n) : n;
            else
                return false;
        } else {
            for (int k = 0; k < 12; ++k)
                if (net::StartsText(MonthNames[k], t))
                    month = k + 1;
        }
    }
    if (year < 0 || year > 9999 || month < 0 || day < 0 || hour > 23 || minute > 59 || second > 60)
        return false;
    TDateTime utc = EncodeDateTime(year, month, day, hour, minute, std::min(second, 59)) - zoneMinutes / 1440.0;
    value = utc - platform::UtcBiasMinutes() / 1440.0;
    return true;
}
