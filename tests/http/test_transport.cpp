// The connection and buffered I/O over real loopback sockets: the scripted
// server sends bytes as soon as the client connects.
#include "uScriptedPeer.h"

#include "http/uNetStack.h"
#include "http/uNetTCPClient.h"
#include "runtime/uStreams.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

TReply Raw(std::vector<TPart> parts, bool close = true)
{
    TReply r;
    r.Parts = std::move(parts);
    r.ReadRequest = false;
    r.Close = close;
    r.LingerMs = 3000;
    return r;
}

// A client connected to the scripted server, which plays `reply`.
std::unique_ptr<TNetTCPClient> Connected(const TReply& reply)
{
    TScriptedPeer& peer = TScriptedPeer::Instance();
    peer.Script({reply});
    auto client = std::make_unique<TNetTCPClient>(nullptr);
    client->Host = "127.0.0.1";
    client->Port = peer.DataPort;
    client->Connect();
    return client;
}


struct TWorkLog {
    std::vector<std::string> Events;
    void Attach(TNetComponent& c)
    {
        c.OnWorkBegin = [this](TObject*, TWorkMode m, std::int32_t n) { Events.push_back("begin " + std::to_string(int(m)) + " " + std::to_string(n)); };
        c.OnWork = [this](TObject*, TWorkMode m, std::int32_t n) { Events.push_back("work " + std::to_string(int(m)) + " " + std::to_string(n)); };
        c.OnWorkEnd = [this](TObject*, TWorkMode m) { Events.push_back("end " + std::to_string(int(m))); };
    }
};

} // namespace

TEST(NetTransport, ReadLnEndsLinesAtLineFeed)
{
    auto c = Connected(Raw({{"abc\r\nabc\r\r\nabc\nlast"}}));
    TNetIOHandler& io = *c->IOHandler();
    EXPECT_EQ(io.ReadLn(), "abc");
    EXPECT_EQ(io.ReadLn(), "abc\r");
    EXPECT_EQ(io.ReadLn(), "abc");
    // The peer closed after "last" without a line end: the bytes stay buffered.
    EXPECT_THROW(io.ReadLn(), ENetConnClosedGracefully);
    EXPECT_TRUE(c->Connected());
    EXPECT_EQ(io.InputBuffer().Size(), 4);
    TNetBytes rest;
    io.ReadBytes(rest, 4, false);
    EXPECT_EQ(std::string(rest.begin(), rest.end()), "last");
    EXPECT_FALSE(c->Connected());
}

TEST(NetTransport, ReadLnEnforcesTheMaximumLineLength)
{
    std::string exact(16384, 'a'), over(16385, 'b');
    auto c = Connected(Raw({{exact + "\n" + over + "\n"}}));
    TNetIOHandler& io = *c->IOHandler();
    EXPECT_EQ(io.ReadLn(), exact);
    try {
        io.ReadLn();
        FAIL() << "no exception";
    } catch (const ENetReadLnMaxLineLengthExceeded& e) {
        EXPECT_EQ(e.Message(), "Max line length exceeded.");
    }
    io.MaxLineAction = TNetMaxLineAction::maSplit;
    EXPECT_EQ(io.ReadLn(), std::string(16384, 'b'));
    EXPECT_TRUE(io.ReadLnSplit());
    EXPECT_EQ(io.ReadLn(), "b");
    EXPECT_FALSE(io.ReadLnSplit());
}

TEST(NetTransport, ReadLnGivesUpAfterAnExplicitTimeout)
{
    auto c = Connected(Raw({{"partial"}}, false));
    TNetIOHandler& io = *c->IOHandler();
    EXPECT_EQ(io.ReadLn("\n", 200), "");
    EXPECT_TRUE(io.ReadLnTimedOut());
    auto& stack = dynamic_cast<TNetIOHandlerStack&>(io);
    stack.ReadTimeout = 200;
    try {
        io.ReadLn();
        FAIL() << "no exception";
    } catch (const ENetReadTimeout& e) {
        EXPECT_EQ(e.Message(), "Read Timeout");
    }
}

