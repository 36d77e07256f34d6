#pragma once
// Typed header fields of requests, responses and the proxy settings:
// SetHeaders writes them into RawHeaders, ProcessHeaders reads them back.
#include "uNetAuthentication.h"
#include "uNetDateTime.h"
#include "uNetHeaderList.h"

#include <cstdint>
#include <memory>

class TNetEntityHeaderInfo : public TPersistent {
    RT_CLASS(TNetEntityHeaderInfo, TPersistent)
public:
    static constexpr int HeaderFoldLength = 1024;

    TNetEntityHeaderInfo();
    void Assign(const TPersistent& source) override;
    virtual void Clear();
    virtual void SetHeaders();
    virtual void ProcessHeaders();

    bool HasContentLength() const { return ContentLength >= 0; }
    TNetHeaderList& RawHeaders() { return FRawHeaders; }
    const TNetHeaderList& RawHeaders() const { return FRawHeaders; }
    TNetHeaderList& CustomHeaders() { return FCustomHeaders; }

    AnsiString CacheControl, Connection, ContentEncoding, ContentLanguage, ContentType, ContentVersion, Pragma;
    std::int32_t ContentLength = -1;
    std::uint32_t ContentRangeStart = 0, ContentRangeEnd = 0, ContentRangeInstanceLength = 0;
    TDateTime Date = 0, Expires = 0, LastModified = 0;

protected:
    // Writes "name: value" only for a non-empty value.
    void SetIfNotEmpty(const char* name, const AnsiString& value);

    TNetHeaderList FRawHeaders{HeaderFoldLength};
    TNetHeaderList FCustomHeaders{HeaderFoldLength};
};

class TNetRequestHeaderInfo : public TNetEntityHeaderInfo {
    RT_PUBLISHED(TNetRequestHeaderInfo, TNetEntityHeaderInfo,
                 StrProp<&TNetRequestHeaderInfo::GetAccept, &TNetRequestHeaderInfo::SetAccept>("Accept"),
                 StrProp<&TNetRequestHeaderInfo::GetUserAgent, &TNetRequestHeaderInfo::SetUserAgent>("UserAgent"))
public:
    static constexpr const char* DefaultAccept = "text/html, */*";
    static constexpr const char* DefaultUserAgent = "Mozilla/3.0 (compatible; Korvant Setup)";

    TNetRequestHeaderInfo() { Clear(); }
    void Assign(const TPersistent& source) override;
    void Clear() override;
    void SetHeaders() override;

    AnsiString GetAccept() const { return Accept; }
    void SetAccept(const AnsiString& v) { Accept = v; }
    AnsiString GetUserAgent() const { return UserAgent; }
    void SetUserAgent(const AnsiString& v) { UserAgent = v; }

    AnsiString Accept, AcceptCharSet, AcceptEncoding, AcceptLanguage, Host, From, Password, Referer, UserAgent,
        Username, ProxyConnection;
    bool BasicAuthentication = false;
    std::unique_ptr<TNetAuthentication> Authentication;
};

class TNetResponseHeaderInfo : public TNetEntityHeaderInfo {
    RT_CLASS(TNetResponseHeaderInfo, TNetEntityHeaderInfo)
public:
    TNetResponseHeaderInfo() { Clear(); }
    void Clear() override;
    void ProcessHeaders() override;

    AnsiString Location, Server, ProxyConnection;
    TStringList WWWAuthenticate, ProxyAuthenticate;
};

class TNetProxyConnectionInfo : public TPersistent {
    RT_PUBLISHED(TNetProxyConnectionInfo, TPersistent,
                 StrProp<&TNetProxyConnectionInfo::ProxyServer, &TNetProxyConnectionInfo::SetProxyServer>("ProxyServer"),
                 OtherProp("ProxyPort"), OtherProp("BasicAuthentication"))
public:
    void Assign(const TPersistent& source) override;
    void Clear();
    // Adds "Proxy-Authorization" when there is something to authorise with.
    void SetHeaders(TNetHeaderList& headers);

    AnsiString ProxyServer() const { return FProxyServer; }
    void SetProxyServer(const AnsiString& server);
    int ProxyPort() const { return FProxyPort; }
    void SetProxyPort(int port);

    AnsiString ProxyUsername, ProxyPassword;
    bool BasicAuthentication = false;
    std::unique_ptr<TNetAuthentication> Authentication;

private:
    AnsiString FProxyServer;
    int FProxyPort = 0;
};
