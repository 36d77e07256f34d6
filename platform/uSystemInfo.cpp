#include "uSystemInfo.h"

#include <windows.h>

namespace platform {

TLocalTime LocalTimeNow()
{
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return TLocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

std::string WindowsVersion()
{
    // GetVersionEx answers what the manifest lets a program see; ntdll's
    // RtlGetVersion tells the truth.
    using TRtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    auto getVersion = ntdll ? reinterpret_cast<TRtlGetVersion>(
                                  reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")))
                            : nullptr;
    if (!getVersion || getVersion(&info) != 0)
        return "unknown";
    std::string text = std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + "." +
                       std::to_string(info.dwBuildNumber);
    std::string servicePack;
    for (const WCHAR* c = info.szCSDVersion; *c && servicePack.size() < 64; ++c)
        servicePack += *c < 0x80 ? static_cast<char>(*c) : '?';
    if (!servicePack.empty())
        text += " " + servicePack;
    return text;
}

} // namespace platform

namespace platform {
TOwnedHandle CreateNewSharedFile(const std::string& path)
{
    return TOwnedHandle(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
}
} // namespace platform
