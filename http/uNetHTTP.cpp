#include "uNetHTTP.h"

#include "uNetGlobal.h"
#include "uNetTlsIOHandler.h"
#include "platform/uSspi.h"
#include "runtime/uStreams.h"
#include "runtime/uSysUtils.h"

#include <algorithm>
#include <limits>

namespace {

bool IsHttps(const AnsiString& protocol) { return SameText(protocol, "https"); }

} // namespace

void TNetCustomHTTP::DisconnectQuietly()
{
    // A failure to close must not hide the error that made us close.
    try {
        Disconnect();
    } catch (...) {
    }
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
    FOwnedCookieManager.reset();
    FCookieManager = manager;
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
    // Every request goes out on a fresh connection, except the next message
    // of a proxy's logon: that one belongs on the connection it answers.
    if (!FKeepConnection)
        Disconnect();
    FKeepConnection = false;
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
        auto made = std::make_unique<TNetIOHandlerTls>(nullptr);
        made->OnStatus = OnStatus;
        tls = made.get();
        SetIOHandler(std::move(made));
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
    TNetHTTPResponse& response = Response();
    for (;;) {
        TNetHeaderList head;
        head.Add("Host: " + target);
        if (!Request().UserAgent.empty())
            head.Add("User-Agent: " + Request().UserAgent);
        head.Add("Proxy-Connection: keep-alive");
        head.Add("Pragma: no-cache");
        // The proxy's logon goes on the CONNECT alone, never inside the tunnel.
        FProxyParams.SetHeaders(head);
        FHTTPProto->SendHead("CONNECT " + target + " HTTP/1.1", head);
        TNetIOHandler& io = *IOHandler();
        // The proxy's answer is read as any response: a refusal raises with its
        // status line and body like any HTTP error.
        response.Clear();
        response.ResponseText = io.ReadLn();
        FHTTPProto->RetrieveHeaders(MaxHeaderLines);
        if (response.ResponseCode() / 100 == 2)
            break;
        if (response.ResponseCode() != 407 || !DoOnProxyAuthorization()) {
            FProxyParams.Authentication.reset();
            FHTTPProto->RaiseException({});
        }
        FHTTPProto->DiscardBody();
        // A proxy that closed after its challenge gets the next message on a
        // new connection; the tunnel is still to be asked for.
        PrepareConnection();
    }
    TNetIOHandler& io = *IOHandler();
    // Whatever follows the answer before the handshake did not come through
    // TLS: handed up, it would pass for the server's own reply.
    if (io.HasInputBuffer() && io.InputBuffer().Size() > 0) {
        DisconnectQuietly();
        throw ENetTunnelNotClean(Format(netmsg::TunnelNotClean, target.c_str()));
    }
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
            DisconnectQuietly();
            throw ENetMaxInterimResponsesExceeded(Format(netmsg::MaxInterimResponsesExceeded, MaxInterimResponses));
        }
    }
}

void TNetCustomHTTP::ProcessCookies()
{
    if (!FCookieManager && AllowCookies) {
        FOwnedCookieManager = std::make_unique<TNetCookieManager>(nullptr);
        FCookieManager = FOwnedCookieManager.get();
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
    const std::vector<TNetChallenge> challenges = ParseChallenges(Response().ProxyAuthenticate);
    std::unique_ptr<TNetAuthentication>& current = FProxyParams.Authentication;
    // The proxy's challenge to the first message of a logon: the next
    // message goes back on this connection, and nothing was refused yet.
    if (current && current->InHandshake()) {
        const TNetChallenge* challenge = FindChallenge(challenges, current->Scheme());
        if (challenge && !challenge->Token.empty() && Response().KeepAlive() && current->Continue(challenge->Token))
            return true;
    }
    const AnsiString proxy = FProxyParams.ProxyServer() + ":" + IntToStr(FProxyParams.ProxyPort());
    if (current) {
        // What we sent was refused. The logged-on user's own credentials are
        // the system's guess: only refusals of given ones count to the limit.
        const bool guessed = current->UsesDefaultCredentials();
        current.reset();
        if (guessed)
            FDefaultLogonRefused = proxy;
        else if (++AuthProxyRetries >= MaxAuthRetries)
            return false;
    }
    platform::WipeText(FProxyParams.ProxyPassword);
    const TNetChallenge* negotiate = FindChallenge(challenges, "Negotiate");
    const TNetChallenge* ntlm = FindChallenge(challenges, "NTLM");
    const TNetChallenge* basic = FindChallenge(challenges, "Basic");
    // The logged-on user's own credentials first, once per proxy: a proxy
    // that refused them once will not take them on the next request either.
    if (!SameText(FDefaultLogonRefused, proxy)) {
        for (const TNetChallenge* challenge : {negotiate, ntlm}) {
            if (!challenge)
                continue;
            auto logon = std::make_unique<TNetSspiAuthentication>(challenge->Scheme, FProxyParams.ProxyServer(), true);
            if (logon->Start()) {
                current = std::move(logon);
                return true;
            }
        }
        FDefaultLogonRefused = proxy;
    }
    if (!OnProxyAuthorization || !(negotiate || ntlm || basic))
        return false;
    // Typed credentials: NTLM where the proxy speaks it (Negotiate would
    // only wrap it), Basic where that is all it offers.
    std::unique_ptr<TNetAuthentication> typed;
    if (ntlm || negotiate)
        typed = std::make_unique<TNetSspiAuthentication>(ntlm ? ntlm->Scheme : negotiate->Scheme,
                                                         FProxyParams.ProxyServer(), false);
    else
        typed = std::make_unique<TNetBasicAuthentication>();
    if (basic)
        typed->Realm = basic->Param("realm");
    bool handled = false;
    OnProxyAuthorization(this, typed.get(), handled);
    if (!handled || typed->Username.empty())
        return false;
    if (!typed->Start()) {
        // The system cannot log on with them (no NTLM package): Basic, if
        // the proxy takes it, with the same credentials.
        if (!basic)
            return false;
        auto plain = std::make_unique<TNetBasicAuthentication>();
        plain->Username = typed->Username;
        plain->Password = typed->Password;
        plain->Realm = typed->Realm;
        typed = std::move(plain);
    }
    current = std::move(typed);
    return true;
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
    // A proxy's logon serves this request only: the credentials go with it.
    struct TProxyLogonScope {
        TNetCustomHTTP& Http;
        ~TProxyLogonScope()
        {
            Http.FProxyParams.Authentication.reset();
            Http.FKeepConnection = false;
        }
    } proxyLogon{*this};
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
                // A logon belongs to its connection; the new one starts afresh.
                if (FProxyParams.Authentication && FProxyParams.Authentication->KeepAlive())
                    FProxyParams.Authentication.reset();
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
        DisconnectQuietly();
        throw;
    } catch (...) {
        FRedirectCount = 0;
        DisconnectQuietly();
        throw;
    }
    FRedirectCount = 0;
    finish();
}
