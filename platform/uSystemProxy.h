#pragma once
// How Windows would reach a URL: the user's Internet settings, and the
// answer of automatic detection (WPAD) or of a configuration script (PAC),
// which WinHTTP finds and runs. This unit only asks; what the answers mean
// for a download is decided by the caller.
#include <functional>
#include <optional>
#include <string>

namespace platform {

// The user's Internet settings, as the Internet options dialog keeps them.
struct TUserProxySettings {
    bool AutoDetect = false;   // "Automatically detect settings" (WPAD)
    std::string AutoConfigUrl; // "Use automatic configuration script"; empty: none
    std::string Proxy;         // "host:port", or "http=host:port;https=host:port"; empty: none
    std::string Bypass;        // "<local>;*.example;10.*"; empty: none
};

// Where a configuration script comes from: found on the network, or named.
struct TScriptSource {
    bool AutoDetect = false;
    std::string Url;
};

// A script's answer for one URL: its whole list where Windows gives it
// ("PROXY a:1; PROXY b:2; DIRECT", Windows 8 and later), else the proxies
// as the older call lists them, up to the first DIRECT ("a:1;b:2"); empty
// for DIRECT.
struct TScriptAnswer {
    std::string Proxies;
};

// The questions, as functions, so tests can answer them instead of Windows.
struct TSystemProxyLookup {
    // Empty when Windows gives no settings at all.
    std::function<std::optional<TUserProxySettings>()> UserSettings;
    // Empty when no script was found, could not be fetched or failed to run.
    std::function<std::optional<TScriptAnswer>(const std::string& url, const TScriptSource& source)> Script;
};

// The answers of WinHTTP (winhttp.dll from the system folder). A script is
// fetched with short time limits: a network without one costs little.
TSystemProxyLookup WinHttpProxyLookup();

} // namespace platform
