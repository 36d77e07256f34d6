// Answers to a proxy's 407: the challenges read from its header lines, and
// the logon held to the bytes on the wire against the scripted server.
#include "uScriptedPeer.h"

#include "http/uNetHTTP.h"
#include "runtime/uStreams.h"

#include <gtest/gtest.h>

namespace {

std::vector<TNetChallenge> Parse(std::initializer_list<const char*> lines)
{
    TStringList values;
    for (const char* line : lines)
        values.Add(line);
    return ParseChallenges(values);
}

TEST(ProxyChallenges, ReadsSeveralSchemesFromOneLineAndFromSeveral)
{
    auto c = Parse({"Negotiate, NTLM, Basic realm=\"Kantoor, Gent\", charset=\"UTF-8\""});
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].Scheme, "Negotiate");
    EXPECT_EQ(c[1].Scheme, "NTLM");
    EXPECT_EQ(c[2].Scheme, "Basic");
    EXPECT_EQ(c[2].Param("REALM"), "Kantoor, Gent");
    EXPECT_EQ(c[2].Param("charset"), "UTF-8");
    EXPECT_TRUE(c[0].Params.empty());

    c = Parse({"NTLM TlRMTVNTUAACAAAA==", "Basic realm=proxy", "Digest realm=\"x\", nonce=\"a,b\", qop=\"auth\""});
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].Token, "TlRMTVNTUAACAAAA==");
    EXPECT_TRUE(c[0].Params.empty());
    EXPECT_EQ(c[1].Param("realm"), "proxy");
    EXPECT_EQ(c[2].Param("nonce"), "a,b");
    EXPECT_EQ(FindChallenge(c, "ntlm"), &c[0]);
    EXPECT_EQ(FindChallenge(c, "Negotiate"), nullptr);
}

TEST(ProxyChallenges, SurvivesRubbish)
{
    EXPECT_TRUE(Parse({"", ",,,", " , "}).empty());
    auto c = Parse({"=x, realm=\"unterminated", "Basic realm=\"a\\\"b\"", "NTLM !!!"});
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].Param("realm"), "a\"b");
    EXPECT_EQ(c[1].Scheme, "NTLM");
    EXPECT_TRUE(c[1].Token.empty());
    // A parameter with no challenge before it belongs to nobody.
    EXPECT_TRUE(Parse({"realm=x"}).empty());
}

TEST(ProxyChallenges, Base64RoundTripAndRefusal)
{
    AnsiString out;
    for (const std::string& text : std::vector<std::string>{"", "a", "ab", "abc", "jan:geheim", std::string("\0\xff\x10", 3)}) {
        ASSERT_TRUE(Base64Decode(Base64Encode(text), out));
        EXPECT_EQ(out, text);
    }
    EXPECT_FALSE(Base64Decode("ab$d", out));
    EXPECT_FALSE(Base64Decode("a", out));
    EXPECT_TRUE(out.empty());
}

const std::string Challenge407 = "HTTP/1.1 407 Proxy Authentication Required\r\n"
                                 "Proxy-Authenticate: Basic realm=\"kantoor\"\r\nContent-Length: 6\r\n\r\nlogin!";

class ProxyLogon : public ::testing::Test {
protected:
    TScriptedPeer& Peer = TScriptedPeer::Instance();
    TNetHTTP Http{nullptr};
    TMemoryStream Body;
    // What the "dialog" answers, one entry per question; empty: Cancel.
    std::vector<std::pair<std::string, std::string>> Answers;
    std::vector<std::string> Asked; // scheme and realm of each question

    void SetUp() override
    {
        Http.OnProxyAuthorization = [this](TObject* sender, TNetAuthentication* logon, bool& handled) {
            Asked.push_back(logon->Scheme() + " " + logon->Realm + " " +
                            std::to_string(static_cast<TNetCustomHTTP*>(sender)->AuthProxyRetries));
            handled = Asked.size() <= Answers.size() && !Answers[Asked.size() - 1].first.empty();
            if (handled) {
                logon->Username = Answers[Asked.size() - 1].first;
                logon->Password = Answers[Asked.size() - 1].second;
            }
        };
    }
    void UseProxy()
    {
        Http.ProxyParams().SetProxyServer("127.0.0.1");
        Http.ProxyParams().SetProxyPort(Peer.DataPort);
    }
    static bool Has(const std::string& request, const std::string& line)
    {
        return request.find("\r\n" + line + "\r\n") != std::string::npos;
    }
};

TEST_F(ProxyLogon, BasicAfterA407AndOnlyForThatRequest)
{
    UseProxy();
    Answers = {{"jan", "geheim"}};
    Peer.Script({Answer(Challenge407), Answer("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"),
                 Answer("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nnog")});
    Http.Get("http://example/korvant07/main.zip", &Body);
    EXPECT_EQ(Body.DataString(), "ok"); // nothing of the 407's body
    Http.Get("http://example/korvant07/upgrade.zip", &Body);
    auto requests = Peer.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].find("Proxy-Authorization"), std::string::npos) << requests[0];
    EXPECT_TRUE(Has(requests[1], "Proxy-Authorization: Basic amFuOmdlaGVpbQ==")) << requests[1];
    EXPECT_EQ(requests[1].find("\r\nAuthorization"), std::string::npos);
    // The next request starts without: it is asked again only on a 407.
    EXPECT_EQ(requests[2].find("Proxy-Authorization"), std::string::npos) << requests[2];
    EXPECT_EQ(Asked, (std::vector<std::string>{"Basic kantoor 0"}));
}

