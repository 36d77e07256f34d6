#include "uSystemProxy.h"

#include "uHandle.h"
#include "uSystemProc.h"
#include "uWinText.h"
#include "uWinOwners.h"

#include <windows.h>

#include <winhttp.h>

#include <utility>

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

// The calls of winhttp.dll, bound from the system folder when a question is
// asked (never imported: a winhttp.dll beside the program is not loaded).
// Tests stand in for them through the lookup of uSystemProc.h.
struct TWinHttp {
    template <class F> static F Bind(F, const char* name) { return SystemFunction<F>("winhttp.dll", name); }
#define KORVANT_WINHTTP(name) decltype(&::name) name = Bind(&::name, #name)
    KORVANT_WINHTTP(WinHttpGetIEProxyConfigForCurrentUser);
    KORVANT_WINHTTP(WinHttpOpen);
    KORVANT_WINHTTP(WinHttpSetTimeouts);
    KORVANT_WINHTTP(WinHttpGetProxyForUrl);
    KORVANT_WINHTTP(WinHttpCloseHandle);
    // Windows 8 and later only.
    KORVANT_WINHTTP(WinHttpSetStatusCallback);
    KORVANT_WINHTTP(WinHttpCreateProxyResolver);
    KORVANT_WINHTTP(WinHttpGetProxyForUrlEx);
    KORVANT_WINHTTP(WinHttpGetProxyResult);
    KORVANT_WINHTTP(WinHttpFreeProxyResult);
#undef KORVANT_WINHTTP

    bool Usable() const { return WinHttpOpen && WinHttpSetTimeouts && WinHttpGetProxyForUrl && WinHttpCloseHandle; }
    bool HasResolver() const
    {
        return WinHttpSetStatusCallback && WinHttpCreateProxyResolver && WinHttpGetProxyForUrlEx &&
               WinHttpGetProxyResult && WinHttpFreeProxyResult;
    }
};

// WinHTTP hands its strings over in GlobalAlloc'ed memory.
class TGlobalText {
public:
    explicit TGlobalText(wchar_t* text) : FText(text) {}
    std::string Text() const { return Narrow(FText.Get()); }

private:
    win::TGlobalMem<wchar_t> FText;
};

class TWinHttpHandle {
public:
    TWinHttpHandle(const TWinHttp& api, HINTERNET handle) : FApi(api), FHandle(handle) {}
    ~TWinHttpHandle()
    {
        if (FHandle)
            FApi.WinHttpCloseHandle(FHandle);
    }
    TWinHttpHandle(TWinHttpHandle&& other) noexcept : FApi(other.FApi), FHandle(std::exchange(other.FHandle, nullptr)) {}
    TWinHttpHandle(const TWinHttpHandle&) = delete;
    TWinHttpHandle& operator=(const TWinHttpHandle&) = delete;
    HINTERNET Get() const { return FHandle; }

private:
    const TWinHttp& FApi;
    HINTERNET FHandle;
};

std::optional<TUserProxySettings> UserSettings()
{
    const TWinHttp api;
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (!api.WinHttpGetIEProxyConfigForCurrentUser || !api.WinHttpGetIEProxyConfigForCurrentUser(&config))
        return std::nullopt;
    TGlobalText autoConfigUrl(config.lpszAutoConfigUrl), proxy(config.lpszProxy), bypass(config.lpszProxyBypass);
    TUserProxySettings settings;
    settings.AutoDetect = config.fAutoDetect != FALSE;
    settings.AutoConfigUrl = autoConfigUrl.Text();
    settings.Proxy = proxy.Text();
    settings.Bypass = bypass.Text();
    return settings;
}

WINHTTP_AUTOPROXY_OPTIONS ScriptOptions(const TScriptSource& source, const std::wstring& scriptUrl)
{
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
    return options;
}

TWinHttpHandle OpenSession(const TWinHttp& api, DWORD flags)
{
    TWinHttpHandle session(api, api.WinHttpOpen(L"KORVANT Setup", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                                WINHTTP_NO_PROXY_BYPASS, flags));
    if (session.Get())
        api.WinHttpSetTimeouts(session.Get(), ScriptResolveMs, ScriptConnectMs, ScriptSendMs, ScriptReceiveMs);
    return session;
}

// The resolver's one answer, handed from its callback to the waiting thread.
struct TResolverWait {
    TOwnedHandle Done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    DWORD Error = ERROR_SUCCESS;
};

