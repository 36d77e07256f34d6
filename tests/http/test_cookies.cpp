#include "http/uNetCookie.h"
#include "runtime/uSysUtils.h"

#include <gtest/gtest.h>

namespace {
AnsiString CookiesFor(TNetCookieManager& m, const char* url, bool secure = false)
{
    return m.GenerateCookieList(TNetURI(url), secure);
}
} // namespace

TEST(NetCookies, StoresReplacesAndSendsBack)
{
    TNetCookieManager m(nullptr);
    m.AddCookie("session=abc", "example");
    EXPECT_EQ(CookiesFor(m, "http://example/korvant07/"), "session=abc");
    m.AddCookie("session=def; Path=\"/korvant07/\"", "example");
    m.AddCookie("lang=nl", "example");
    EXPECT_EQ(m.CookieCollection().Count(), 2);
    EXPECT_EQ(CookiesFor(m, "http://example/korvant07/x.zip"), "session=def; lang=nl");
    EXPECT_EQ(CookiesFor(m, "http://example/other/"), "lang=nl");
    m.AddCookie("empty=", "example");
    EXPECT_EQ(CookiesFor(m, "http://example/other/"), "lang=nl");
}

TEST(NetCookies, SecureAndExpiredCookies)
{
    TNetCookieManager m(nullptr);
    m.AddCookie("s=1; secure", "example");
    m.AddCookie("old=1; expires=Sun, 06 Nov 1994 08:49:37 GMT", "example");
    m.AddCookie("gone=1; Max-Age=0", "example");
    m.AddCookie("new=1; expires=Fri, 01 Jan 2100 00:00:00 GMT", "example");
    EXPECT_EQ(CookiesFor(m, "http://example/"), "new=1");
    EXPECT_EQ(CookiesFor(m, "https://example/", true), "s=1; new=1");
    EXPECT_EQ(m.CookieCollection().Count(), 2);
}

TEST(NetCookies, DomainsMatchWholeLabelsOnly)
{
    TNetCookieManager m(nullptr);
    m.AddCookie("a=1; domain=ample", "example");         // not a label of the host
    m.AddCookie("b=1; domain=other.nl", "www.korvant.nl"); // another site
    m.AddCookie("c=1; domain=.nl", "www.korvant.nl");      // a whole top-level domain
    m.AddCookie("d=1; domain=10.0.0.1", "10.0.0.10");
    EXPECT_EQ(m.CookieCollection().Count(), 0);

    m.AddCookie("e=1; domain=korvant.nl", "www.korvant.nl");
    m.AddCookie("f=1; domain=.korvant.nl", "dl.korvant.nl");
    m.AddCookie("g=1", "dl.korvant.nl");
    m.AddCookie("h=1", "10.0.0.1");
    EXPECT_EQ(CookiesFor(m, "http://korvant.nl/"), "e=1; f=1");
    EXPECT_EQ(CookiesFor(m, "http://dl.korvant.nl/"), "e=1; f=1; g=1");
    EXPECT_EQ(CookiesFor(m, "http://www.dl.korvant.nl/"), "e=1; f=1; g=1");
    // Hosts that merely contain the domain text get nothing.
    EXPECT_EQ(CookiesFor(m, "http://notkorvant.nl/"), "");
    EXPECT_EQ(CookiesFor(m, "http://korvant.nl.evil.com/"), "");
    EXPECT_EQ(CookiesFor(m, "http://10.0.0.1/"), "h=1");
    EXPECT_EQ(CookiesFor(m, "http://110.0.0.1/"), "");
}

TEST(NetCookies, ReadsTheAttributesOfBothKinds)
{
    TNetCookieManager m(nullptr);
    bool offered = false;
    m.OnNewCookie = [&](TObject*, TNetNetscapeCookie* c, bool& accept) {
        offered = true;
        accept = c->Name != "refused";
    };
    m.AddCookie2("v2=x; Version=1; Comment=hi; CommentURL=http://c/; Discard; Port=\"80\"", "example");
    m.AddCookie("refused=1", "example");
    EXPECT_TRUE(offered);
    ASSERT_EQ(m.CookieCollection().Count(), 1);
    auto* c = dynamic_cast<TNetCookieRFC2965*>(m.CookieCollection().Items(0));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Version, "1");
    EXPECT_EQ(c->Comment, "hi");
    EXPECT_EQ(c->CommentURL, "http://c/");
    EXPECT_TRUE(c->Discard);
    EXPECT_EQ(c->Port, "\"80\"");
    EXPECT_EQ(c->Domain, "example");
    EXPECT_EQ(c->Path, "/");
}