TEST(NetTransport, ReadStreamKeepsWhatArrivedBeforeAClose)
{
    std::string data(600, 'x');
    {
        auto c = Connected(Raw({{data}}));
        TMemoryStream s;
        EXPECT_THROW(c->IOHandler()->ReadStream(s, 1000, false), ENetConnClosedGracefully);
        EXPECT_EQ(s.DataString(), data);
    }
    {
        auto c = Connected(Raw({{data}}));
        TMemoryStream s;
        c->IOHandler()->ReadStream(s, -1, true);
        EXPECT_EQ(s.DataString(), data);
    }
}

TEST(NetTransport, CountedReadReportsRisingTotals)
{
    // A head line and the first body bytes in one piece, the rest in many.
    std::vector<TPart> parts{{"line\n" + std::string(100, 'a')}};
    for (int i = 0; i < 5; ++i)
        parts.push_back({std::string(40000, char('b' + i)), 20});
    auto c = Connected(Raw(parts));
    TWorkLog log;
    log.Attach(*c);
    EXPECT_EQ(c->IOHandler()->ReadLn(), "line");
    EXPECT_TRUE(log.Events.empty()); // lines are taken outside any work
    TMemoryStream s;
    c->IOHandler()->ReadStream(s, 200100, false);
    ASSERT_EQ(s.Size(), 200100);
    ASSERT_GE(log.Events.size(), 4u);
    EXPECT_EQ(log.Events.front(), "begin 0 200100");
    EXPECT_EQ(log.Events[1], "work 0 100");
    EXPECT_EQ(log.Events[2], "work 0 32868");
    EXPECT_EQ(log.Events[log.Events.size() - 2], "work 0 200100");
    EXPECT_EQ(log.Events.back(), "end 0");
    for (const std::string& e : log.Events)
        EXPECT_TRUE(e.find("begin 1") == e.npos && e.find("work 1 ") == e.npos && e != "end 1") << e;
}

// A thread that keeps a window alive waits in slices with its hook between
// them: a peer silent for several slices mid-body, and one that already
// queued much more than one receive takes, both arrive whole.
TEST(NetTransport, WaitsWithAHookOutlastSilencesAndTakeWhatIsQueued)
{
    const std::string head(1000, 'h'), tail(3 << 20, 't');
    auto c = Connected(Raw({{head}, {tail, 450}}));
    int hooks = 0;
    TNetWaitHookScope hook([&] { ++hooks; });
    TMemoryStream s;
    c->IOHandler()->ReadStream(s, -1, true);
    EXPECT_TRUE(s.DataString() == head + tail) << s.Size() << " bytes";
    EXPECT_GE(hooks, 3);
}

TEST(NetTransport, NestedWorkFiresOnlyTheOutermostPair)
{
    TNetTCPClient c(nullptr);
    TWorkLog log;
    log.Attach(c);
    c.BeginWork(TWorkMode::WorkRead, 10);
    c.BeginWork(TWorkMode::WorkRead, 99);
    c.DoWork(TWorkMode::WorkRead, 4);
    c.EndWork(TWorkMode::WorkRead);
    c.DoWork(TWorkMode::WorkRead, 6);
    c.EndWork(TWorkMode::WorkRead);
    c.DoWork(TWorkMode::WorkRead, 1);
    EXPECT_EQ(log.Events, (std::vector<std::string>{"begin 0 10", "work 0 4", "work 0 10", "end 0"}));
}

