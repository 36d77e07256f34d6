#pragma once
// The HTTP/1.1 client: one request per call on a fresh connection, directly
// or through an HTTP proxy, with redirects, authentication answers, cookies
// and a body read by count, in chunks or until the server closes.
#include "uNetCookie.h"
#include "uNetHeaderInfo.h"
#include "uNetTCPClient.h"

#include <set>

class TStream;

enum class TNetHTTPProtocolVersion { pv1_0, pv1_1 };

// The time-outs of every download the wizard (and fetch.exe) makes: a server
// that does not accept the connection, or sends no byte for this long, ends
// the download with an error instead of leaving the user waiting for ever.
inline constexpr int DownloadConnectTimeoutMs = 15000;
inline constexpr int DownloadReadTimeoutMs = 30000;
// A download that receives fewer bytes than this in this time has stalled
// (a trickle that beats the read time-out byte by byte) and is tried again.
inline constexpr int DownloadLowSpeedBytes = 1024;
inline constexpr int DownloadLowSpeedTimeMs = 30000;

// Request methods; 6 has no request line of its own.
enum TNetHTTPMethod : int { hmHead = 0, hmGet = 1, hmPost = 2, hmOptions = 3, hmTrace = 4, hmPut = 5, hmConnect = 7 };

enum class TNetHTTPConnectionType { ctNormal = 0, ctSSL = 1, ctProxy = 2, ctSSLProxy = 3 };

enum class TNetHTTPWhatsNext { wnGoToURL, wnJustExit, wnAuthRequest };

enum TNetHTTPOption : unsigned { hoAuthInProcess = 1, hoKeepProtocol = 2, hoEncodeParams = 4 };
using TNetHTTPOptions = unsigned;

class TNetCustomHTTP;

// Decompresses a body in place (none is attached by this program).
class TNetZLibCompressorBase : public TComponent {
    RT_CLASS(TNetZLibCompressorBase, TComponent)
public:
    using TComponent::TComponent;
    virtual void DecompressDeflateStream(TStream& stream) = 0;
    virtual void DecompressGZipStream(TStream& stream) = 0;
};

class TNetHTTPRequest : public TNetRequestHeaderInfo {
    RT_CLASS(TNetHTTPRequest, TNetRequestHeaderInfo)
public:
    AnsiString URL;
    int Method = hmGet;
    TStream* Source = nullptr;
    TNetHTTPConnectionType UseProxy = TNetHTTPConnectionType::ctNormal;
};

class TNetHTTPResponse : public TNetResponseHeaderInfo {
    RT_CLASS(TNetHTTPResponse, TNetResponseHeaderInfo)
public:
    explicit TNetHTTPResponse(TNetCustomHTTP& http) : FHTTP(http) {}

    // The number in the status line, -1 when there is none.
    int ResponseCode() const;
    TNetHTTPProtocolVersion ResponseVersion() const;
    // Asked anew each time: is the connection open and meant to stay so?
    bool KeepAlive();

    AnsiString ResponseText;
    TStream* ContentStream = nullptr; // the caller's, not owned

private:
    TNetCustomHTTP& FHTTP;
};

class TNetHTTPProtocol : public TObject {
    RT_CLASS(TNetHTTPProtocol, TObject)
public:
    explicit TNetHTTPProtocol(TNetCustomHTTP& http) : Response(http), FHTTP(http) {}

    void BuildAndSendRequest(TNetURI& uri);
    // A request line and its header lines (empty ones left out), sent in one piece.
    void SendHead(const AnsiString& requestLine, const TNetHeaderList& headers);
    void RetrieveHeaders(int maxHeaderLines);
    TNetHTTPWhatsNext ProcessResponse(const std::set<int>& ignoreReplies);

    TNetHTTPRequest Request;
    TNetHTTPResponse Response;

private:
    friend class TNetCustomHTTP;
    // What the "Content-Length" lines of the response say.
    enum class TLengthState { None, Valid, Conflicting, Malformed };

    void ReadResult();
    void ReadBody(TStream& stream);
    void ReadChunkedBody(TStream& stream);
    // Reads the body into a text and raises, unless the code is ignored.
    void RaiseException(const std::set<int>& ignoreReplies);
    void DiscardBody();

    TNetCustomHTTP& FHTTP;
    TLengthState FLengthState = TLengthState::None;
    AnsiString FLengthText; // the values as received, for the error message
};

using TNetRedirectEvent = std::function<void(TObject* Sender, AnsiString& dest, int& NumRedirect, bool& Handled, int& VMethod)>;
using TNetSelectAuthorizationEvent =
    std::function<void(TObject* Sender, TNetAuthenticationClass& AuthenticationClass, const TStringList& AuthInfo)>;
using TNetAuthorizationEvent = std::function<void(TObject* Sender, TNetAuthentication* Authentication, bool& Handled)>;

class TNetCustomHTTP : public TNetTCPClientCustom {
    RT_CLASS(TNetCustomHTTP, TNetTCPClientCustom)
public:
    static constexpr int DefaultMaxHeaderLines = 255;
    // Interim (1xx) answers skipped before the final one.
    static constexpr int MaxInterimResponses = 16;
    // Trailer lines after the last chunk of a chunked body.
    static constexpr int MaxTrailerLines = 255;

