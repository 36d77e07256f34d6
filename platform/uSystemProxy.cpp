#include "uSystemProxy.h"

#include <windows.h>

#include <winhttp.h>

namespace platform {

namespace {

// A script's server, or the DNS and DHCP of auto-detection, that does not
// answer must not hold up an installation for WinHTTP's default minutes.
constexpr int ScriptResolveMs = 5000, ScriptConnectMs = 5000, ScriptSendMs = 5000, ScriptReceiveMs = 10000;

// WinHTTP's strings are ASCII in practice (host names, URLs); anything else
// goes through the ANSI code page like the rest of the program's text.
std::string Narrow(const wchar_t* text)
{
    if (!text || !*text)
        return {};
    const int size = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.resize(static_cast<std::size_t>(size) - 1);
    return result;
}

std::wstring Widen(const std::string& text)
{
    if (text.empty())
        return {};
    const int size = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, result.data(), size);
    result.resize(static_cast<std::size_t>(size > 0 ? size - 1 : 0));
    return result;
}

// WinHTTP hands its strings over in GlobalAlloc'ed memory.
class TGlobalText {
public:
    explicit TGlobalText(wchar_t* text) : FText(text) {}
    ~TGlobalText()
    {
        if (FText)
            ::GlobalFree(FText);
    }
    TGlobalText(const TGlobalText&) = delete;
    TGlobalText& operator=(const TGlobalText&) = delete;
    std::string Text() const { return Narrow(FText); }

private:
    wchar_t* FText;
};

class TWinHttpHandle {
public:
    explicit TWinHttpHandle(HINTERNET handle) : FHandle(handle) {}
    ~TWinHttpHandle()
    {
        if (FHandle)
            ::WinHttpCloseHandle(FHandle);
    }
    TWinHttpHandle(const TWinHttpHandle&) = delete;
    TWinHttpHandle& operator=(const TWinHttpHandle&) = delete;
    HINTERNET Get() const { return FHandle; }

private:
    HINTERNET FHandle;
};

std::optional<TUserProxySettings> UserSettings()
{
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (!::WinHttpGetIEProxyConfigForCurrentUser(&config))
        return std::nullopt;
    TGlobalText autoConfigUrl(config.lpszAutoConfigUrl), proxy(config.lpszProxy), bypass(config.lpszProxyBypass);
    TUserProxySettings settings;
    settings.AutoDetect = config.fAutoDetect != FALSE;
    settings.AutoConfigUrl = autoConfigUrl.Text();
    settings.Proxy = proxy.Text();
    settings.Bypass = bypass.Text();
    return settings;
}

std::optional<TScriptAnswer> Script(const std::string& url, const TScriptSource& source)
{
    TWinHttpHandle session(::WinHttpOpen(L"KORVANT Setup", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                         WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session.Get())
        return std::nullopt;
    ::WinHttpSetTimeouts(session.Get(), ScriptResolveMs, ScriptConnectMs, ScriptSendMs, ScriptReceiveMs);
    const std::wstring scriptUrl = Widen(source.Url);
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (source.AutoDetect) {
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    } else {
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = scriptUrl.c_str();
    }
    // A script server inside the company may want the user's own login.
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info{};
    if (!::WinHttpGetProxyForUrl(session.Get(), Widen(url).c_str(), &options, &info))
        return std::nullopt;
    TGlobalText proxies(info.lpszProxy), bypass(info.lpszProxyBypass);
    TScriptAnswer answer;
    if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY)
        answer.Proxies = proxies.Text();
    return answer;
}

} // namespace

TSystemProxyLookup WinHttpProxyLookup() { return {UserSettings, Script}; }

} // namespace platform
