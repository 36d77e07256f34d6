// The HTTP client held to the bytes on the wire, against the scripted server.
#include "uScriptedPeer.h"

#include "http/uNetHTTP.h"
#include "http/uNetTlsIOHandler.h"
#include "runtime/uStreams.h"
#include "tests/support/uTestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace http_test {
// A scratch folder in the build tree, emptied, as the client sees it.
AnsiString FreshFolder(const AnsiString& name)
{
    const char* binary = std::getenv("KORVANT_BINARY_DIR");
    AnsiString root = ProgramPath(std::string(binary ? binary : "/tmp") + "/tests/http-work/" + name);
    std::filesystem::remove_all(std::filesystem::path(HostPath(root)));
    std::filesystem::create_directories(std::filesystem::path(HostPath(root)));
    return root + "\\";
}

std::string ReadBytes(const AnsiString& path)
{
    std::ifstream in(std::filesystem::path(HostPath(path)), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
} // namespace http_test

namespace {

const std::string WizardHead = "Accept: text/html, */*\r\n"
                               "Accept-Encoding: identity\r\n"
                               "User-Agent: Mozilla/3.0 (compatible; Korvant Setup)\r\n";

struct TEventLog {
    std::vector<std::string> Events;
    void Attach(TNetHTTP& http)
    {
        http.OnWorkBegin = [this](TObject* s, TWorkMode m, std::int32_t n) { Add(s, "begin " + std::to_string(int(m)) + " " + std::to_string(n)); };
        http.OnWork = [this](TObject* s, TWorkMode m, std::int32_t n) { Add(s, "work " + std::to_string(int(m)) + " " + std::to_string(n)); };
        http.OnWorkEnd = [this](TObject* s, TWorkMode m) { Add(s, "end " + std::to_string(int(m))); };
    }
    void Add(TObject* sender, std::string e)
    {
        Events.push_back(sender && sender->Is<TNetHTTP>() ? e : "foreign sender: " + e);
    }
};

class HttpClient : public ::testing::Test {
protected:
    TScriptedPeer& Peer = TScriptedPeer::Instance();
    TNetHTTP Http{nullptr};
    TMemoryStream Body;

    std::string Target() const { return "127.0.0.1:" + std::to_string(Peer.DataPort); }
    void Get(const std::string& path) { Http.Get(Peer.Url(path), &Body); }
    std::string OnlyRequest()
    {
        auto requests = Peer.Requests();
        EXPECT_EQ(requests.size(), 1u);
        return requests.empty() ? std::string() : requests[0];
    }
    void UseScriptedServerAsProxy()
    {
        Http.ProxyParams().SetProxyServer("127.0.0.1");
        Http.ProxyParams().SetProxyPort(Peer.DataPort);
    }
};

} // namespace

TEST_F(HttpClient, SendsTheSixLineRequestDirectly)
{
    Peer.Script({Answer("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello")});
    TEventLog log;
    log.Attach(Http);
    Get("/korvant07/setup.zip");
    EXPECT_EQ(OnlyRequest(), "GET /korvant07/setup.zip HTTP/1.1\r\nHost: " + Target() + "\r\n" + WizardHead + "\r\n");
    EXPECT_EQ(Body.DataString(), "hello");
    EXPECT_EQ(Http.ResponseCode(), 200);
    EXPECT_EQ(Http.ResponseText(), "HTTP/1.1 200 OK");
    EXPECT_EQ(log.Events, (std::vector<std::string>{"begin 0 5", "work 0 5", "end 0"}));
}

TEST_F(HttpClient, SendsAbsoluteTargetsThroughAProxy)
{
    UseScriptedServerAsProxy();
    Peer.Script({Answer("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"),
                 Answer("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")});
    Http.Get("http://example/korvant07/setup.zip", &Body);
    Http.Get("http://example:8080/korvant07/main.zip", &Body);
    auto requests = Peer.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], "GET http://example/korvant07/setup.zip HTTP/1.1\r\nHost: example\r\n" + WizardHead + "\r\n");
    EXPECT_EQ(requests[1], "GET http://example:8080/korvant07/main.zip HTTP/1.1\r\nHost: example:8080\r\n" + WizardHead + "\r\n");
}

