#pragma once
// Cookies that servers set, kept per domain, and the "Cookie" value of later
// requests. A cookie only ever goes back to the host it came from or to hosts
// inside the domain it names, counted in whole labels.
#include "uNetDateTime.h"
#include "uNetURI.h"

#include "runtime/uClasses.h"

#include <functional>
#include <map>
#include <memory>
#include <vector>

class TNetNetscapeCookie : public TCollectionItem {
    RT_CLASS(TNetNetscapeCookie, TCollectionItem)
public:
    explicit TNetNetscapeCookie(TCollection* collection = nullptr) : TCollectionItem(collection) {}

    // Reads a "Set-cookie" value; false when it names no cookie.
    bool Parse(const AnsiString& value);
    AnsiString CookieText() const { return Name + "=" + Value; }
    bool Expired(TDateTime now) const;

    AnsiString Name, Value, Path = "/", Domain, Expires;
    bool Secure = false;
    // The end of a lifetime given in seconds (local time), 0 when none was.
    TDateTime ExpiresAt = 0;

protected:
    // One "NAME=value" attribute or bare word, name upper-cased.
    virtual void LoadAttribute(const AnsiString& name, const AnsiString& value);
};

class TNetCookieRFC2109 : public TNetNetscapeCookie {
    RT_CLASS(TNetCookieRFC2109, TNetNetscapeCookie)
public:
    using TNetNetscapeCookie::TNetNetscapeCookie;
    AnsiString MaxAge, Version, Comment;

protected:
    void LoadAttribute(const AnsiString& name, const AnsiString& value) override;
};

class TNetCookieRFC2965 : public TNetCookieRFC2109 {
    RT_CLASS(TNetCookieRFC2965, TNetCookieRFC2109)
public:
    using TNetCookieRFC2109::TNetCookieRFC2109;
    AnsiString CommentURL, Port;
    bool Discard = false;

protected:
    void LoadAttribute(const AnsiString& name, const AnsiString& value) override;
};

// The cookies of one domain, by name.
class TNetCookieList : public TStringList {
    RT_CLASS(TNetCookieList, TStringList)
public:
    TNetNetscapeCookie* Cookie(int index) const { return static_cast<TNetNetscapeCookie*>(GetObject(index)); }
};

class TNetCookies : public TPersistent {
    RT_CLASS(TNetCookies, TPersistent)
public:
    // Enough for any real site, and a bound on what a server can make us keep.
    static constexpr int MaxCookiesPerDomain = 50;
    static constexpr int MaxCookies = 300;

    // Stores the cookie, or copies its data over the one of the same name.
    // A new cookie beyond the limits raises ENetCookieLimitExceeded.
    TNetNetscapeCookie* Add(std::unique_ptr<TNetNetscapeCookie> cookie);
    TNetNetscapeCookie* Find(const AnsiString& domain, const AnsiString& name) const;
    void Delete(TNetNetscapeCookie* cookie);
    int Count() const { return static_cast<int>(FItems.size()); }
    TNetNetscapeCookie* Items(int index) const { return FItems.at(static_cast<size_t>(index)).get(); }
    // Domains in the order they were first set.
    const std::vector<AnsiString>& Domains() const { return FDomainOrder; }
    const TNetCookieList* CookiesOf(const AnsiString& domain) const;

private:
    std::vector<std::unique_ptr<TNetNetscapeCookie>> FItems;
    std::map<AnsiString, std::unique_ptr<TNetCookieList>> FDomains;
    std::vector<AnsiString> FDomainOrder;
};

using TNetNewCookieEvent = std::function<void(TObject* ASender, TNetNetscapeCookie* ACookie, bool& VAccept)>;

class TNetCookieManager : public TComponent {
    RT_CLASS(TNetCookieManager, TComponent)
public:
    explicit TNetCookieManager(TComponent* owner);
    ~TNetCookieManager() override;

    void AddCookie(const AnsiString& setCookie, const AnsiString& host);  // "Set-cookie"
    void AddCookie2(const AnsiString& setCookie, const AnsiString& host); // "Set-cookie2"
    // The "Cookie" value for a request to the location; empty when none fits.
    AnsiString GenerateCookieList(const TNetURI& location, bool secureConnection = false);

    // Whether a domain may be set by, and sent to, a host (letter case aside).
    static bool DomainFitsHost(const AnsiString& domain, const AnsiString& host);
    // Whether a cookie's path covers a request path: equal, or a prefix that
    // ends at a "/" ("/foo" covers "/foo/bar" but not "/foobar").
    static bool PathMatches(const AnsiString& cookiePath, const AnsiString& requestPath);

    TNetCookies& CookieCollection() { return FCookies; }

    std::function<void(TObject* ASender)> OnCreate, OnDestroy;
    TNetNewCookieEvent OnNewCookie;

private:
    void Store(std::unique_ptr<TNetNetscapeCookie> cookie, const AnsiString& setCookie, const AnsiString& host);
    void CleanupCookieList();

    TNetCookies FCookies;
};
