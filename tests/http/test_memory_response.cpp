// Whole responses read from memory through the real client: how a body is
// framed, what is refused, and the limits on what a server can make the
// client do. No sockets, so these run the same under the sanitizers.
#include "uMemoryIOHandler.h"

#include "http/uNetHTTP.h"
#include "runtime/uStreams.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const char* const Url = "http://example/korvant07/main.zip";

// The handler is declared first so that it outlives the client.
struct TMemoryClient {
    TNetIOHandlerMemory IO;
    TNetHTTP Http{nullptr};
    TMemoryStream Body;

    explicit TMemoryClient(std::string peer, int pieceSize = 0) : IO(std::move(peer), pieceSize) { Http.SetIOHandler(&IO); }
    void Get(const char* url = Url) { Http.Get(url, &Body); }
};

// A memory stream that remembers the largest size it was ever asked to have.
class TWatchedStream : public TMemoryStream {
public:
    std::int64_t Largest = 0;
    void SetSize(std::int64_t size) override
    {
        Largest = std::max(Largest, size);
        TMemoryStream::SetSize(size);
    }
    std::int64_t Write(const void* buffer, std::int64_t count) override
    {
        std::int64_t n = TMemoryStream::Write(buffer, count);
        Largest = std::max(Largest, Size());
        return n;
    }
};

std::string Head(const std::string& headers) { return "HTTP/1.1 200 OK\r\n" + headers + "\r\n"; }

std::string Repeat(const std::string& piece, int times)
{
    std::string r;
    for (int i = 0; i < times; ++i)
        r += piece;
    return r;
}

} // namespace