TEST_F(HttpClient, ReadsBodiesWithAndWithoutLength)
{
    Peer.Script({Answer("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"), Answer("HTTP/1.1 200 OK\r\n\r\nuntil the end")});
    TEventLog log;
    log.Attach(Http);
    Get("/empty");
    EXPECT_EQ(Body.Size(), 0);
    EXPECT_TRUE(log.Events.empty());
    Get("/noleng");
    EXPECT_EQ(Body.DataString(), "until the end");
    EXPECT_EQ(log.Events.front(), "begin 0 0");
    EXPECT_FALSE(Http.Connected());
}

TEST_F(HttpClient, DecodesChunkedBodies)
{
    const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    Peer.Script({Answer(head + "5\r\nhello\r\n3;x=1\r\nabc\r\n0\r\n\r\n"),
                 Answer("HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n4\r\nwxyz\r\n0\r\nX-Trailer: 1\r\n\r\n")});
    TEventLog log;
    log.Attach(Http);
    Get("/chunked");
    // Extensions after ";" are allowed: the body is not cut short.
    EXPECT_EQ(Body.DataString(), "helloabc");
    EXPECT_EQ(log.Events, (std::vector<std::string>{"begin 0 5", "work 0 5", "end 0", "begin 0 3", "work 0 3", "end 0"}));
    Body.Clear();
    // Transfer codings ignore case: the size lines never reach the file.
    Get("/chunked2");
    EXPECT_EQ(Body.DataString(), "wxyz");
}

TEST_F(HttpClient, RefusesCorruptChunkSizes)
{
    Peer.Script({Answer("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\nzz\r\nabc\r\n0\r\n\r\n")});
    try {
        Get("/bad");
        FAIL() << "no exception";
    } catch (const ENetInvalidChunkSize& e) {
        EXPECT_EQ(e.Message(), "Invalid chunk size: zz");
    }
    EXPECT_EQ(Body.DataString(), "hello");
}

