#include "setup/install/uProxyRoute.h"

#include "http/uNetURI.h"
#include "platform/uNetPlatform.h"
#include "platform/uSync.h"
#include "runtime/uSysUtils.h"

#include <algorithm>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace {

bool IsSeparator(char c) { return c == ';' || c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::vector<std::string_view> SplitList(std::string_view list, bool blanksSeparate)
{
    std::vector<std::string_view> items;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= list.size(); ++i) {
        const bool end = i == list.size() ||
                         (blanksSeparate ? IsSeparator(list[i]) : (list[i] == ';' || list[i] == ','));
        if (!end)
            continue;
        std::string_view item = list.substr(start, i - start);
        while (!item.empty() && IsSeparator(item.front()))
            item.remove_prefix(1);
        while (!item.empty() && IsSeparator(item.back()))
            item.remove_suffix(1);
        if (!item.empty())
            items.push_back(item);
        start = i + 1;
    }
    return items;
}

// The kinds of entry a configuration script's answer may hold.
constexpr const char* ScriptKinds[] = {"PROXY", "HTTP", "HTTPS", "SOCKS", "SOCKS4", "SOCKS5"};

bool StartsWithText(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

// "host:port", "[v6]:port" or "host" (port 80); nothing for a bad one.
std::optional<TProxyHop> ParseHostPort(std::string_view text)
{
    // A trailing slash, as in "http://proxy:8080/", says nothing more.
    while (!text.empty() && text.back() == '/')
        text.remove_suffix(1);
    TProxyHop hop;
    std::string_view port;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        hop.Host = AnsiString(text.substr(1, close - 1));
        std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                return std::nullopt;
            port = rest.substr(1);
        }
    } else {
        const std::size_t colon = text.rfind(':');
        hop.Host = AnsiString(text.substr(0, colon));
        if (colon != std::string_view::npos)
            port = text.substr(colon + 1);
        if (hop.Host.find(':') != AnsiString::npos)
            return std::nullopt;
    }
    if (hop.Host.empty() || std::any_of(hop.Host.begin(), hop.Host.end(), [](char c) {
            return static_cast<unsigned char>(c) <= ' ' || c == '/' || c == '@' || c == '\x7F';
        }))
        return std::nullopt;
    // A colon promises a port: "host:" is no address.
    const bool colon = text.size() > hop.Host.size() + (text.front() == '[' ? 2 : 0);
    if (!colon) {
        hop.Port = 80;
    } else if (port.empty() || port.size() > 5 ||
               !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
               !TryStrToInt(port, hop.Port) || hop.Port < 1 || hop.Port > 65535) {
        return std::nullopt;
    }
    return hop;
}

// "*" matches any run of characters, case ignored.
bool WildcardMatch(std::string_view pattern, std::string_view text)
{
    std::size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = t;
        } else if (p < pattern.size() && lower(pattern[p]) == lower(text[t])) {
            ++p;
            ++t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// The settings' text for the log, without a "user:password@" that
// somebody may have put before a host or into a script's address.
AnsiString WithoutCredentials(std::string_view text)
{
    AnsiString out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find_first_of("; ,\t", start), text.size());
        std::string_view item = text.substr(start, end - start);
        const std::size_t at = item.rfind('@');
        if (at != std::string_view::npos) {
            // What names the scheme stays: "http=" or "http://".
            const std::size_t scheme = item.find("://"), equals = item.find('=');
            if (scheme != std::string_view::npos && scheme < at)
                out += item.substr(0, scheme + 3);
            else if (equals != std::string_view::npos && equals < at)
                out += item.substr(0, equals + 1);
            item.remove_prefix(at + 1);
        }
        out += item;
        if (end < text.size())
            out += text[end];
        start = end + 1;
    }
    return out;
}

} // namespace

AnsiString TProxyHop::Text() const
{
    if (Direct())
        return "DIRECT";
    const bool v6 = Host.find(':') != AnsiString::npos;
    return (v6 ? "[" + Host + "]" : Host) + ":" + std::to_string(Port);
}