TEST(MemoryResponses, ReadsEveryFramingOfABody)
{
    struct TCase {
        const char* Name;
        std::string Peer;
        int Piece;
        std::string Body;
    };
    const std::string chunked = "Transfer-Encoding: chunked\r\n";
    const TCase cases[] = {
        {"counted", Head("Content-Length: 5\r\n") + "hello", 0, "hello"},
        {"counted, a byte per read", Head("Content-Length: 5\r\n") + "hello", 1, "hello"},
        {"until close", Head("") + "all of it", 0, "all of it"},
        {"chunked with extension and trailer", Head(chunked) + "5;x=1\r\nhello\r\n3\r\nabc\r\n0\r\nX-T: 1\r\n\r\n", 0, "helloabc"},
        {"chunked, a byte per read", Head(chunked) + "5\r\nhello\r\n0\r\n\r\n", 1, "hello"},
        {"chunked wins over a length", Head("Content-Length: 3\r\n" + chunked) + "5\r\nhello\r\n0\r\n\r\n", 0, "hello"},
        {"chunked wins over a bad length", Head("Content-Length: x\r\n" + chunked) + "2\r\nok\r\n0\r\n\r\n", 0, "ok"},
        {"repeated equal length in one line", Head("Content-Length: 5, 5\r\n") + "hello", 0, "hello"},
        {"repeated equal length in two lines", Head("Content-Length: 5\r\nContent-Length: 5\r\n") + "hello", 0, "hello"},
        {"blanks around the length", Head("Content-Length:   5  \r\n") + "hello", 0, "hello"},
        {"interim answers first", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </a>\r\n\r\n" + Head("Content-Length: 2\r\n") + "ok", 0, "ok"},
        {"length zero", Head("Content-Length: 0\r\n"), 0, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TMemoryClient client(c.Peer, c.Piece);
        client.Get();
        EXPECT_EQ(client.Http.ResponseCode(), 200);
        EXPECT_EQ(client.Body.DataString(), c.Body);
        EXPECT_EQ(client.IO.Written(), "GET /korvant07/main.zip HTTP/1.1\r\nHost: example\r\nAccept: text/html, */*\r\n"
                                       "Accept-Encoding: identity\r\nUser-Agent: Mozilla/3.0 (compatible; Korvant Setup)\r\n\r\n");
    }
}

TEST(MemoryResponses, RefusesBodiesWhoseFramingCannotBeTrusted)
{
    struct TCase {
        std::string Peer;
        std::string Message;
        std::string Body; // what the destination holds afterwards
    };
    const TCase cases[] = {
        {Head("Content-Length: 5, 6\r\n") + "hello!", "Conflicting Content-Length values: 5, 6", ""},
        {Head("Content-Length: 5\r\nContent-Length: 6\r\n") + "hello!", "Conflicting Content-Length values: 5, 6", ""},
        {Head("Content-Length: -1\r\n") + "hello", "Invalid Content-Length: -1", ""},
        {Head("Content-Length: +5\r\n") + "hello", "Invalid Content-Length: +5", ""},
        {Head("Content-Length: abc\r\n") + "hello", "Invalid Content-Length: abc", ""},
        {Head("Content-Length: 1e3\r\n") + "hello", "Invalid Content-Length: 1e3", ""},
        {Head("Content-Length: 0x10\r\n") + "hello", "Invalid Content-Length: 0x10", ""},
        {Head("Content-Length: 2147483648\r\n") + "hello", "Invalid Content-Length: 2147483648", ""},
        {Head("Content-Length: 99999999999999999999999\r\n") + "hello", "Invalid Content-Length: 99999999999999999999999", ""},
        {Head("Content-Length:\r\n") + "hello", "Invalid Content-Length: ", ""},
        {Head("Content-Length: 5\r\nContent-Length: five\r\n") + "hello", "Invalid Content-Length: 5, five", ""},
        {Head("Transfer-Encoding: chunked\r\n") + "5\r\nhelloXY\r\n0\r\n\r\n", "Chunk data not followed by a line end.", "hello"},
        {Head("Transfer-Encoding: chunked\r\n") + "5\r\nhello\r\nzz\r\n", "Invalid chunk size: zz", "hello"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Peer);
        TMemoryClient client(c.Peer);
        try {
            client.Get();
            ADD_FAILURE() << "no exception";
        } catch (const ENetException& e) {
            EXPECT_EQ(e.Message(), c.Message);
            EXPECT_TRUE(e.Is<ENetInvalidContentLength>() || e.Is<ENetInvalidChunkEnd>() || e.Is<ENetInvalidChunkSize>())
                << e.ClassName();
        }
        EXPECT_EQ(client.Body.DataString(), c.Body);
        // Where such a body ends is unknown: the connection is not kept.
        EXPECT_FALSE(client.Http.Connected());
    }
}

TEST(MemoryResponses, TheAnnouncedLengthReservesNothing)
{
    TNetIOHandlerMemory io(Head("Content-Length: 2000000000\r\n") + "hello");
    TNetHTTP http(nullptr);
    http.SetIOHandler(&io);
    TWatchedStream body;
    EXPECT_THROW(http.Get(Url, &body), ENetConnClosedGracefully);
    EXPECT_EQ(body.DataString(), "hello");
    EXPECT_EQ(body.Largest, 5);
}

TEST(MemoryResponses, LimitsInterimAnswersAndTrailerLines)
{
    const std::string interim = "HTTP/1.1 100 Continue\r\n\r\n";
    const std::string ok = Head("Content-Length: 2\r\n") + "ok";
    {
        TMemoryClient client(Repeat(interim, TNetCustomHTTP::MaxInterimResponses) + ok);
        client.Get();
        EXPECT_EQ(client.Body.DataString(), "ok");
    }
    {
        TMemoryClient client(Repeat(interim, TNetCustomHTTP::MaxInterimResponses + 1) + ok);
        try {
            client.Get();
            ADD_FAILURE() << "no exception";
        } catch (const ENetMaxInterimResponsesExceeded& e) {
            EXPECT_EQ(e.Message(), "Max interim responses exceeded (16).");
        }
        EXPECT_FALSE(client.Http.Connected());
    }
    {
        // A switch of protocols was never asked for.
        TMemoryClient client("HTTP/1.1 101 Switching Protocols\r\nUpgrade: x\r\n\r\n" + ok);
        EXPECT_THROW(client.Get(), ENetHTTPProtocolException);
        EXPECT_EQ(client.Http.ResponseCode(), 101);
    }
    const std::string chunked = Head("Transfer-Encoding: chunked\r\n") + "2\r\nok\r\n0\r\n";
    {
        TMemoryClient client(chunked + Repeat("X-T: 1\r\n", TNetCustomHTTP::MaxTrailerLines) + "\r\n");
        client.Get();
        EXPECT_EQ(client.Body.DataString(), "ok");
    }
    {
        TMemoryClient client(chunked + Repeat("X-T: 1\r\n", TNetCustomHTTP::MaxTrailerLines + 1) + "\r\n");
        try {
            client.Get();
            ADD_FAILURE() << "no exception";
        } catch (const ENetMaxHeaderLinesExceeded& e) {
            EXPECT_EQ(e.Message(), "Max trailer lines exceeded (255).");
        }
    }
}

TEST(MemoryResponses, FollowsARedirectAndAnswersAChallengeInOneScript)
{
    TMemoryClient client("HTTP/1.1 302 Found\r\nLocation: http://example/korvant07/new.zip\r\nContent-Length: 3\r\n\r\nold"
                         "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"k\"\r\nContent-Length: 0\r\n\r\n" +
                         Head("Content-Length: 3\r\n") + "new");
    client.Http.HandleRedirects = true;
    client.Http.HTTPOptions |= hoAuthInProcess;
    client.Http.Request().Username = "jan";
    client.Http.Request().Password = "geheim";
    client.Get();
    EXPECT_EQ(client.Body.DataString(), "new");
    EXPECT_EQ(client.IO.Connections(), 3);
    const std::string& sent = client.IO.Written();
    EXPECT_NE(sent.find("GET /korvant07/new.zip HTTP/1.1\r\n"), std::string::npos) << sent;
    EXPECT_NE(sent.find("Authorization: Basic amFuOmdlaGVpbQ==\r\n"), std::string::npos) << sent;
}