TEST_F(HttpClient, FailsATruncatedDownload)
{
    Peer.Script({Answer("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(600, 'x'))});
    try {
        Get("/cut");
        FAIL() << "a truncated body was reported as success";
    } catch (const ENetConnClosedGracefully& e) {
        EXPECT_EQ(e.Message(), "Connection Closed Gracefully.");
    }
    EXPECT_EQ(Body.Size(), 600);
    EXPECT_FALSE(Http.Connected());
}

TEST_F(HttpClient, AcceptsPartialContentAndRaisesForErrors)
{
    Peer.Script({Answer("HTTP/1.1 206 Partial Content\r\nContent-Length: 3\r\n\r\nabc"),
                 Answer("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot here!")});
    Get("/part");
    EXPECT_EQ(Http.ResponseCode(), 206);
    EXPECT_EQ(Http.ResponseText(), "HTTP/1.1 206 Partial Content");
    EXPECT_EQ(Body.DataString(), "abc");
    Body.Clear();
    TEventLog log;
    log.Attach(Http);
    try {
        Get("/missing");
        FAIL() << "no exception";
    } catch (const ENetHTTPProtocolException& e) {
        EXPECT_EQ(e.Message(), "HTTP/1.1 404 Not Found");
        EXPECT_EQ(e.ErrorCode(), 404);
        EXPECT_EQ(e.ErrorMessage(), "not here!");
    }
    EXPECT_EQ(Body.Size(), 0);
    EXPECT_EQ(log.Events, (std::vector<std::string>{"begin 0 9", "work 0 9", "end 0"}));
}

TEST_F(HttpClient, IgnoredCodesReturnNormally)
{
    Peer.Script({Answer("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone")});
    Http.Get(Peer.Url("/x"), &Body, {404});
    EXPECT_EQ(Http.ResponseCode(), 404);
    EXPECT_EQ(Body.Size(), 0);
}

TEST_F(HttpClient, RedirectsRaiseUnlessHandled)
{
    const std::string found = "HTTP/1.1 302 Found\r\nLocation: " + Peer.Url("/new") + "\r\nContent-Length: 3\r\n\r\nold";
    Peer.Script({Answer(found), Answer("HTTP/1.1 200 OK\r\nLocation: /elsewhere\r\nContent-Length: 2\r\n\r\nhi")});
    EXPECT_THROW(Get("/old"), ENetHTTPProtocolException);
    try {
        Get("/located");
        FAIL() << "no exception";
    } catch (const ENetHTTPProtocolException& e) {
        EXPECT_EQ(e.Message(), "HTTP/1.1 200 OK");
    }

    Http.HandleRedirects = true;
    Peer.Script({Answer(found), Answer("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nnew")});
    Body.Write("stale", 5);
    Body.SetPosition(0);
    Get("/old");
    auto requests = Peer.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1], "GET /new HTTP/1.1\r\nHost: " + Target() + "\r\n" + WizardHead + "\r\n");
    EXPECT_EQ(Body.DataString(), "new");
    EXPECT_EQ(Http.RedirectCount(), 0);
}

TEST_F(HttpClient, StopsFollowingAfterTheRedirectMaximum)
{
    Http.HandleRedirects = true;
    Http.RedirectMaximum = 3;
    const std::string again = "HTTP/1.1 301 Moved\r\nLocation: " + Peer.Url("/loop") + "\r\nContent-Length: 0\r\n\r\n";
    Peer.Script({Answer(again), Answer(again), Answer(again), Answer(again)});
    Get("/loop");
    EXPECT_EQ(Http.ResponseCode(), 301);
    EXPECT_EQ(Peer.Requests().size(), 3u);
}

TEST_F(HttpClient, SkipsInterimContinueAndRejectsNonHttp)
{
    Peer.Script({Answer("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"),
                 Answer("SSH-2.0-OpenSSH\r\n")});
    Get("/continue");
    EXPECT_EQ(Http.ResponseCode(), 200);
    EXPECT_EQ(Body.DataString(), "ok");
    try {
        Get("/ssh");
        FAIL() << "no exception";
    } catch (const ENetHTTPProtocolException& e) {
        EXPECT_EQ(e.ErrorCode(), -1);
        EXPECT_EQ(e.Message(), "SSH-2.0-OpenSSH");
    }
}

TEST_F(HttpClient, KeepsOrClosesTheConnectionAsTheServerSays)
{
    Peer.Script({Answer("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", false),
                 Answer("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 2\r\n\r\nok", false)});
    Get("/alive");
    EXPECT_TRUE(Http.Response().KeepAlive());
    EXPECT_TRUE(Http.Connected());
    Get("/close");
    EXPECT_FALSE(Http.Response().KeepAlive());
    EXPECT_FALSE(Http.Connected());
}

TEST_F(HttpClient, SendsCookiesBack)
{
    Peer.Script({Answer("HTTP/1.1 200 OK\r\nSet-Cookie: session=42; Path=/\r\nSet-Cookie: bad=1; Domain=other.example\r\n"
                        "Content-Length: 0\r\n\r\n"),
                 Answer("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n")});
    Get("/one");
    Get("/two");
    auto requests = Peer.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1], "GET /two HTTP/1.1\r\nHost: " + Target() + "\r\n" + WizardHead + "Cookie: session=42\r\n\r\n");
}

