#include "uNetCookie.h"

#include "uNetGlobal.h"
#include "uNetStack.h"
#include "runtime/uSysUtils.h"

// --- cookie items ----------------------------------------------------------------

bool TNetNetscapeCookie::Parse(const AnsiString& value)
{
    AnsiString rest = value;
    AnsiString first = Trim(net::Fetch(rest, ";"));
    size_t eq = first.find('=');
    Name = Trim(first.substr(0, eq));
    Value = eq == AnsiString::npos ? AnsiString() : Trim(first.substr(eq + 1));
    while (!rest.empty()) {
        AnsiString part = Trim(net::Fetch(rest, ";"));
        if (part.empty())
            continue;
        size_t at = part.find('=');
        if (at == AnsiString::npos)
            LoadAttribute(UpperCase(part), {});
        else
            LoadAttribute(UpperCase(Trim(part.substr(0, at))), Trim(part.substr(at + 1)));
    }
    return !Name.empty();
}

void TNetNetscapeCookie::LoadAttribute(const AnsiString& name, const AnsiString& value)
{
    if (name == "PATH") {
        AnsiString path = value;
        if (!path.empty() && path.front() == '"')
            path.erase(0, 1);
        if (!path.empty() && path.back() == '"')
            path.pop_back();
        Path = path.empty() ? AnsiString("/") : path;
    } else if (name == "EXPIRES") {
        Expires = value;
    } else if (name == "DOMAIN") {
        Domain = value;
    } else if (name == "SECURE") {
        Secure = true;
    }
}

bool TNetNetscapeCookie::Expired(TDateTime now) const
{
    if (ExpiresAt > 0)
        return ExpiresAt <= now;
    if (Expires.empty())
        return false;
    TDateTime at;
    return HttpStrToLocalDateTime(Expires, at) && at <= now;
}

void TNetCookieRFC2109::LoadAttribute(const AnsiString& name, const AnsiString& value)
{
    if (name == "MAX-AGE") {
        MaxAge = value;
        // A lifetime in seconds from now; 0 deletes the cookie.
        int seconds;
        if (TryStrToInt(value, seconds))
            ExpiresAt = NetNow() + seconds / 86400.0;
    } else if (name == "VERSION") {
        Version = value;
    } else if (name == "COMMENT") {
        Comment = value;
    } else {
        TNetNetscapeCookie::LoadAttribute(name, value);
    }
}

void TNetCookieRFC2965::LoadAttribute(const AnsiString& name, const AnsiString& value)
{
    if (name == "COMMENTURL")
        CommentURL = value;
    else if (name == "DISCARD")
        Discard = true;
    else if (name == "PORT")
        Port = value;
    else
        TNetCookieRFC2109::LoadAttribute(name, value);
}

// --- the store -------------------------------------------------------------------------

TNetNetscapeCookie* TNetCookies::Find(const AnsiString& domain, const AnsiString& name) const
{
    const TNetCookieList* list = CookiesOf(domain);
    for (int i = 0; list && i < list->Count(); ++i)
        if (list->Cookie(i)->Name == name)
            return list->Cookie(i);
    return nullptr;
}

TNetNetscapeCookie* TNetCookies::Add(std::unique_ptr<TNetNetscapeCookie> cookie)
{
    if (TNetNetscapeCookie* stored = Find(cookie->Domain, cookie->Name)) {
        stored->Value = cookie->Value;
        stored->Path = cookie->Path;
        stored->Expires = cookie->Expires;
        stored->ExpiresAt = cookie->ExpiresAt;
        stored->Secure = cookie->Secure;
        return stored;
    }
    const TNetCookieList* existing = CookiesOf(cookie->Domain);
    if (existing && existing->Count() >= MaxCookiesPerDomain)
        throw ENetCookieLimitExceeded(Format(netmsg::MaxCookiesPerDomainExceeded, cookie->Domain.c_str(), MaxCookiesPerDomain));
    if (Count() >= MaxCookies)
        throw ENetCookieLimitExceeded(Format(netmsg::MaxCookiesExceeded, MaxCookies));
    auto& list = FDomains[cookie->Domain];
    if (!list) {
        list = std::make_unique<TNetCookieList>();
        FDomainOrder.push_back(cookie->Domain);
    }
    TNetNetscapeCookie* raw = cookie.get();
    FItems.push_back(std::move(cookie));
    list->AddObject(raw->Name, raw);
    return raw;
}