TEST_F(ProxyLogon, ThreeRefusalsInARowEndWithTheStatusLine)
{
    UseProxy();
    Answers = {{"jan", "fout1"}, {"jan", "fout2"}, {"jan", "fout3"}, {"jan", "fout4"}};
    Peer.Script({Answer(Challenge407), Answer(Challenge407), Answer(Challenge407), Answer(Challenge407),
                 Answer("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")});
    try {
        Http.Get("http://example/x", &Body);
        FAIL() << "no exception";
    } catch (const ENetHTTPProtocolException& e) {
        EXPECT_EQ(e.Message(), "HTTP/1.1 407 Proxy Authentication Required");
        EXPECT_EQ(e.ErrorCode(), 407);
        EXPECT_EQ(std::string(e.Message()).find("fout"), std::string::npos);
    }
    EXPECT_EQ(Asked, (std::vector<std::string>{"Basic kantoor 0", "Basic kantoor 1", "Basic kantoor 2"}));
    EXPECT_EQ(Peer.Requests().size(), 4u);
    EXPECT_EQ(Body.Size(), 0);
}

TEST_F(ProxyLogon, CancelEndsWithThe407)
{
    UseProxy();
    Answers = {{"", ""}};
    Peer.Script({Answer(Challenge407)});
    try {
        Http.Get("http://example/x", &Body);
        FAIL() << "no exception";
    } catch (const ENetHTTPProtocolException& e) {
        EXPECT_EQ(e.Message(), "HTTP/1.1 407 Proxy Authentication Required");
    }
    EXPECT_EQ(Peer.Requests().size(), 1u);
    EXPECT_EQ(Asked.size(), 1u);
}

TEST_F(ProxyLogon, ServersNeverGetTheProxyLogon)
{
    // A 401 through the proxy is the server's question: not answered.
    UseProxy();
    Answers = {{"jan", "geheim"}};
    Peer.Script({Answer("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"server\"\r\n"
                        "Proxy-Authenticate: Basic realm=\"x\"\r\nContent-Length: 0\r\n\r\n")});
    EXPECT_THROW(Http.Get("http://example/x", &Body), ENetHTTPProtocolException);
    EXPECT_EQ(Http.ResponseCode(), 401);
    ASSERT_EQ(Peer.Requests().size(), 1u);
    EXPECT_TRUE(Asked.empty());

    // Without a proxy a 407 comes from the server itself.
    Http.ProxyParams().SetProxyServer("");
    Http.ProxyParams().SetProxyPort(0);
    Peer.Script({Answer(Challenge407)});
    EXPECT_THROW(Http.Get(Peer.Url("/x"), &Body), ENetHTTPProtocolException);
    EXPECT_EQ(Peer.Requests().size(), 1u);
    EXPECT_TRUE(Asked.empty());
}

TEST_F(ProxyLogon, TheTunnelsLogonGoesOnTheConnectOnly)
{
    UseProxy();
    Answers = {{"jan", "geheim"}};
    // The tunnel opens, then its far end closes during the TLS handshake:
    // what matters here is what the proxy was sent.
    TReply open = Answer("HTTP/1.1 200 Connection established\r\n\r\n", false);
    open.LingerMs = 300;
    Peer.Script({Answer(Challenge407), open});
    EXPECT_ANY_THROW(Http.Get("https://example:8443/x", &Body));
    auto requests = Peer.Requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::string connect = "CONNECT example:8443 HTTP/1.1\r\nHost: example:8443\r\n"
                                "User-Agent: Mozilla/3.0 (compatible; Korvant Setup)\r\n"
                                "Proxy-Connection: keep-alive\r\nPragma: no-cache\r\n";
    EXPECT_EQ(requests[0], connect + "\r\n");
    EXPECT_EQ(requests[1].substr(0, connect.size() + 48), connect + "Proxy-Authorization: Basic amFuOmdlaGVpbQ==\r\n\r\n");
    EXPECT_TRUE(Has(requests[1], "Proxy-Authorization: Basic amFuOmdlaGVpbQ==")) << requests[1];
    // Whatever went into the tunnel was the TLS handshake, never the logon.
    EXPECT_EQ(requests[1].find("Proxy-Authorization", connect.size() + 50), std::string::npos);
}

TEST_F(ProxyLogon, AProxyThatOnlyOffersUnknownSchemesIsNotAnswered)
{
    UseProxy();
    Answers = {{"jan", "geheim"}};
    Peer.Script({Answer("HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Digest realm=\"x\", "
                        "nonce=\"n\"\r\nContent-Length: 0\r\n\r\n")});
    EXPECT_THROW(Http.Get("http://example/x", &Body), ENetHTTPProtocolException);
    EXPECT_TRUE(Asked.empty());
}

} // namespace