TEST_F(HttpClient, SplitBodyGivesOneWorkEventPerPiece)
{
    TReply reply;
    reply.Parts.push_back({"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(1000, 'a')});
    for (int i = 0; i < 9; ++i)
        reply.Parts.push_back({std::string(11000, 'b'), 10});
    Peer.Script({reply});
    TEventLog log;
    log.Attach(Http);
    Get("/split");
    EXPECT_EQ(Body.Size(), 100000);
    ASSERT_GE(log.Events.size(), 5u);
    EXPECT_EQ(log.Events.front(), "begin 0 100000");
    EXPECT_EQ(log.Events[1], "work 0 1000");
    EXPECT_EQ(log.Events[2], "work 0 33768");
    EXPECT_EQ(log.Events[log.Events.size() - 2], "work 0 100000");
    EXPECT_EQ(log.Events.back(), "end 0");
}

TEST_F(HttpClient, LimitsHeaderLines)
{
    std::string many;
    for (int i = 0; i < 254; ++i)
        many += "X-" + std::to_string(i) + ": v\r\n";
    Peer.Script({Answer("HTTP/1.1 200 OK\r\n" + many + "Content-Length: 1\r\n\r\n!"),
                 Answer("HTTP/1.1 200 OK\r\n" + many + "X-Last: 1\r\nContent-Length: 1\r\n\r\n!"),
                 Answer("HTTP/1.1 200 OK\r\nX-Long: " + std::string(20000, 'x') + "\r\n\r\n")});
    Get("/255");
    EXPECT_EQ(Body.DataString(), "!");
    try {
        Get("/256");
        FAIL() << "no exception";
    } catch (const ENetMaxHeaderLinesExceeded& e) {
        EXPECT_EQ(e.Message(), "Max header lines exceeded (255).");
    }
    EXPECT_FALSE(Http.Connected());
    EXPECT_THROW(Get("/long"), ENetReadLnMaxLineLengthExceeded);
}

TEST_F(HttpClient, AuthenticationAnswersRaiseWithoutCredentials)
{
    Peer.Script({Answer("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"k\"\r\nContent-Length: 0\r\n\r\n"),
                 Answer("HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"p\"\r\nContent-Length: 0\r\n\r\n")});
    EXPECT_THROW(Get("/secret"), ENetHTTPProtocolException);
    try {
        Get("/proxy");
        FAIL() << "no exception";
    } catch (const ENetHTTPProtocolException& e) {
        EXPECT_EQ(e.ErrorCode(), 407);
    }
}

TEST_F(HttpClient, RetriesWithBasicCredentialsInProcess)
{
    Http.HTTPOptions |= hoAuthInProcess;
    Http.Request().Username = "jan";
    Http.Request().Password = "geheim";
    Peer.Script({Answer("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"k\"\r\nContent-Length: 0\r\n\r\n"),
                 Answer("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nin")});
    Get("/secret");
    EXPECT_EQ(Body.DataString(), "in");
    auto requests = Peer.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[1].find("\r\nAuthorization: Basic amFuOmdlaGVpbQ==\r\n"), std::string::npos) << requests[1];
}

TEST_F(HttpClient, RefusedConnectionAndUnusableUrls)
{
    try {
        Http.Get("http://127.0.0.1:" + std::to_string(Peer.RefusedPort) + "/x", &Body);
        FAIL() << "no exception";
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(e.LastError(), 10061);
        EXPECT_EQ(e.Message(), "Socket Error # 10061\r\nConnection refused.");
    }
    {
        // A handler the caller attached must be able to do TLS.
        TNetIOHandlerStack plain(nullptr);
        Http.SetIOHandler(&plain);
        try {
            Http.Get("https://127.0.0.1/x", &Body);
            FAIL() << "no exception";
        } catch (const ENetIOHandlerPropInvalid& e) {
            EXPECT_EQ(e.Message(), "IOHandler value is not valid");
        }
        Http.SetIOHandler(nullptr);
    }
    EXPECT_THROW(Http.Get("http://127.0.0.1:port/x", &Body), EConvertError);
}

TEST_F(HttpClient, HttpsFailsClearlyOnServersThatDoNotAnswerInTls)
{
#ifndef _WIN32
    GTEST_SKIP() << "the native build has no system TLS";
#endif
    // A plain HTTP server on the port: it answers the client's hello with
    // an error page of its own.
    TReply plain = Answer("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
    plain.ReadRequest = false;
    Peer.Script({plain});
    try {
        Http.Get("https://localhost:" + std::to_string(Peer.DataPort) + "/x", &Body);
        FAIL() << "no exception";
    } catch (const ENetTlsNotTls& e) {
        EXPECT_EQ(e.Message(), "The server localhost:" + std::to_string(Peer.DataPort) +
                                   " does not answer in TLS: it answered as a plain HTTP server.");
    }
    EXPECT_EQ(Body.Size(), 0);
    EXPECT_FALSE(Http.Connected());
    // The same client then still speaks plain HTTP, byte for byte as before.
    Peer.Script({Answer("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")});
    Get("/after");
    EXPECT_EQ(OnlyRequest(), "GET /after HTTP/1.1\r\nHost: " + Target() + "\r\n" + WizardHead + "\r\n");
    EXPECT_EQ(Body.DataString(), "ok");
}

TEST_F(HttpClient, HttpsThroughAProxyOpensATunnelFirst)
{
    UseScriptedServerAsProxy();
    // A refused CONNECT fails with the proxy's status line and body.
    Peer.Script({Answer("HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 4\r\n\r\ndeny")});
    try {
        Http.Get("https://example/korvant07/setup.zip", &Body);
        FAIL() << "no exception";
    } catch (const ENetHTTPProtocolException& e) {
        EXPECT_EQ(e.Message(), "HTTP/1.1 407 Proxy Authentication Required");
        EXPECT_EQ(e.ErrorCode(), 407);
        EXPECT_EQ(e.ErrorMessage(), "deny");
    }
    EXPECT_EQ(OnlyRequest(), "CONNECT example:443 HTTP/1.1\r\nHost: example:443\r\n"
                             "User-Agent: Mozilla/3.0 (compatible; Korvant Setup)\r\n"
                             "Proxy-Connection: keep-alive\r\nPragma: no-cache\r\n\r\n");
    EXPECT_EQ(Body.Size(), 0);

#ifndef _WIN32
    GTEST_SKIP() << "the native build has no system TLS";
#endif
    // An accepted tunnel carries the TLS handshake for the URL's host; a
    // tunnel that then closes fails as a cut handshake, naming that host.
    TReply open = Answer("HTTP/1.1 200 Connection established\r\n\r\n", false);
    open.LingerMs = 300;
    Peer.Script({open});
    try {
        Http.Get("https://example:8443/x", &Body);
        FAIL() << "no exception";
    } catch (const ENetTlsHandshakeError& e) {
        EXPECT_EQ(e.Message(), "The server example:8443 closed the connection during the secure (TLS) handshake.");
    }
    EXPECT_EQ(OnlyRequest(), "CONNECT example:8443 HTTP/1.1\r\nHost: example:8443\r\n"
                             "User-Agent: Mozilla/3.0 (compatible; Korvant Setup)\r\n"
                             "Proxy-Connection: keep-alive\r\nPragma: no-cache\r\n\r\n");
}

TEST_F(HttpClient, DestinationFollowsTheBytesNotTheAnnouncedLength)
{
    // Five bytes that claim to be two billion, then the server closes.
    const std::string liar = "HTTP/1.1 200 OK\r\nContent-Length: 2000000000\r\n\r\nhello";
    Peer.Script({Answer(liar), Answer(liar)});
    std::int64_t largest = 0;
    Http.OnWork = [&](TObject*, TWorkMode, std::int32_t) {
        largest = std::max<std::int64_t>(largest, static_cast<std::int64_t>(Body.Data().capacity()));
    };
    EXPECT_THROW(Get("/memory"), ENetConnClosedGracefully);
    EXPECT_EQ(Body.DataString(), "hello");
    EXPECT_LT(largest, 1 << 20);

    const AnsiString folder = http_test::FreshFolder("http-liar");
    const AnsiString path = folder + "main.zip";
    largest = 0;
    {
        TFileStream file(path, fmCreate);
        Http.OnWork = [&](TObject*, TWorkMode, std::int32_t) { largest = std::max(largest, file.Size()); };
        try {
            Http.Get(Peer.Url("/file"), &file);
            FAIL() << "a cut-off body was reported as success";
        } catch (const ENetConnClosedGracefully& e) {
            EXPECT_EQ(e.Message(), "Connection Closed Gracefully.");
        }
    }
    EXPECT_EQ(largest, 5);
    EXPECT_EQ(http_test::ReadBytes(path), "hello");
    EXPECT_EQ(std::filesystem::file_size(std::filesystem::path(HostPath(path))), 5u);
}

TEST_F(HttpClient, AnswersWithoutABodyReadNone)
{
    // Kept open and silent: reading a body here would run into the time-out.
    Http.ReadTimeout = 3000;
    auto silentAfter = [](std::string head) {
        TReply r = Answer(std::move(head), false);
        r.LingerMs = 6000;
        return r;
    };
    Peer.Script({silentAfter("HTTP/1.1 304 Not Modified\r\nContent-Length: 100\r\n\r\n"),
                 silentAfter("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n"),
                 silentAfter("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\n")});
    try {
        Get("/cached");
        FAIL() << "no exception";
    } catch (const ENetHTTPProtocolException& e) {
        EXPECT_EQ(e.ErrorCode(), 304);
        EXPECT_EQ(e.ErrorMessage(), "");
    }
    Http.Head(Peer.Url("/head"));
    EXPECT_EQ(Http.ResponseCode(), 200);
    EXPECT_EQ(Http.Response().ContentLength, 100);
    try {
        Http.Head(Peer.Url("/missing"));
        FAIL() << "no exception";
    } catch (const ENetHTTPProtocolException& e) {
        EXPECT_EQ(e.ErrorCode(), 404);
    }
    auto requests = Peer.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1], "HEAD /head HTTP/1.1\r\nHost: " + Target() + "\r\n" + WizardHead + "\r\n");
}