TEST(NetTransport, ConnectFailures)
{
    TScriptedPeer& peer = TScriptedPeer::Instance();
    TNetTCPClient c(nullptr);
    c.Host = "localhost";
    c.Port = peer.RefusedPort;
    try {
        c.Connect();
        FAIL() << "no exception";
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(e.LastError(), 10061);
        EXPECT_EQ(e.Message(), "Socket Error # 10061\r\nConnection refused.");
    }
    EXPECT_FALSE(c.Connected());

    c.Port = peer.BlackholePort;
    c.ConnectTimeout = 300;
    auto started = std::chrono::steady_clock::now();
    try {
        c.Connect();
        FAIL() << "no exception";
    } catch (const ENetConnectTimeout& e) {
        EXPECT_EQ(e.Message(), "Connect timed out.");
    }
    auto took = std::chrono::steady_clock::now() - started;
    EXPECT_LT(took, std::chrono::seconds(5));

    // The time-out path also connects when the peer answers.
    peer.Script({Raw({{"hi\n"}}, false)});
    c.Port = peer.DataPort;
    c.Connect();
    EXPECT_EQ(c.IOHandler()->ReadLn(), "hi");
    try {
        c.Connect();
        FAIL() << "no exception";
    } catch (const ENetAlreadyConnected& e) {
        EXPECT_EQ(e.Message(), "Already connected.");
    }
    c.Disconnect();
    EXPECT_FALSE(c.Connected());
    c.Disconnect();
}

TEST(NetStack, ErrorTextsAndAddresses)
{
    EXPECT_EQ(TNetStack::SocketErrorDescription(10054), "Connection reset by peer.");
    EXPECT_EQ(TNetStack::SocketErrorDescription(12345), "");
    try {
        TNetStack::RaiseSocketError(12345);
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(e.Message(), "Socket Error # 12345\r\n");
    }
    EXPECT_THROW(TNetStack::RaiseSocketError(10038), ENetNotASocket);
    EXPECT_TRUE(TNetStack::IsIPv4("10.0.0.255"));
    EXPECT_FALSE(TNetStack::IsIPv4("10.0.0.256"));
    EXPECT_FALSE(TNetStack::IsIPv4("10.0.0"));
    EXPECT_FALSE(TNetStack::IsIPv4("10.0.0.1.2"));
    EXPECT_EQ(GStack().ResolveHost("LocalHost", TNetIPVersion::Net_IPv4), "127.0.0.1");
    EXPECT_EQ(GStack().ResolveHost("192.168.1.2", TNetIPVersion::Net_IPv4), "192.168.1.2");
    EXPECT_EQ(TNetStack::CanonicalIPv6("::1"), "0:0:0:0:0:0:0:1");
    EXPECT_EQ(TNetStack::CanonicalIPv6("fe80::1:2"), "fe80:0:0:0:0:0:1:2");
    EXPECT_EQ(TNetStack::CanonicalIPv6("1:2:3:4:5:6:7:8"), "1:2:3:4:5:6:7:8");
    EXPECT_EQ(TNetStack::CanonicalIPv6("1::2::3"), "");
    EXPECT_EQ(TNetStack::CanonicalIPv6("example"), "");
}

TEST(NetStack, BindingPortRanges)
{
    TNetSocketHandle binding;
    binding.AllocateSocket(TNetIPVersion::Net_IPv4);
    binding.ClientPortMin = 50010;
    binding.ClientPortMax = 50000;
    try {
        binding.Bind();
        FAIL() << "no exception";
    } catch (const ENetInvalidPortRange& e) {
        EXPECT_EQ(e.Message(), "Invalid Port Range (50010 - 50000)");
    }
    binding.ClientPortMin = 0;
    binding.ClientPortMax = 0;
    binding.IP = "127.0.0.1";
    binding.Bind();
    EXPECT_GT(binding.Port, 0);
    EXPECT_THROW(binding.SetIPVersion(TNetIPVersion::Net_IPv6), ENetCannotSetIPVersionWhenConnected);
    binding.CloseSocket();
    binding.CloseSocket();
    EXPECT_FALSE(binding.HandleAllocated());
}
