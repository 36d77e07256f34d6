#pragma once
// What a support log says about the machine and the moment.
#include <cstdint>
#include <string>

namespace platform {

struct TLocalTime {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0, Milliseconds = 0;
};
TLocalTime LocalTimeNow();

// "10.0.19045" and, where known, the service pack: as the kernel reports it
// (not as a program's compatibility settings make it appear).
std::string WindowsVersion();

} // namespace platform

#include "uHandle.h"

namespace platform {
// A new file for writing that others may read while it is written; invalid
// when the name exists already or the folder cannot take it.
TOwnedHandle CreateNewSharedFile(const std::string& path);
} // namespace platform
