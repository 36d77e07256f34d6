// Any bytes as what a server answers, read through the real client from
// memory: status line, headers, counted, chunked and until-close bodies,
// interim answers, redirects and challenges. The first byte chooses the
// client's settings (see capture-responses.sh). Failures must be the
// client's own exceptions, and the body can hold no byte the server did not
// send.
#include "uMemoryIOHandler.h"

#include "http/uNetHTTP.h"
#include "runtime/uStreams.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const unsigned settings = data[0];
    const int pieceSize = static_cast<int>(settings >> 5) * 5; // 0: whole reads
    TNetIOHandlerMemory io(std::string(reinterpret_cast<const char*>(data) + 1, size - 1), pieceSize);
    TNetHTTP http(nullptr);
    http.SetIOHandler(&io);
    http.HandleRedirects = settings & 1;
    if (settings & 2) {
        http.HTTPOptions |= hoAuthInProcess;
        http.Request().Username = "jan";
        http.Request().Password = "geheim";
    }
    if (settings & 4) {
        http.ProxyParams().SetProxyServer("proxy.example");
        http.ProxyParams().SetProxyPort(8080);
    }
    if (settings & 8)
        http.ProtocolVersion = TNetHTTPProtocolVersion::pv1_0;

    TMemoryStream body;
    // Twice on one client: cookies and connection state carry over.
    for (const char* url : {"http://example/korvant07/main.zip", "http://example:8707/korvant07/upgrade.txt"}) {
        try {
            if (settings & 16)
                http.Head(url);
            else
                http.Get(url, &body);
        } catch (const Exception&) {
        }
        if (body.Size() > static_cast<std::int64_t>(size))
            std::abort();
    }
    return 0;
}