void CALLBACK ResolverCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD)
{
    auto* wait = reinterpret_cast<TResolverWait*>(context);
    if (!wait)
        return;
    if (status == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR)
        wait->Error = info ? static_cast<WINHTTP_ASYNC_RESULT*>(info)->dwError : ERROR_WINHTTP_INTERNAL_ERROR;
    else if (status != WINHTTP_CALLBACK_STATUS_GETPROXYFORURL_COMPLETE)
        return;
    ::SetEvent(wait->Done.Get());
}

enum class TResolved { Unavailable, Failed, Answered };

// Windows 8 and later give a script's whole answer, DIRECT entries too; the
// older call stops at the first DIRECT, so "PROXY a; DIRECT" would lose its
// way out. Unavailable where this Windows (or Wine) has no resolver.
TResolved ResolveWholeAnswer(const TWinHttp& api, const std::wstring& url, WINHTTP_AUTOPROXY_OPTIONS& options,
                             std::string& answer)
{
    if (!api.HasResolver())
        return TResolved::Unavailable;
    const TWinHttpHandle session = OpenSession(api, WINHTTP_FLAG_ASYNC);
    if (!session.Get())
        return TResolved::Unavailable;
    HINTERNET resolverHandle = nullptr;
    if (api.WinHttpCreateProxyResolver(session.Get(), &resolverHandle) != ERROR_SUCCESS || !resolverHandle)
        return TResolved::Unavailable;
    const TWinHttpHandle resolver(api, resolverHandle);
    TResolverWait wait;
    if (!wait.Done)
        return TResolved::Unavailable;
    if (api.WinHttpSetStatusCallback(resolver.Get(), ResolverCallback,
                                   WINHTTP_CALLBACK_FLAG_REQUEST_ERROR | WINHTTP_CALLBACK_FLAG_GETPROXYFORURL_COMPLETE,
                                   0) == WINHTTP_INVALID_STATUS_CALLBACK)
        return TResolved::Unavailable;
    const DWORD started = api.WinHttpGetProxyForUrlEx(resolver.Get(), url.c_str(), &options, reinterpret_cast<DWORD_PTR>(&wait));
    if (started != ERROR_IO_PENDING)
        return started == ERROR_SUCCESS ? TResolved::Failed : TResolved::Unavailable;
    // The session's time limits bound the wait; the caller's thread is no window's.
    ::WaitForSingleObject(wait.Done.Get(), INFINITE);
    if (wait.Error != ERROR_SUCCESS)
        return TResolved::Failed;
    WINHTTP_PROXY_RESULT result{};
    if (api.WinHttpGetProxyResult(resolver.Get(), &result) != ERROR_SUCCESS)
        return TResolved::Failed;
    answer.clear();
    for (DWORD i = 0; i < result.cEntries; ++i) {
        const WINHTTP_PROXY_RESULT_ENTRY& entry = result.pEntries[i];
        if (!answer.empty())
            answer += "; ";
        if (!entry.fProxy) {
            answer += "DIRECT";
            continue;
        }
        // Only an HTTP proxy is one of ours; the rest keep their kind, so
        // the list's reader leaves them out.
        answer += entry.ProxyScheme == INTERNET_SCHEME_HTTP ? "PROXY " : "SOCKS ";
        const std::string host = Narrow(entry.pwszProxy);
        const bool v6 = host.find(':') != std::string::npos;
        answer.append(v6 ? "[" : "").append(host).append(v6 ? "]:" : ":").append(std::to_string(entry.ProxyPort));
    }
    api.WinHttpFreeProxyResult(&result);
    return TResolved::Answered;
}

std::optional<TScriptAnswer> Script(const std::string& url, const TScriptSource& source)
{
    const TWinHttp api;
    if (!api.Usable())
        return std::nullopt;
    const std::wstring scriptUrl = AnsiToWin(source.Url), target = AnsiToWin(url);
    WINHTTP_AUTOPROXY_OPTIONS options = ScriptOptions(source, scriptUrl);
    TScriptAnswer answer;
    switch (ResolveWholeAnswer(api, target, options, answer.Proxies)) {
    case TResolved::Answered:
        return answer;
    case TResolved::Failed:
        return std::nullopt;
    case TResolved::Unavailable:
        break;
    }
    const TWinHttpHandle session = OpenSession(api, 0);
    if (!session.Get())
        return std::nullopt;
    WINHTTP_PROXY_INFO info{};
    if (!api.WinHttpGetProxyForUrl(session.Get(), target.c_str(), &options, &info))
        return std::nullopt;
    TGlobalText proxies(info.lpszProxy), bypass(info.lpszProxyBypass);
    if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY)
        answer.Proxies = proxies.Text();
    return answer;
}

} // namespace

TSystemProxyLookup WinHttpProxyLookup() { return {UserSettings, Script}; }

} // namespace platform
