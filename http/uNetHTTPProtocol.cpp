// The HTTP/1.1 exchange itself: the response's status, the request head, the
// headers and body of the answer, and what the answer asks the client to do next.
#include "uNetHTTP.h"

#include "uNetGlobal.h"
#include "uNetTlsIOHandler.h"
#include "runtime/uStreams.h"
#include "runtime/uSysUtils.h"

#include <algorithm>
#include <limits>

namespace {

// Keeps the first bytes of an error body as its text and counts the rest, so
// a hostile server cannot fill memory with an error page.
class TErrorBodyStream : public TStream {
public:
    static constexpr std::int64_t Limit = 64 * 1024;

    std::int64_t Read(void*, std::int64_t) override { return 0; }
    std::int64_t Write(const void* buffer, std::int64_t count) override
    {
        if (count <= 0)
            return 0;
        std::int64_t keep = std::clamp<std::int64_t>(Limit - static_cast<std::int64_t>(FText.size()), 0, count);
        FText.append(static_cast<const char*>(buffer), static_cast<size_t>(keep));
        FPosition += count;
        FSize = std::max(FSize, FPosition);
        return count;
    }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override
    {
        if (origin == TSeekOrigin::soBeginning)
            FPosition = offset;
        else if (origin == TSeekOrigin::soCurrent)
            FPosition += offset;
        else
            FPosition = FSize + offset;
        return FPosition;
    }
    std::int64_t Size() override { return FSize; }
    void SetSize(std::int64_t size) override { FSize = size; }
    const AnsiString& Text() const { return FText; }

private:
    AnsiString FText;
    std::int64_t FPosition = 0, FSize = 0;
};

const char* MethodWord(int method)
{
    switch (method) {
    case hmHead: return "HEAD ";
    case hmGet: return "GET ";
    case hmPost: return "POST ";
    case hmOptions: return "OPTIONS ";
    case hmTrace: return "TRACE ";
    case hmPut: return "PUT ";
    case hmConnect: return "CONNECT ";
    default: return "";
    }
}

// A size line may carry extensions after ";" (or a blank); anything else that
// is not hexadecimal means the body is corrupt.
std::int64_t ChunkSize(const AnsiString& line)
{
    AnsiString text = line;
    size_t cut = text.find_first_of("; \t");
    if (cut != AnsiString::npos)
        text.erase(cut);
    std::int64_t size;
    if (!net::TryHexToInt64(text, size) || size > std::numeric_limits<std::int32_t>::max())
        throw ENetInvalidChunkSize(Format(netmsg::InvalidChunkSize, line.c_str()));
    return size;
}

} // namespace

// --- TNetHTTPResponse ---------------------------------------------------------------

int TNetHTTPResponse::ResponseCode() const
{
    AnsiString s = ResponseText;
    size_t space = s.find(' ');
    if (space == AnsiString::npos)
        return -1;
    s = Trim(s.substr(space + 1));
    s = s.substr(0, s.find(' '));
    return net::StrToIntDef(s, -1);
}

TNetHTTPProtocolVersion TNetHTTPResponse::ResponseVersion() const
{
    AnsiString v = ResponseText.size() >= 8 ? ResponseText.substr(5, 3) : AnsiString();
    return SameText(v, "1.0") ? TNetHTTPProtocolVersion::pv1_0 : TNetHTTPProtocolVersion::pv1_1;
}

bool TNetHTTPResponse::KeepAlive()
{
    if (FHTTP.IOHandler() && FHTTP.Connected())
        FHTTP.IOHandler()->CheckForDisconnect(false, false);
    bool alive = FHTTP.Connected();
    if (!alive)
        return false;
    AnsiString connection = Trim(Connection), proxyConnection = Trim(ProxyConnection);
    if (FHTTP.ProtocolVersion == TNetHTTPProtocolVersion::pv1_0)
        return SameText(connection, "KEEP-ALIVE") || SameText(proxyConnection, "KEEP-ALIVE");
    return !(SameText(connection, "CLOSE") || SameText(proxyConnection, "CLOSE"));
}

// --- TNetHTTPProtocol ---------------------------------------------------------------

void TNetHTTPProtocol::BuildAndSendRequest(TNetURI& uri)
{
    Request.SetHeaders();
    // Inside a tunnel the request is the server's: the proxy's logon went on
    // the CONNECT, and a direct request has no proxy to log on to.
    if (Request.UseProxy == TNetHTTPConnectionType::ctProxy)
        FHTTP.FProxyParams.SetHeaders(Request.RawHeaders());
    if (FHTTP.FCookieManager) {
        bool secure = Request.UseProxy == TNetHTTPConnectionType::ctSSL || Request.UseProxy == TNetHTTPConnectionType::ctSSLProxy;
        AnsiString cookies = FHTTP.FCookieManager->GenerateCookieList(uri, secure);
        if (!cookies.empty())
            Request.RawHeaders().SetValues("Cookie", cookies);
    }
    AnsiString version = FHTTP.ProtocolVersion == TNetHTTPProtocolVersion::pv1_0 ? "1.0" : "1.1";
    SendHead(MethodWord(Request.Method) + Request.URL + " HTTP/" + version, Request.RawHeaders());
}