void TNetCookies::Delete(TNetNetscapeCookie* cookie)
{
    auto found = FDomains.find(cookie->Domain);
    if (found != FDomains.end()) {
        TNetCookieList& list = *found->second;
        for (int i = 0; i < list.Count(); ++i)
            if (list.Cookie(i) == cookie) {
                list.Delete(i);
                break;
            }
    }
    std::erase_if(FItems, [cookie](const auto& item) { return item.get() == cookie; });
}

const TNetCookieList* TNetCookies::CookiesOf(const AnsiString& domain) const
{
    auto found = FDomains.find(domain);
    return found == FDomains.end() ? nullptr : found->second.get();
}

// --- the manager -----------------------------------------------------------------------

TNetCookieManager::TNetCookieManager(TComponent* owner) : TComponent(owner) {}

TNetCookieManager::~TNetCookieManager()
{
    if (OnDestroy)
        OnDestroy(this);
}

bool TNetCookieManager::DomainFitsHost(const AnsiString& domain, const AnsiString& host)
{
    if (domain.empty() || host.empty())
        return false;
    if (TNetStack::IsIPv4(host))
        return domain == host;
    if (SameText(domain, host))
        return true;
    // Whole labels only: "ample" must not fit "example", and a bare top-level
    // domain such as ".com" would hand cookies to every host under it.
    AnsiString bare = domain[0] == '.' ? domain.substr(1) : domain;
    if (bare.find('.') == AnsiString::npos || bare.empty())
        return false;
    if (SameText(host, bare))
        return true;
    return host.size() > bare.size() && net::EndsText(bare, host) && host[host.size() - bare.size() - 1] == '.';
}

bool TNetCookieManager::PathMatches(const AnsiString& cookiePath, const AnsiString& requestPath)
{
    if (requestPath.compare(0, cookiePath.size(), cookiePath) != 0)
        return false;
    return requestPath.size() == cookiePath.size() || (!cookiePath.empty() && cookiePath.back() == '/') ||
           requestPath[cookiePath.size()] == '/';
}

void TNetCookieManager::Store(std::unique_ptr<TNetNetscapeCookie> cookie, const AnsiString& setCookie, const AnsiString& host)
{
    if (!cookie->Parse(setCookie))
        return;
    if (cookie->Domain.empty())
        cookie->Domain = host;
    if (!DomainFitsHost(cookie->Domain, host))
        return;
    // Domains ignore case; one spelling keeps one list per domain.
    cookie->Domain = LowerCase(cookie->Domain);
    // A cookie that arrives expired only deletes one of its name.
    if (cookie->Expired(NetNow()) && !FCookies.Find(cookie->Domain, cookie->Name))
        return;
    bool accept = true;
    if (OnNewCookie)
        OnNewCookie(this, cookie.get(), accept);
    if (accept)
        FCookies.Add(std::move(cookie));
}

void TNetCookieManager::AddCookie(const AnsiString& setCookie, const AnsiString& host)
{
    Store(std::make_unique<TNetCookieRFC2109>(), setCookie, host);
}

void TNetCookieManager::AddCookie2(const AnsiString& setCookie, const AnsiString& host)
{
    Store(std::make_unique<TNetCookieRFC2965>(), setCookie, host);
}

void TNetCookieManager::CleanupCookieList()
{
    TDateTime now = NetNow();
    std::vector<TNetNetscapeCookie*> expired;
    for (int i = 0; i < FCookies.Count(); ++i)
        if (FCookies.Items(i)->Expired(now))
            expired.push_back(FCookies.Items(i));
    for (TNetNetscapeCookie* cookie : expired)
        FCookies.Delete(cookie);
}

AnsiString TNetCookieManager::GenerateCookieList(const TNetURI& location, bool secureConnection)
{
    CleanupCookieList();
    AnsiString result;
    for (const AnsiString& domain : FCookies.Domains()) {
        if (!DomainFitsHost(domain, location.Host()))
            continue;
        const TNetCookieList* list = FCookies.CookiesOf(domain);
        for (int i = 0; list && i < list->Count(); ++i) {
            TNetNetscapeCookie* cookie = list->Cookie(i);
            if (cookie->Value.empty() || (cookie->Secure && !secureConnection))
                continue;
            if (!PathMatches(cookie->Path, location.Path() + location.Document()))
                continue;
            if (!result.empty())
                result += "; ";
            result += cookie->CookieText();
        }
    }
    return result;
}