    explicit TNetCustomHTTP(TComponent* owner);
    ~TNetCustomHTTP() override;

    void Get(const AnsiString& url, TStream* stream);
    void Get(const AnsiString& url, TStream* stream, const std::set<int>& ignoreReplies);
    AnsiString Get(const AnsiString& url);
    void Head(const AnsiString& url);
    void Post(const AnsiString& url, TStream* source, TStream* response);
    void Put(const AnsiString& url, TStream* source, TStream* response);
    void Options(const AnsiString& url);
    void Trace(const AnsiString& url, TStream* response);

    int ResponseCode() const { return FHTTPProto->Response.ResponseCode(); }
    AnsiString ResponseText() const { return FHTTPProto->Response.ResponseText; }
    TNetHTTPRequest& Request() { return FHTTPProto->Request; }
    TNetHTTPResponse& Response() { return FHTTPProto->Response; }
    TNetProxyConnectionInfo& ProxyParams() { return FProxyParams; }
    const TNetURI& URL() const { return FURI; }

    TNetCookieManager* CookieManager() const { return FCookieManager; }
    void SetCookieManager(TNetCookieManager* manager);
    TNetZLibCompressorBase* Compressor = nullptr;

    int AuthRetries = 0;
    int AuthProxyRetries = 0;
    int MaxAuthRetries = 3;
    bool AllowCookies = true;
    bool HandleRedirects = false;
    TNetHTTPProtocolVersion ProtocolVersion = TNetHTTPProtocolVersion::pv1_1;
    int RedirectMaximum = 15;
    int MaxHeaderLines = DefaultMaxHeaderLines;
    TNetHTTPOptions HTTPOptions = hoEncodeParams;
    int RedirectCount() const { return FRedirectCount; }
    // Drops the connection; a failure to close is swallowed, so that the
    // error that made us drop it is the one reported.
    void DisconnectQuietly();

    TNetRedirectEvent OnRedirect;
    TNetSelectAuthorizationEvent OnSelectAuthorization, OnSelectProxyAuthorization;
    TNetAuthorizationEvent OnAuthorization, OnProxyAuthorization;

protected:
    friend class TNetHTTPProtocol;
    friend class TNetHTTPResponse;

    void DoRequest(int method, const AnsiString& url, TStream* source, TStream* response, const std::set<int>& ignoreReplies);
    void PrepareRequest(TNetHTTPRequest& request);
    TNetHTTPConnectionType SetHostAndPort();
    void ConnectToHost(TNetHTTPRequest& request, TNetHTTPResponse& response);
    void PrepareConnection();
    // CONNECT through the proxy, then TLS inside the tunnel.
    void OpenTunnel();
    void NoteUncheckedRevocation(Exception& e);
    void ReadStatusAndHeaders();
    void ProcessCookies();
    bool DoOnRedirect(AnsiString& location, int& method, int redirectCount);
    bool DoOnAuthorization();
    // Answers a 407: the next message of a logon under way, or a new logon
    // (the logged-on user's credentials first, then OnProxyAuthorization's);
    // false when there is nothing more to try or the third refusal came.
    bool DoOnProxyAuthorization();
    void DoOnDisconnected() override;

    TNetURI FURI;
    std::unique_ptr<TNetHTTPProtocol> FHTTPProto;
    TNetProxyConnectionInfo FProxyParams;
    // The proxy ("host:port") that refused the logged-on user's own
    // credentials: typed ones are asked for at once from then on.
    AnsiString FDefaultLogonRefused;
    // The next request goes on the open connection (a proxy logon's next message).
    bool FKeepConnection = false;
    TNetCookieManager* FCookieManager = nullptr;
    std::unique_ptr<TNetCookieManager> FOwnedCookieManager; // the one made here, when it is
    int FRedirectCount = 0;
};

// The component as the wizard's form carries it.
class TNetHTTP : public TNetCustomHTTP {
    RT_PUBLISHED(TNetHTTP, TNetCustomHTTP, ObjProp<&TNetHTTP::RequestObject>("Request"),
                 ObjProp<&TNetHTTP::ProxyParamsObject>("ProxyParams"), OtherProp("AllowCookies"),
                 OtherProp("HandleRedirects"), OtherProp("ProtocolVersion"), OtherProp("RedirectMaximum"),
                 OtherProp("HTTPOptions"), OtherProp("AuthRetries"), OtherProp("AuthProxyRetries"),
                 OtherProp("MaxAuthRetries"), OtherProp("OnWork"), OtherProp("OnWorkBegin"), OtherProp("OnWorkEnd"))
public:
    using TNetCustomHTTP::TNetCustomHTTP;

    TNetHTTPRequest* RequestObject() const { return &FHTTPProto->Request; }
    TNetProxyConnectionInfo* ProxyParamsObject() const { return const_cast<TNetProxyConnectionInfo*>(&FProxyParams); }
};