void TNetHTTPProtocol::SendHead(const AnsiString& requestLine, const TNetHeaderList& headers)
{
    TNetIOHandler& io = *FHTTP.IOHandler();
    // One send for the whole head: the server sees it in one piece.
    io.WriteBufferOpen();
    try {
        io.WriteLn(requestLine);
        for (int i = 0; i < headers.Count(); ++i) {
            AnsiString line = headers[i];
            if (!line.empty())
                io.WriteLn(line);
        }
        io.WriteLn();
        io.WriteBufferClose();
    } catch (...) {
        io.WriteBufferCancel();
        throw;
    }
}

void TNetHTTPProtocol::RetrieveHeaders(int maxHeaderLines)
{
    TNetHeaderList& headers = Response.RawHeaders();
    headers.Clear();
    try {
        AnsiString line = FHTTP.IOHandler()->ReadLn();
        while (!line.empty()) {
            if (maxHeaderLines > 0 && headers.Count() >= maxHeaderLines) {
                // The rest of the answer cannot be trusted; the connection goes.
                FHTTP.Disconnect();
                throw ENetMaxHeaderLinesExceeded(Format(netmsg::MaxHeaderLinesExceeded, maxHeaderLines));
            }
            headers.Add(line);
            line = FHTTP.IOHandler()->ReadLn();
        }
    } catch (const ENetConnClosedGracefully&) {
        FHTTP.Disconnect();
    }
    Response.ProcessHeaders();

    // Every "Content-Length" line counts, and each may hold a list: the body
    // has one length only when all of them name the same decimal number.
    TStringList values;
    Response.RawHeaders().Extract("Content-Length", &values);
    FLengthState = values.Count() ? TLengthState::Valid : TLengthState::None;
    FLengthText.clear();
    std::int64_t length = -1;
    for (int i = 0; i < values.Count(); ++i) {
        FLengthText += (i ? ", " : "") + values[i];
        AnsiString list = values[i];
        bool any = false;
        while (!list.empty()) {
            AnsiString item = Trim(net::Fetch(list, ","));
            if (item.empty())
                continue; // empty list elements are allowed and mean nothing
            any = true;
            // One or more digits and no sign; the count must fit 32 bits.
            std::int64_t value = 0;
            bool valid = true;
            for (size_t k = 0; valid && k < item.size(); ++k) {
                valid = item[k] >= '0' && item[k] <= '9';
                value = value * 10 + (item[k] - '0');
                valid = valid && value <= std::numeric_limits<std::int32_t>::max();
            }
            if (!valid)
                FLengthState = TLengthState::Malformed;
            else if (FLengthState == TLengthState::Valid && length >= 0 && value != length)
                FLengthState = TLengthState::Conflicting;
            length = value;
        }
        if (!any)
            FLengthState = TLengthState::Malformed;
    }
    Response.ContentLength = FLengthState == TLengthState::Valid ? static_cast<std::int32_t>(length) : -1;
}

void TNetHTTPProtocol::ReadChunkedBody(TStream& stream)
{
    TNetIOHandler& io = *FHTTP.IOHandler();
    FHTTP.DoStatus(TNetStatus::hsStatusText, netmsg::ChunkStarted);
    std::int64_t size = ChunkSize(io.ReadLn());
    while (size > 0) {
        io.ReadStream(stream, size, false);
        // Anything but the line end here means the sizes and the data disagree.
        if (!io.ReadLn().empty())
            throw ENetInvalidChunkEnd(netmsg::InvalidChunkEnd);
        size = ChunkSize(io.ReadLn());
    }
    // Trailer fields, if any, end with an empty line.
    for (int lines = 0; !io.ReadLn().empty();)
        if (++lines > TNetCustomHTTP::MaxTrailerLines)
            throw ENetMaxHeaderLinesExceeded(Format(netmsg::MaxTrailerLinesExceeded, TNetCustomHTTP::MaxTrailerLines));
}

void TNetHTTPProtocol::ReadBody(TStream& stream)
{
    TNetIOHandler& io = *FHTTP.IOHandler();
    if (net::ContainsText(Response.RawHeaders().Values("Transfer-Encoding"), "chunked")) {
        // The chunks frame the body; a length beside them is ignored, but such
        // an answer is odd enough not to reuse its connection.
        ReadChunkedBody(stream);
        if (FLengthState != TLengthState::None)
            FHTTP.DisconnectQuietly();
    } else if (FLengthState == TLengthState::Malformed) {
        throw ENetInvalidContentLength(Format(netmsg::InvalidContentLength, FLengthText.c_str()));
    } else if (FLengthState == TLengthState::Conflicting) {
        throw ENetInvalidContentLength(Format(netmsg::ConflictingContentLength, FLengthText.c_str()));
    } else if (Response.ContentLength > 0) {
        // A close before the announced length is a failed download, not a short one.
        io.ReadStream(stream, Response.ContentLength, false);
    } else if (FLengthState == TLengthState::None) {
        io.ReadStream(stream, -1, true);
    }
}