TEST_F(HttpClient, ASilentServerEndsTheDownloadAfterTheReadTimeout)
{
    Http.ReadTimeout = 300;
    TReply stalled = Answer("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", false);
    stalled.LingerMs = 8000;
    TReply mute = Answer("", false);
    mute.Parts.clear();
    mute.LingerMs = 8000;
    Peer.Script({stalled, mute});
    for (const char* path : {"/stalled", "/mute"}) {
        SCOPED_TRACE(path);
        try {
            Get(path);
            FAIL() << "no exception";
        } catch (const ENetReadTimeout& e) {
            EXPECT_EQ(e.Message(), "Read Timeout");
        }
        EXPECT_FALSE(Http.Connected());
    }
    EXPECT_EQ(Body.DataString(), "abc");
}

TEST_F(HttpClient, AnUnansweredConnectEndsAfterTheConnectTimeout)
{
    Http.ConnectTimeout = 300;
    try {
        Http.Get("http://127.0.0.1:" + std::to_string(Peer.BlackholePort) + "/x", &Body);
        FAIL() << "no exception";
    } catch (const ENetConnectTimeout& e) {
        EXPECT_EQ(e.Message(), "Connect timed out.");
    }
    EXPECT_FALSE(Http.Connected());
    // The same client still downloads once the server answers.
    Peer.Script({Answer("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")});
    Get("/after");
    EXPECT_EQ(Body.DataString(), "ok");
}
