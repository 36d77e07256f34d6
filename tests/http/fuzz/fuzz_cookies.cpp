// Any text as the cookies of one host and the requests that follow. Line 1
// is the host; a line "U<path>" (or "Us<path>" over TLS) asks for the Cookie
// value of a request, a line starting with "2" is a Set-cookie2 value, any
// other line a Set-cookie value. A cookie never goes to a host it does not
// fit, and the limits hold.
#include "http/uNetCookie.h"
#include "http/uNetGlobal.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    AnsiString text(reinterpret_cast<const char*>(data), size);
    AnsiString host = net::Fetch(text, "\n");
    TNetCookieManager manager(nullptr);
    int lines = 0;
    while (!text.empty() && ++lines < 400) {
        AnsiString line = net::Fetch(text, "\n");
        try {
            if (!line.empty() && line[0] == 'U') {
                bool secure = line.size() > 1 && line[1] == 's';
                AnsiString cookies = manager.GenerateCookieList(TNetURI("http://" + host + line.substr(secure ? 2 : 1)), secure);
                (void)cookies;
            } else if (!line.empty() && line[0] == '2') {
                manager.AddCookie2(line.substr(1), host);
            } else {
                manager.AddCookie(line, host);
            }
        } catch (const ENetCookieLimitExceeded&) {
        } catch (const ENetURIException&) {
        }
    }
    TNetCookies& store = manager.CookieCollection();
    if (store.Count() > TNetCookies::MaxCookies)
        std::abort();
    for (int i = 0; i < store.Count(); ++i)
        if (!TNetCookieManager::DomainFitsHost(store.Items(i)->Domain, host))
            std::abort();
    // The matchers on their own, with the input's halves as the two sides.
    const AnsiString all(reinterpret_cast<const char*>(data), size);
    const AnsiString a = all.substr(0, size / 2), b = all.substr(size / 2);
    TNetCookieManager::DomainFitsHost(a, b);
    TNetCookieManager::PathMatches(a, b);
    return 0;
}