void TNetHTTPProtocol::ReadResult()
{
    TStream* stream = Response.ContentStream;
    if (!stream)
        return;
    // These answers have no body, whatever their headers announce.
    int code = Response.ResponseCode();
    if (Request.Method == hmHead || code / 100 == 1 || code == 204 || code == 304)
        return;
    std::int64_t start = stream->Position();
    try {
        ReadBody(*stream);
    } catch (...) {
        // Where this body ends is unknown now: the connection cannot be reused.
        FHTTP.DisconnectQuietly();
        throw;
    }
    if (FHTTP.Compressor) {
        AnsiString encoding = Response.ContentEncoding;
        if (SameText(encoding, "deflate") || SameText(encoding, "gzip")) {
            stream->SetPosition(start);
            if (SameText(encoding, "deflate"))
                FHTTP.Compressor->DecompressDeflateStream(*stream);
            else
                FHTTP.Compressor->DecompressGZipStream(*stream);
        }
    }
}

void TNetHTTPProtocol::RaiseException(const std::set<int>& ignoreReplies)
{
    TErrorBodyStream body;
    TStream* caller = Response.ContentStream;
    Response.ContentStream = &body;
    try {
        ReadResult();
    } catch (const ENetConnClosedGracefully&) {
        // A cut-off error page still tells what went wrong.
    } catch (...) {
        Response.ContentStream = caller;
        throw;
    }
    Response.ContentStream = caller;
    int code = Response.ResponseCode();
    if (ignoreReplies.count(code))
        return;
    throw ENetHTTPProtocolException(code, Response.ResponseText, body.Text());
}

void TNetHTTPProtocol::DiscardBody()
{
    if (!FHTTP.Connected())
        return;
    auto* stack = dynamic_cast<TNetIOHandlerStack*>(FHTTP.IOHandler());
    int saved = stack ? stack->ReadTimeout : 0;
    if (stack)
        stack->ReadTimeout = 4000;
    TErrorBodyStream discard;
    TStream* caller = Response.ContentStream;
    Response.ContentStream = &discard;
    try {
        ReadResult();
    } catch (const Exception&) {
        // The body of an answer we move past is of no interest.
    }
    Response.ContentStream = caller;
    if (stack)
        stack->ReadTimeout = saved;
}

TNetHTTPWhatsNext TNetHTTPProtocol::ProcessResponse(const std::set<int>& ignoreReplies)
{
    int code = Response.ResponseCode();
    int d = code / 100;
    if ((d == 3 && code != 304) || !Response.Location.empty()) {
        AnsiString location = Response.Location;
        int method = Request.Method;
        if (FHTTP.HandleRedirects && FHTTP.FRedirectCount < FHTTP.RedirectMaximum) {
            if (!FHTTP.DoOnRedirect(location, method, FHTTP.FRedirectCount)) {
                RaiseException(ignoreReplies);
                return TNetHTTPWhatsNext::wnJustExit;
            }
            DiscardBody();
            Request.URL = location;
            if (code == 302 || code == 303) {
                Request.Method = hmGet;
                Request.Source = nullptr;
            } else {
                Request.Method = method;
            }
            return TNetHTTPWhatsNext::wnGoToURL;
        }
        if (!FHTTP.DoOnRedirect(location, method, FHTTP.FRedirectCount)) {
            RaiseException(ignoreReplies);
            return TNetHTTPWhatsNext::wnJustExit;
        }
        DiscardBody();
        Response.Location = location;
        return TNetHTTPWhatsNext::wnJustExit;
    }
    bool inProcess = false;
    if (d != 2) {
        if (code == 401) {
            if (FHTTP.AuthRetries >= FHTTP.MaxAuthRetries || !FHTTP.DoOnAuthorization()) {
                if (Request.Authentication)
                    Request.Authentication->Reset();
                RaiseException(ignoreReplies);
                return TNetHTTPWhatsNext::wnJustExit;
            }
        } else if (code == 407) {
            // Only the proxy we talk to in the clear may ask for its logon: a
            // 407 from inside a tunnel, or with no proxy, is the server's.
            if (Request.UseProxy != TNetHTTPConnectionType::ctProxy || !FHTTP.DoOnProxyAuthorization()) {
                FHTTP.FProxyParams.Authentication.reset();
                RaiseException(ignoreReplies);
                return TNetHTTPWhatsNext::wnJustExit;
            }
            // The 407's body is nobody's content: the request goes again, on
            // this connection while it stays open.
            DiscardBody();
            FHTTP.FKeepConnection = true;
            return TNetHTTPWhatsNext::wnAuthRequest;
        } else {
            RaiseException(ignoreReplies);
            return TNetHTTPWhatsNext::wnJustExit;
        }
        inProcess = (FHTTP.HTTPOptions & hoAuthInProcess) != 0;
    }
    if (inProcess) {
        DiscardBody();
        return TNetHTTPWhatsNext::wnAuthRequest;
    }
    if (code != 204)
        ReadResult();
    return TNetHTTPWhatsNext::wnJustExit;
}
