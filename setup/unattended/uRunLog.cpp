#include "setup/unattended/uRunLog.h"

#include "platform/uSetupHost.h"
#include "platform/uSystem.h"
#include "runtime/uSysUtils.h"

#include <algorithm>

TRunLog::TRunLog(const AnsiString& path) : FPath(path)
{
    if (FPath.empty()) {
        AnsiString stamp = platform::LocalDateTime();
        std::replace(stamp.begin(), stamp.end(), ':', '-');
        FPath = platform::TempFolder() + "KORVANT Setup " + stamp + ".log";
    }
    FFile.open(FPath, std::ios::binary | std::ios::app);
}

void TRunLog::Write(const AnsiString& line)
{
    AnsiString text;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\r' || line[i] == '\n') {
            if (i + 1 < line.size() && line[i] == '\r' && line[i + 1] == '\n')
                ++i;
            text += " | ";
        } else {
            text += line[i];
        }
    }
    std::lock_guard lock(FLock);
    if (!FFile.is_open())
        return;
    // UTF-8, as support's editors read it whatever the PC's code page.
    FFile << platform::LocalDateTime() << "  "
          << platform::WideToMultiByte(platform::MultiByteToWide(text, platform::CP_ANSI), platform::CP_UTF8_) << "\r\n";
    FFile.flush();
}
