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

bool IsHttps(const AnsiString& protocol) { return SameText(protocol, "https"); }

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

// Drops the connection without letting a failure to close hide the error
// that made us close it.
void DropConnection(TNetCustomHTTP& http)
{
    try {
        http.Disconnect();
    } catch (...) {
    }
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
            DropConnection(FHTTP);
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
        DropConnection(FHTTP);
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
            if (FHTTP.AuthProxyRetries >= FHTTP.MaxAuthRetries || !FHTTP.DoOnProxyAuthorization()) {
                if (FHTTP.FProxyParams.Authentication)
                    FHTTP.FProxyParams.Authentication->Reset();
                RaiseException(ignoreReplies);
                return TNetHTTPWhatsNext::wnJustExit;
            }
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

// --- TNetCustomHTTP ------------------------------------------------------------------

TNetCustomHTTP::TNetCustomHTTP(TComponent* owner)
    : TNetTCPClientCustom(owner), FHTTPProto(std::make_unique<TNetHTTPProtocol>(*this))
{
}

TNetCustomHTTP::~TNetCustomHTTP()
{
    try {
        Disconnect(false);
    } catch (...) {
    }
    SetCookieManager(nullptr);
}

void TNetCustomHTTP::SetCookieManager(TNetCookieManager* manager)
{
    if (manager == FCookieManager)
        return;
    if (FFreeCookieManager)
        delete FCookieManager;
    FCookieManager = manager;
    FFreeCookieManager = false;
}

void TNetCustomHTTP::Get(const AnsiString& url, TStream* stream) { DoRequest(hmGet, url, nullptr, stream, {}); }

void TNetCustomHTTP::Get(const AnsiString& url, TStream* stream, const std::set<int>& ignoreReplies)
{
    DoRequest(hmGet, url, nullptr, stream, ignoreReplies);
}

AnsiString TNetCustomHTTP::Get(const AnsiString& url)
{
    TMemoryStream stream;
    Get(url, &stream);
    return stream.DataString();
}

void TNetCustomHTTP::Head(const AnsiString& url) { DoRequest(hmHead, url, nullptr, nullptr, {}); }
void TNetCustomHTTP::Post(const AnsiString& url, TStream* source, TStream* response) { DoRequest(hmPost, url, source, response, {}); }
void TNetCustomHTTP::Put(const AnsiString& url, TStream* source, TStream* response) { DoRequest(hmPut, url, source, response, {}); }
void TNetCustomHTTP::Options(const AnsiString& url) { DoRequest(hmOptions, url, nullptr, nullptr, {}); }
void TNetCustomHTTP::Trace(const AnsiString& url, TStream* response) { DoRequest(hmTrace, url, nullptr, response, {}); }

void TNetCustomHTTP::PrepareRequest(TNetHTTPRequest& request)
{
    TNetURI target(request.URL);
    if (!target.Username().empty()) {
        request.Username = target.Username();
        request.Password = target.Password();
    }
    FURI.SetUsername(request.Username);
    FURI.SetPassword(request.Password);
    FURI.SetPath(TNetURI::MergePaths(FURI.Path(), target.Path()));
    FURI.SetDocument(target.Document());
    FURI.SetParams(target.Params());
    if (!target.Host().empty())
        FURI.SetHost(target.Host());
    if (!target.Protocol().empty())
        FURI.SetProtocol(target.Protocol());
    else
        FURI.SetProtocol(IsHttps(FURI.Protocol()) ? "https" : "http");
    if (!target.Port().empty())
        FURI.SetPort(target.Port());
    else if (SameText(target.Protocol(), "http"))
        FURI.SetPort("80");
    else if (SameText(target.Protocol(), "https"))
        FURI.SetPort("443");
    else if (FURI.Port().empty())
        throw ENetUnknownProtocol("");
    request.URL = request.Method == hmOptions && FURI.Document() == "*" ? AnsiString("*") : FURI.PathAndQuery();
    FURI.SetIPVersion(target.IPVersion());
    if (ProtocolVersion == TNetHTTPProtocolVersion::pv1_0 &&
        (request.Method == hmOptions || request.Method == hmTrace || request.Method == hmPut || request.Method == 6))
        throw ENetException(netmsg::MethodRequiresVersion);
    request.ContentLength = (request.Method == hmPost || request.Method == hmPut) && request.Source
                                ? static_cast<std::int32_t>(std::min<std::int64_t>(request.Source->Size(), std::numeric_limits<std::int32_t>::max()))
                                : -1;
    request.Host = FURI.HostText();
}

TNetHTTPConnectionType TNetCustomHTTP::SetHostAndPort()
{
    bool https = IsHttps(FURI.Protocol());
    TNetHTTPConnectionType type;
    // Every request goes out on a fresh connection.
    Disconnect();
    if (!FProxyParams.ProxyServer().empty()) {
        Host = FProxyParams.ProxyServer();
        Port = FProxyParams.ProxyPort();
        type = https ? TNetHTTPConnectionType::ctSSLProxy : TNetHTTPConnectionType::ctProxy;
    } else {
        int port;
        if (!TryStrToInt(FURI.Port(), port))
            throw EConvertError(Format("'%s' is not a valid integer value", FURI.Port().c_str()));
        Host = FURI.Host();
        Port = port;
        type = https ? TNetHTTPConnectionType::ctSSL : TNetHTTPConnectionType::ctNormal;
    }
    IPVersion = FURI.IPVersion();
    auto* tls = dynamic_cast<TNetIOHandlerTls*>(IOHandler());
    if (https && !tls) {
        // A handler the caller gave us must be able to do TLS; one we made
        // ourselves is replaced by one that can.
        if (IOHandler() && !OwnsIOHandler())
            throw ENetIOHandlerPropInvalid(netmsg::IOHandlerPropInvalid);
        tls = new TNetIOHandlerTls(nullptr);
        SetIOHandler(tls, true);
        tls->OnStatus = OnStatus;
    }
    if (tls) {
        // Through a proxy TLS starts once the tunnel is open.
        tls->PassThrough = type != TNetHTTPConnectionType::ctSSL;
        tls->ServerName = FURI.Host();
        if (!TryStrToInt(FURI.Port(), tls->ServerPort))
            tls->ServerPort = 0;
    }
    return type;
}

void TNetCustomHTTP::PrepareConnection()
{
    if (!Response().KeepAlive())
        Disconnect();
    if (IOHandler())
        CheckForGracefulDisconnect(false);
    if (!Connected())
        Connect();
}

void TNetCustomHTTP::ConnectToHost(TNetHTTPRequest& request, TNetHTTPResponse& response)
{
    request.UseProxy = SetHostAndPort();
    if (request.UseProxy == TNetHTTPConnectionType::ctProxy)
        request.URL = FURI.GetURI();
    if (ProtocolVersion == TNetHTTPProtocolVersion::pv1_0) {
        if (request.UseProxy == TNetHTTPConnectionType::ctNormal && request.Connection.empty())
            request.Connection = "keep-alive";
        else if (request.UseProxy == TNetHTTPConnectionType::ctProxy && request.Connection.empty())
            request.ProxyConnection = "keep-alive";
    }
    if (request.UseProxy == TNetHTTPConnectionType::ctSSL || request.UseProxy == TNetHTTPConnectionType::ctSSLProxy)
        request.Connection.clear();
    auto appendEncoding = [&request](const char* encoding) {
        if (!request.AcceptEncoding.empty() && !net::EndsText(", ", request.AcceptEncoding))
            request.AcceptEncoding += ", ";
        request.AcceptEncoding += encoding;
    };
    if (Compressor && !net::ContainsText(request.AcceptEncoding, "deflate") && !net::ContainsText(request.AcceptEncoding, "gzip"))
        appendEncoding("deflate, gzip");
    if (!net::ContainsText(request.AcceptEncoding, "identity"))
        appendEncoding("identity");
    PrepareConnection();
    if (request.UseProxy == TNetHTTPConnectionType::ctSSLProxy)
        OpenTunnel();
    FHTTPProto->BuildAndSendRequest(FURI);
    if ((request.Method == hmPost || request.Method == hmPut) && request.Source)
        IOHandler()->Write(*request.Source, 0, false);
}

void TNetCustomHTTP::NoteUncheckedRevocation(Exception& e)
{
    // Accepting a certificate whose revocation is unknown is a choice the
    // user should hear about when the download goes wrong afterwards.
    auto* tls = dynamic_cast<TNetIOHandlerTls*>(IOHandler());
    if (tls && tls->RevocationUnchecked() && !e.Is<ENetTlsCertificateError>() &&
        !net::ContainsText(e.Message(), netmsg::TlsRevocationUnchecked))
        e.SetMessage(e.Message() + netmsg::TlsRevocationUnchecked);
}

void TNetCustomHTTP::OpenTunnel()
{
    auto* tls = dynamic_cast<TNetIOHandlerTls*>(IOHandler());
    if (!tls || tls->TlsActive())
        return;
    const AnsiString target = FURI.BracketedHost() + ":" + FURI.Port();
    TNetHeaderList head;
    head.Add("Host: " + target);
    if (!Request().UserAgent.empty())
        head.Add("User-Agent: " + Request().UserAgent);
    head.Add("Proxy-Connection: keep-alive");
    head.Add("Pragma: no-cache");
    FHTTPProto->SendHead("CONNECT " + target + " HTTP/1.1", head);
    TNetIOHandler& io = *IOHandler();
    // The proxy's answer is read as any response: a refusal raises with its
    // status line and body like any HTTP error.
    TNetHTTPResponse& response = Response();
    response.Clear();
    response.ResponseText = io.ReadLn();
    FHTTPProto->RetrieveHeaders(MaxHeaderLines);
    if (response.ResponseCode() / 100 != 2)
        FHTTPProto->RaiseException({});
    tls->StartTls();
}

void TNetCustomHTTP::ReadStatusAndHeaders()
{
    TNetHTTPResponse& response = Response();
    for (int interim = 0;;) {
        response.Clear();
        response.ResponseText = IOHandler()->ReadLn();
        FHTTPProto->RetrieveHeaders(MaxHeaderLines);
        ProcessCookies();
        // Interim answers come before the final one; a switch of protocols
        // was never asked for and is answered as an error.
        int code = response.ResponseCode();
        if (code / 100 != 1 || code == 101)
            break;
        if (++interim > MaxInterimResponses) {
            DropConnection(*this);
            throw ENetMaxInterimResponsesExceeded(Format(netmsg::MaxInterimResponsesExceeded, MaxInterimResponses));
        }
    }
}

void TNetCustomHTTP::ProcessCookies()
{
    if (!FCookieManager && AllowCookies) {
        FCookieManager = new TNetCookieManager(nullptr);
        FFreeCookieManager = true;
    }
    if (!FCookieManager)
        return;
    TStringList values;
    Response().RawHeaders().Extract("Set-cookie", &values);
    for (int i = 0; i < values.Count(); ++i)
        FCookieManager->AddCookie(values[i], FURI.Host());
    values.Clear();
    Response().RawHeaders().Extract("Set-cookie2", &values);
    for (int i = 0; i < values.Count(); ++i)
        FCookieManager->AddCookie2(values[i], FURI.Host());
}

bool TNetCustomHTTP::DoOnRedirect(AnsiString& location, int& method, int redirectCount)
{
    bool handled = HandleRedirects;
    if (OnRedirect)
        OnRedirect(this, location, redirectCount, handled, method);
    return handled;
}

bool TNetCustomHTTP::DoOnAuthorization()
{
    ++AuthRetries;
    TNetHTTPRequest& request = Request();
    if (!request.Authentication) {
        TNetAuthenticationClass cls = nullptr;
        const TStringList& challenges = Response().WWWAuthenticate;
        for (int i = 0; i < challenges.Count() && !cls; ++i) {
            AnsiString challenge = challenges[i];
            cls = FindAuthClass(net::Fetch(challenge, " "));
        }
        if (OnSelectAuthorization)
            OnSelectAuthorization(this, cls, challenges);
        if (!cls)
            return false;
        request.Authentication = cls();
    }
    if (!OnAuthorization && Trim(request.Password).empty())
        return false;
    TNetAuthentication& auth = *request.Authentication;
    auth.Username = request.Username;
    auth.Password = request.Password;
    for (;;) {
        switch (auth.Next()) {
        case TNetAuthWhatsNext::wnDoRequest:
            return true;
        case TNetAuthWhatsNext::wnFail:
            return false;
        case TNetAuthWhatsNext::wnAskTheProgram:
            break;
        }
        bool handled = false;
        if (OnAuthorization)
            OnAuthorization(this, &auth, handled);
        if (!handled || Trim(auth.Password).empty())
            return false;
        request.Username = auth.Username;
        request.Password = auth.Password;
    }
}

bool TNetCustomHTTP::DoOnProxyAuthorization()
{
    ++AuthProxyRetries;
    FProxyParams.Authentication.reset();
    FProxyParams.ProxyPassword.clear();
    TNetAuthenticationClass cls = nullptr;
    const TStringList& challenges = Response().ProxyAuthenticate;
    for (int i = 0; i < challenges.Count() && !cls; ++i) {
        AnsiString challenge = challenges[i];
        cls = FindAuthClass(net::Fetch(challenge, " "));
    }
    if (OnSelectProxyAuthorization)
        OnSelectProxyAuthorization(this, cls, challenges);
    if (!cls || !OnProxyAuthorization)
        return false;
    FProxyParams.Authentication = cls();
    TNetAuthentication& auth = *FProxyParams.Authentication;
    auth.Username = FProxyParams.ProxyUsername;
    auth.Password = FProxyParams.ProxyPassword;
    bool handled = false;
    OnProxyAuthorization(this, &auth, handled);
    if (handled) {
        FProxyParams.ProxyUsername = auth.Username;
        FProxyParams.ProxyPassword = auth.Password;
    }
    return handled;
}

void TNetCustomHTTP::DoOnDisconnected()
{
    TNetTCPClientCustom::DoOnDisconnected();
    // A scheme that has run all its steps is done with this connection.
    TNetHTTPRequest& request = Request();
    if (request.Authentication && request.Authentication->CurrentStep() >= request.Authentication->Steps())
        request.Authentication.reset();
    if (FProxyParams.Authentication && FProxyParams.Authentication->CurrentStep() >= FProxyParams.Authentication->Steps())
        FProxyParams.Authentication->Reset();
}

void TNetCustomHTTP::DoRequest(int method, const AnsiString& url, TStream* source, TStream* response,
                               const std::set<int>& ignoreReplies)
{
    std::int64_t start = response ? response->Position() : 0;
    AuthRetries = 0;
    AuthProxyRetries = 0;
    TNetHTTPRequest& request = Request();
    request.URL = url;
    request.Method = method;
    request.Source = source;
    Response().ContentStream = response;
    auto finish = [this] {
        if (!Response().KeepAlive())
            Disconnect();
    };
    try {
        for (bool done = false; !done;) {
            ++FRedirectCount;
            PrepareRequest(request);
            ConnectToHost(request, Response());
            ReadStatusAndHeaders();
            switch (FHTTPProto->ProcessResponse(ignoreReplies)) {
            case TNetHTTPWhatsNext::wnGoToURL:
                if (response) {
                    response->SetSize(start);
                    response->SetPosition(start);
                }
                AuthRetries = 0;
                AuthProxyRetries = 0;
                break;
            case TNetHTTPWhatsNext::wnAuthRequest:
                --FRedirectCount;
                request.URL = url;
                break;
            case TNetHTTPWhatsNext::wnJustExit:
                done = true;
                break;
            }
        }
    } catch (ENetHTTPProtocolException& e) {
        // The answer was read whole: the connection may still serve.
        NoteUncheckedRevocation(e);
        FRedirectCount = 0;
        try {
            finish();
        } catch (...) {
            // The first failure is the one to report.
        }
        throw;
    } catch (Exception& e) {
        // A time-out or a broken answer leaves the connection in no known state.
        NoteUncheckedRevocation(e);
        FRedirectCount = 0;
        DropConnection(*this);
        throw;
    } catch (...) {
        FRedirectCount = 0;
        DropConnection(*this);
        throw;
    }
    FRedirectCount = 0;
    finish();
}
