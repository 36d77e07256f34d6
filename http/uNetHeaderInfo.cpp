#include "uNetHeaderInfo.h"

#include "platform/uSspi.h"

#include "uNetGlobal.h"
#include "runtime/uSysUtils.h"

#include <cstdio>

// --- TNetEntityHeaderInfo ----------------------------------------------------------

TNetEntityHeaderInfo::TNetEntityHeaderInfo() { TNetEntityHeaderInfo::Clear(); }

void TNetEntityHeaderInfo::Assign(const TPersistent& source)
{
    const auto* other = dynamic_cast<const TNetEntityHeaderInfo*>(&source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    FRawHeaders.Assign(other->FRawHeaders);
    FCustomHeaders.Assign(other->FCustomHeaders);
    CacheControl = other->CacheControl;
    Connection = other->Connection;
    ContentEncoding = other->ContentEncoding;
    ContentLanguage = other->ContentLanguage;
    ContentType = other->ContentType;
    ContentVersion = other->ContentVersion;
    Pragma = other->Pragma;
    ContentLength = other->ContentLength;
    ContentRangeStart = other->ContentRangeStart;
    ContentRangeEnd = other->ContentRangeEnd;
    ContentRangeInstanceLength = other->ContentRangeInstanceLength;
    Date = other->Date;
    Expires = other->Expires;
    LastModified = other->LastModified;
}

void TNetEntityHeaderInfo::Clear()
{
    Connection.clear();
    ContentVersion.clear();
    ContentEncoding.clear();
    ContentLanguage.clear();
    ContentType.clear();
    ContentLength = -1;
    ContentRangeStart = ContentRangeEnd = ContentRangeInstanceLength = 0;
    Date = Expires = LastModified = 0;
    FRawHeaders.Clear();
}

void TNetEntityHeaderInfo::SetIfNotEmpty(const char* name, const AnsiString& value)
{
    if (!value.empty())
        FRawHeaders.SetValues(name, value);
}

void TNetEntityHeaderInfo::SetHeaders()
{
    FRawHeaders.Clear();
    SetIfNotEmpty("Connection", Connection);
    SetIfNotEmpty("Content-Version", ContentVersion);
    SetIfNotEmpty("Content-Encoding", ContentEncoding);
    SetIfNotEmpty("Content-Language", ContentLanguage);
    SetIfNotEmpty("Content-Type", ContentType);
    if (ContentLength >= 0)
        FRawHeaders.SetValues("Content-Length", IntToStr(ContentLength));
    if (ContentRangeEnd != 0 || ContentRangeInstanceLength != 0) {
        AnsiString range = ContentRangeEnd != 0 ? Format("%u-%u", ContentRangeStart, ContentRangeEnd) : AnsiString("*");
        AnsiString length = ContentRangeInstanceLength != 0 ? IntToStr(ContentRangeInstanceLength) : AnsiString("*");
        FRawHeaders.SetValues("Content-Range", "bytes " + range + "/" + length);
    }
    SetIfNotEmpty("Cache-control", CacheControl);
    if (Date > 0)
        FRawHeaders.SetValues("Date", DateTimeToHttpStr(Date));
    if (Expires > 0)
        FRawHeaders.SetValues("Expires", DateTimeToHttpStr(Expires));
    SetIfNotEmpty("Pragma", Pragma);
    FRawHeaders.AddStrings(FCustomHeaders);
}

namespace {
std::uint32_t RangeNumber(const AnsiString& text)
{
    std::int64_t v;
    return TryStrToInt64(Trim(text), v) && v >= 0 && v <= 0xFFFFFFFFll ? static_cast<std::uint32_t>(v) : 0;
}

TDateTime DateOf(const AnsiString& text)
{
    TDateTime value = 0;
    return HttpStrToLocalDateTime(text, value) ? value : 0;
}
} // namespace

void TNetEntityHeaderInfo::ProcessHeaders()
{
    Connection = FRawHeaders.Values("Connection");
    ContentVersion = FRawHeaders.Values("Content-Version");
    ContentEncoding = FRawHeaders.Values("Content-Encoding");
    ContentLanguage = FRawHeaders.Values("Content-Language");
    ContentType = FRawHeaders.Values("Content-Type");
    // Counts are 32-bit: a larger or malformed length counts as none.
    ContentLength = net::StrToIntDef(Trim(FRawHeaders.Values("Content-Length")), -1);
    if (ContentLength < 0)
        ContentLength = -1;
    AnsiString range = FRawHeaders.Values("Content-Range");
    ContentRangeStart = ContentRangeEnd = ContentRangeInstanceLength = 0;
    if (!range.empty()) {
        net::Fetch(range, " ");
        AnsiString start = net::Fetch(range, "-");
        AnsiString end = net::Fetch(range, "/");
        ContentRangeStart = RangeNumber(start);
        ContentRangeEnd = RangeNumber(end);
        ContentRangeInstanceLength = RangeNumber(range);
    }
    Date = DateOf(FRawHeaders.Values("Date"));
    LastModified = DateOf(FRawHeaders.Values("Last-Modified"));
    AnsiString expires = FRawHeaders.Values("Expires");
    int seconds;
    Expires = TryStrToInt(Trim(expires), seconds) ? NetNow() + seconds / 86400.0 : DateOf(expires);
    Pragma = FRawHeaders.Values("Pragma");
    CacheControl = FRawHeaders.Values("Cache-control");
}

// --- TNetRequestHeaderInfo ---------------------------------------------------------------

void TNetRequestHeaderInfo::Assign(const TPersistent& source)
{
    TNetEntityHeaderInfo::Assign(source);
    if (const auto* other = dynamic_cast<const TNetRequestHeaderInfo*>(&source)) {
        Accept = other->Accept;
        AcceptCharSet = other->AcceptCharSet;
        AcceptEncoding = other->AcceptEncoding;
        AcceptLanguage = other->AcceptLanguage;
        Host = other->Host;
        From = other->From;
        Password = other->Password;
        Referer = other->Referer;
        UserAgent = other->UserAgent;
        Username = other->Username;
        ProxyConnection = other->ProxyConnection;
        BasicAuthentication = other->BasicAuthentication;
    }
}

void TNetRequestHeaderInfo::Clear()
{
    TNetEntityHeaderInfo::Clear();
    Accept = DefaultAccept;
    UserAgent = DefaultUserAgent;
    BasicAuthentication = false;
}

void TNetRequestHeaderInfo::SetHeaders()
{
    TNetEntityHeaderInfo::SetHeaders();
    SetIfNotEmpty("Proxy-Connection", ProxyConnection);
    SetIfNotEmpty("Host", Host);
    SetIfNotEmpty("Accept", Accept);
    SetIfNotEmpty("Accept-Charset", AcceptCharSet);
    SetIfNotEmpty("Accept-Encoding", AcceptEncoding);
    SetIfNotEmpty("Accept-Language", AcceptLanguage);
    SetIfNotEmpty("From", From);
    SetIfNotEmpty("Referer", Referer);
    SetIfNotEmpty("User-Agent", UserAgent);
    if (LastModified > 0)
        FRawHeaders.SetValues("If-Modified-Since", DateTimeToHttpStr(LastModified));
    if (!Authentication && BasicAuthentication) {
        Authentication = std::make_unique<TNetBasicAuthentication>();
        Authentication->Username = Username;
        Authentication->Password = Password;
    }
    if (Authentication)
        SetIfNotEmpty("Authorization", Authentication->Authentication());
}

// --- TNetResponseHeaderInfo -------------------------------------------------------------

void TNetResponseHeaderInfo::Clear()
{
    TNetEntityHeaderInfo::Clear();
    ContentType = "text/html";
    Location.clear();
    Server.clear();
    ProxyConnection.clear();
    WWWAuthenticate.Clear();
    ProxyAuthenticate.Clear();
}

void TNetResponseHeaderInfo::ProcessHeaders()
{
    TNetEntityHeaderInfo::ProcessHeaders();
    Location = FRawHeaders.Values("Location");
    Server = FRawHeaders.Values("Server");
    ProxyConnection = FRawHeaders.Values("Proxy-Connection");
    WWWAuthenticate.Clear();
    FRawHeaders.Extract("WWW-Authenticate", &WWWAuthenticate);
    ProxyAuthenticate.Clear();
    FRawHeaders.Extract("Proxy-Authenticate", &ProxyAuthenticate);
}

// --- TNetProxyConnectionInfo -------------------------------------------------------------

void TNetProxyConnectionInfo::Assign(const TPersistent& source)
{
    const auto* other = dynamic_cast<const TNetProxyConnectionInfo*>(&source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    SetProxyServer(other->FProxyServer);
    SetProxyPort(other->FProxyPort);
    ProxyUsername = other->ProxyUsername;
    ProxyPassword = other->ProxyPassword;
    BasicAuthentication = other->BasicAuthentication;
}

void TNetProxyConnectionInfo::Clear()
{
    FProxyServer.clear();
    FProxyPort = 0;
    ProxyUsername.clear();
    ProxyPassword.clear();
    BasicAuthentication = false;
    Authentication.reset();
}

void TNetProxyConnectionInfo::SetProxyServer(const AnsiString& server)
{
    if (!SameText(server, FProxyServer))
        Authentication.reset();
    FProxyServer = server;
}

void TNetProxyConnectionInfo::SetProxyPort(int port)
{
    if (port != FProxyPort)
        Authentication.reset();
    FProxyPort = port;
}

void TNetProxyConnectionInfo::SetHeaders(TNetHeaderList& headers)
{
    if (!Authentication && BasicAuthentication) {
        Authentication = std::make_unique<TNetBasicAuthentication>();
        Authentication->Username = ProxyUsername;
        Authentication->Password = ProxyPassword;
    }
    if (Authentication) {
        AnsiString value = Authentication->Authentication();
        if (!value.empty()) {
            // A logon token is one word however long: folded, proxies would
            // not put it together again.
            const bool fold = headers.FoldLines;
            headers.FoldLines = false;
            headers.SetValues("Proxy-Authorization", value);
            headers.FoldLines = fold;
        }
        platform::WipeText(value);
    }
}
