#pragma once
// Which proxy a download takes when none is typed: what Windows would use
// for the download URL (the user's Internet settings, automatic detection,
// a configuration script), as an ordered list of ways to try. The lookup
// itself may take seconds on a network that does not answer, so it runs on
// a thread of its own, started early, and is waited for only when needed.
#include "platform/uSystemProxy.h"
#include "runtime/uText.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

// One way to reach the server: through the proxy Host:Port, or DIRECT when
// Host is empty.
struct TProxyHop {
    AnsiString Host;
    int Port = 0;
    bool Direct() const { return Host.empty(); }
    // "host:port" ("[::1]:8080" for an IPv6 address), or "DIRECT".
    AnsiString Text() const;
    bool operator==(const TProxyHop&) const = default;
};

struct TProxyRoute {
    // Tried in order: the next when one cannot be reached. Empty: DIRECT.
    std::vector<TProxyHop> Hops;
    // Where the answer came from, for the support log: "Internet settings",
    // "automatic detection", "configuration script URL", "none".
    AnsiString Source = "none";
    // What came from Windows, as it came, for the support log.
    AnsiString Answer;
    // How long Windows took to answer.
    std::uint64_t LookupMs = 0;

    bool Direct() const { return Hops.empty() || Hops.front().Direct(); }
    // "PROXY a:1; PROXY b:2; DIRECT", or "DIRECT".
    AnsiString Text() const;
};

// A proxy list in the form of a configuration script's answer ("PROXY a:1;
// PROXY b:2; DIRECT") or of WinHTTP and the Internet settings ("a:1;b:2",
// "http=a:1;https=b:2", "http://a:1"), for a URL of `scheme` ("http" or
// "https"). Entries this client cannot use (SOCKS, HTTPS to the proxy, an
// other scheme's, a bad port) are left out; a proxy without a port is on 80.
std::vector<TProxyHop> ParseProxyList(std::string_view list, std::string_view scheme);

// Whether the Internet settings' bypass list ("<local>;*.example;10.*",
// separated by ";", "," or blanks) sends `host` of a URL of `scheme` and
// `port` past the proxy. "<local>" names hosts without a dot; "*" stands for
// any run of characters; an entry may carry a scheme ("http://") and a port.
bool BypassesProxy(std::string_view bypassList, std::string_view scheme, std::string_view host, int port);

// What Windows would use for `url`, in the order browsers ask: automatic
// detection, then the configuration script, then the proxy typed in the
// Internet settings and its bypass list; DIRECT when none of them answers.
TProxyRoute SystemProxyRoute(const platform::TSystemProxyLookup& lookup, const AnsiString& url);

// Asks once, on a thread of its own; the answer is kept for the run.
class TSystemProxyQuery {
public:
    TSystemProxyQuery(platform::TSystemProxyLookup lookup, AnsiString url);
    // Forgets the notification; the thread may still run, and ends alone.
    ~TSystemProxyQuery();
    TSystemProxyQuery(const TSystemProxyQuery&) = delete;
    TSystemProxyQuery& operator=(const TSystemProxyQuery&) = delete;

    // Starts the lookup unless it runs or ran. `ready`, when set, is called
    // once on the lookup's thread when the answer is in (at once, on this
    // thread, when it already is), with the query's lock held: it may only
    // hand the news on (post it to a window's thread), not ask back.
    void Start(std::function<void()> ready = nullptr);
    // The answer, when it is in.
    std::optional<TProxyRoute> Answer() const;
    // Starts the lookup if needed and waits for it, calling `check` every
    // few milliseconds (it may raise to stop waiting). After `limitMs`
    // without an answer, DIRECT: a lookup that hangs must not hold up the
    // download for ever.
    TProxyRoute Wait(const std::function<void()>& check, unsigned limitMs);

private:
    struct TState;
    std::shared_ptr<TState> FState;
};
