#pragma once
// The few system services of the download client besides sockets: lead bytes
// of the ANSI code page, a millisecond clock, sleeping, and the local clock.
#include <cstdint>

namespace platform {

// True when the byte starts a double-byte character in the ANSI code page.
bool IsAnsiLeadByte(unsigned char byte);

std::uint64_t TickCountMs();
void SleepMs(unsigned milliseconds);

struct TCalendarTime {
    int Year, Month, Day, Hour, Minute, Second, Milliseconds;
};
TCalendarTime LocalNow();
TCalendarTime UtcNow();
// Minutes to add to local time to get UTC (the time-zone bias now in force).
int UtcBiasMinutes();

} // namespace platform
