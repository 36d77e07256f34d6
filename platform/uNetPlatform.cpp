#include "uNetPlatform.h"

#include <windows.h>

namespace platform {

bool IsAnsiLeadByte(unsigned char byte)
{
    // The table is read once: the code page does not change while we run.
    static const CPINFO info = [] {
        CPINFO i{};
        if (!::GetCPInfo(CP_ACP, &i))
            i.MaxCharSize = 1;
        return i;
    }();
    if (info.MaxCharSize < 2)
        return false;
    for (int k = 0; k + 1 < MAX_LEADBYTES && (info.LeadByte[k] || info.LeadByte[k + 1]); k += 2)
        if (byte >= info.LeadByte[k] && byte <= info.LeadByte[k + 1])
            return true;
    return false;
}

std::uint64_t TickCountMs() { return ::GetTickCount64(); }
void SleepMs(unsigned milliseconds) { ::Sleep(milliseconds); }

namespace {
TCalendarTime FromSystemTime(const SYSTEMTIME& t)
{
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}
} // namespace

TCalendarTime LocalNow()
{
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    return FromSystemTime(t);
}

TCalendarTime UtcNow()
{
    SYSTEMTIME t;
    ::GetSystemTime(&t);
    return FromSystemTime(t);
}

int UtcBiasMinutes()
{
    TIME_ZONE_INFORMATION zone;
    DWORD kind = ::GetTimeZoneInformation(&zone);
    int bias = static_cast<int>(zone.Bias);
    if (kind == TIME_ZONE_ID_DAYLIGHT)
        bias += static_cast<int>(zone.DaylightBias);
    else if (kind == TIME_ZONE_ID_STANDARD)
        bias += static_cast<int>(zone.StandardBias);
    return bias;
}

} // namespace platform