AnsiString TProxyRoute::Text() const
{
    if (Hops.empty())
        return "DIRECT";
    AnsiString text;
    for (const TProxyHop& hop : Hops) {
        if (!text.empty())
            text += "; ";
        text += hop.Direct() ? AnsiString("DIRECT") : "PROXY " + hop.Text();
    }
    return text;
}

std::vector<TProxyHop> ParseProxyList(std::string_view list, std::string_view scheme)
{
    std::vector<TProxyHop> hops;
    auto add = [&](const TProxyHop& hop) {
        if (std::find(hops.begin(), hops.end(), hop) == hops.end())
            hops.push_back(hop);
    };
    // A bare entry of WinHTTP or the Internet settings: "host:port",
    // "http://host:port", "https=host:port" (for https URLs only).
    auto addBare = [&](std::string_view entry) {
        if (SameText(entry, "DIRECT")) {
            add(TProxyHop{});
            return;
        }
        const std::size_t equals = entry.find('=');
        if (equals != std::string_view::npos) {
            if (!SameText(entry.substr(0, equals), scheme))
                return;
            entry.remove_prefix(equals + 1);
        }
        if (StartsWithText(entry, "http://"))
            entry.remove_prefix(7);
        else if (entry.find("://") != std::string_view::npos)
            return;
        if (const auto hop = ParseHostPort(entry))
            add(*hop);
    };
    for (std::string_view entry : SplitList(list, false)) {
        const std::size_t blank = entry.find_first_of(" \t");
        const std::string_view kind = entry.substr(0, blank);
        const bool scriptEntry = blank != std::string_view::npos &&
                                 std::any_of(std::begin(ScriptKinds), std::end(ScriptKinds),
                                             [&](const char* k) { return SameText(kind, k); });
        if (!scriptEntry) {
            // Blanks separate bare entries too.
            for (std::string_view bare : SplitList(entry, true))
                addBare(bare);
            continue;
        }
        // A script's "PROXY host:port"; a proxy spoken to over TLS, or a
        // SOCKS one, is no proxy of ours.
        if (!SameText(kind, "PROXY") && !SameText(kind, "HTTP"))
            continue;
        std::string_view address = entry.substr(blank);
        while (!address.empty() && IsSeparator(address.front()))
            address.remove_prefix(1);
        if (const auto hop = ParseHostPort(address))
            add(*hop);
    }
    return hops;
}

bool BypassesProxy(std::string_view bypassList, std::string_view scheme, std::string_view host, int port)
{
    for (std::string_view entry : SplitList(bypassList, true)) {
        if (SameText(entry, "<local>")) {
            // A plain name of the local network: no dot, and no address.
            if (host.find('.') == std::string_view::npos && host.find(':') == std::string_view::npos)
                return true;
            continue;
        }
        const std::size_t schemeEnd = entry.find("://");
        if (schemeEnd != std::string_view::npos) {
            if (!SameText(entry.substr(0, schemeEnd), scheme))
                continue;
            entry.remove_prefix(schemeEnd + 3);
        }
        // "host:port" names one port only; an IPv6 address has colons of its own.
        std::string_view pattern = entry;
        const std::size_t colon = entry.rfind(':');
        if (colon != std::string_view::npos && entry.find(':') == colon) {
            int wanted = 0;
            const std::string_view portText = entry.substr(colon + 1);
            if (portText != "*" && (!TryStrToInt(portText, wanted) || wanted != port))
                continue;
            pattern = entry.substr(0, colon);
        }
        if (!pattern.empty() && pattern.front() == '[' && pattern.back() == ']')
            pattern = pattern.substr(1, pattern.size() - 2);
        // "10.*" is how a network is written, "*.example" a domain.
        if (WildcardMatch(pattern, host))
            return true;
    }
    return false;
}

