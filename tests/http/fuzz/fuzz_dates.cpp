// Any text as an HTTP date. A date that is read must be written and read
// back to the same second.
#include "http/uNetDateTime.h"
#include "platform/uNetPlatform.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const AnsiString text(reinterpret_cast<const char*>(data), size);
    TDateTime value = 0, again = 0;
    if (!HttpStrToLocalDateTime(text, value))
        return 0;
    // The written form carries the value as it is and is read as GMT.
    AnsiString written = DateTimeToHttpStr(value);
    if (!HttpStrToLocalDateTime(written, again))
        std::abort();
    // Within the years 1 to 9999 a double still holds whole seconds.
    double expected = value - platform::UtcBiasMinutes() / 1440.0;
    if (std::fabs(value) < 3.0e6 && std::fabs(again - expected) * 86400.0 > 1.0)
        std::abort();
    return 0;
}