TEST(NetCookies, PathsMatchOnSlashBoundaries)
{
    TNetCookieManager m(nullptr);
    m.AddCookie("foo=1; Path=/foo", "example");
    m.AddCookie("dir=1; Path=/foo/", "example");
    EXPECT_EQ(CookiesFor(m, "http://example/foo"), "foo=1");
    EXPECT_EQ(CookiesFor(m, "http://example/foo/"), "foo=1; dir=1");
    EXPECT_EQ(CookiesFor(m, "http://example/foo/bar"), "foo=1; dir=1");
    EXPECT_EQ(CookiesFor(m, "http://example/foo/bar/x.zip?y=1"), "foo=1; dir=1");
    EXPECT_EQ(CookiesFor(m, "http://example/foobar"), "");
    EXPECT_EQ(CookiesFor(m, "http://example/foobar/x.zip"), "");
    EXPECT_EQ(CookiesFor(m, "http://example/"), "");
    EXPECT_EQ(CookiesFor(m, "http://example/Foo/bar"), ""); // paths keep their case

    EXPECT_TRUE(TNetCookieManager::PathMatches("/", "/anything"));
    EXPECT_FALSE(TNetCookieManager::PathMatches("/foo/", "/foo"));
}

TEST(NetCookies, DomainsIgnoreLetterCase)
{
    TNetCookieManager m(nullptr);
    m.AddCookie("a=1; Domain=Korvant.NL", "www.korvant.nl");
    m.AddCookie("b=1", "DL.Korvant.nl");
    m.AddCookie("a=2; Domain=korvant.nl", "WWW.KORVANT.NL"); // the same cookie again
    EXPECT_EQ(m.CookieCollection().Count(), 2);
    EXPECT_EQ(CookiesFor(m, "http://dl.korvant.nl/"), "a=2; b=1");
    EXPECT_EQ(CookiesFor(m, "http://DL.KORVANT.NL/"), "a=2; b=1");
    EXPECT_EQ(CookiesFor(m, "http://www.Korvant.nl/"), "a=2");
    EXPECT_EQ(CookiesFor(m, "http://notkorvant.NL/"), "");
}

TEST(NetCookies, KeepsABoundedNumber)
{
    TNetCookieManager m(nullptr);
    for (int i = 0; i < TNetCookies::MaxCookiesPerDomain; ++i)
        m.AddCookie("c" + IntToStr(i) + "=1", "example");
    // Replacing a stored cookie is always possible, a new one is not.
    m.AddCookie("c0=2", "example");
    try {
        m.AddCookie("one-more=1", "example");
        FAIL() << "no exception";
    } catch (const ENetCookieLimitExceeded& e) {
        EXPECT_EQ(e.Message(), "Too many cookies for example (50).");
    }
    EXPECT_EQ(m.CookieCollection().Count(), TNetCookies::MaxCookiesPerDomain);
    // An expired cookie of a new name is nothing to keep, also when full.
    m.AddCookie("gone=1; Max-Age=0", "example");
    EXPECT_EQ(m.CookieCollection().Count(), TNetCookies::MaxCookiesPerDomain);

    for (int d = 1; m.CookieCollection().Count() < TNetCookies::MaxCookies; ++d)
        for (int i = 0; i < 10; ++i)
            m.AddCookie("c" + IntToStr(i) + "=1", "host" + IntToStr(d) + ".example");
    try {
        m.AddCookie("x=1", "another.example");
        FAIL() << "no exception";
    } catch (const ENetCookieLimitExceeded& e) {
        EXPECT_EQ(e.Message(), "Too many cookies (300).");
    }
    EXPECT_EQ(m.CookieCollection().Count(), TNetCookies::MaxCookies);
    EXPECT_EQ(m.CookieCollection().CookiesOf("another.example"), nullptr);
}