TProxyRoute SystemProxyRoute(const platform::TSystemProxyLookup& lookup, const AnsiString& url)
{
    TProxyRoute route;
    const std::optional<platform::TUserProxySettings> settings = lookup.UserSettings ? lookup.UserSettings() : std::nullopt;
    if (!settings)
        return route;
    const TNetURI target(url);
    const AnsiString scheme = LowerCase(target.Protocol());
    auto fromScript = [&](const platform::TScriptSource& source, const AnsiString& name) {
        if (!lookup.Script)
            return false;
        const std::optional<platform::TScriptAnswer> answer = lookup.Script(url, source);
        if (!answer)
            return false;
        route.Source = WithoutCredentials(name);
        route.Answer = answer->Proxies.empty() ? AnsiString("DIRECT") : WithoutCredentials(answer->Proxies);
        route.Hops = ParseProxyList(answer->Proxies, scheme);
        return true;
    };
    if (settings->AutoDetect && fromScript({true, {}}, "automatic detection"))
        return route;
    if (!settings->AutoConfigUrl.empty() &&
        fromScript({false, settings->AutoConfigUrl}, "configuration script " + settings->AutoConfigUrl))
        return route;
    if (settings->Proxy.empty())
        return route;
    route.Source = "Internet settings";
    route.Answer = WithoutCredentials(settings->Proxy) + (settings->Bypass.empty() ? AnsiString() : ", bypass " + settings->Bypass);
    int port = 0;
    if (!TryStrToInt(target.Port(), port))
        port = scheme == "https" ? 443 : 80;
    if (!BypassesProxy(settings->Bypass, scheme, target.Host(), port))
        route.Hops = ParseProxyList(settings->Proxy, scheme);
    return route;
}

// --- the lookup on its own thread ---------------------------------------------------

struct TSystemProxyQuery::TState {
    platform::TSystemProxyLookup Lookup;
    AnsiString Url;
    platform::TLock Lock;
    platform::TSignal Changed;
    bool Started = false;
    std::optional<TProxyRoute> Answer;
    std::function<void()> Ready;

    void Run()
    {
        TProxyRoute route;
        const std::uint64_t started = platform::TickCountMs();
        try {
            route = SystemProxyRoute(Lookup, Url);
        } catch (...) {
            // Whatever went wrong in asking, the answer is the old one: DIRECT.
        }
        route.LookupMs = platform::TickCountMs() - started;
        {
            // Under the lock: once the owner has let go, nothing is called.
            std::lock_guard lock(Lock);
            Answer = std::move(route);
            if (Ready)
                std::exchange(Ready, nullptr)();
        }
        Changed.notify_all();
    }
};

TSystemProxyQuery::TSystemProxyQuery(platform::TSystemProxyLookup lookup, AnsiString url)
    : FState(std::make_shared<TState>())
{
    FState->Lookup = std::move(lookup);
    FState->Url = std::move(url);
}

TSystemProxyQuery::~TSystemProxyQuery()
{
    std::lock_guard lock(FState->Lock);
    FState->Ready = nullptr;
}

void TSystemProxyQuery::Start(std::function<void()> ready)
{
    bool answered = false, launch = false;
    {
        std::lock_guard lock(FState->Lock);
        answered = FState->Answer.has_value();
        if (!answered && ready)
            FState->Ready = std::move(ready);
        launch = !FState->Started;
        FState->Started = true;
    }
    if (answered) {
        if (ready)
            ready();
        return;
    }
    if (!launch)
        return;
    // The thread holds its own share of the state: a window closed
    // meanwhile leaves it nothing to call, and the program's end stops it.
    try {
        std::thread([state = FState] { state->Run(); }).detach();
    } catch (const std::system_error&) {
        FState->Run();
    }
}

std::optional<TProxyRoute> TSystemProxyQuery::Answer() const
{
    std::lock_guard lock(FState->Lock);
    return FState->Answer;
}

TProxyRoute TSystemProxyQuery::Wait(const std::function<void()>& check, unsigned limitMs)
{
    Start();
    constexpr auto Slice = std::chrono::milliseconds(20);
    const std::uint64_t started = platform::TickCountMs();
    for (;;) {
        if (check)
            check();
        std::unique_lock lock(FState->Lock);
        if (FState->Changed.wait_for(lock, Slice, [this] { return FState->Answer.has_value(); }))
            return *FState->Answer;
        if (platform::TickCountMs() - started >= limitMs) {
            TProxyRoute route;
            route.Source = "none (Windows did not answer in time)";
            return route;
        }
    }
}
