// Any text as a URL: parsed (bracketed IPv6 literals included), built back,
// and its path merged as a request merges it. Only the URL error may come
// out; a literal that parses must survive its own canonical form.
#include "http/uNetGlobal.h"
#include "http/uNetStack.h"
#include "http/uNetURI.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const AnsiString text(reinterpret_cast<const char*>(data), size);
    try {
        TNetURI uri(text);
        uri.HostText();
        uri.PathAndQuery();
        TNetURI::MergePaths("/korvant07/", uri.Path());
        TNetURI::MergePaths(uri.Path(), uri.Document());
        try {
            AnsiString plain = uri.GetURI();
            // An IPv6 host built back in brackets parses to the same host.
            if (uri.IPVersion() == TNetIPVersion::Net_IPv6 && TNetURI(plain).Host() != uri.Host())
                std::abort();
        } catch (const ENetURIException&) {
        }
    } catch (const ENetURIException&) {
    }

    std::uint8_t bytes[16], again[16];
    if (net::ParseIPv6(text, bytes)) {
        AnsiString canonical = TNetStack::CanonicalIPv6(text);
        if (!net::ParseIPv6(canonical, again) || std::memcmp(bytes, again, sizeof bytes) != 0)
            std::abort();
    }
    return 0;
}
