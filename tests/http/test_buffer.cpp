#include "http/uNetBuffer.h"
#include "runtime/uStreams.h"

#include <gtest/gtest.h>

namespace {
TNetBytes Bytes(std::string_view s) { return TNetBytes(s.begin(), s.end()); }
std::string Text(const TNetBytes& b) { return std::string(b.begin(), b.end()); }
} // namespace

TEST(NetBuffer, QueuesBytesAndReportsEveryRemoval)
{
    std::vector<int> removed;
    TNetBuffer buffer([&](int n) { removed.push_back(n); });
    buffer.Write(reinterpret_cast<const std::uint8_t*>("hello "), 6);
    TNetBytes more = Bytes("world");
    buffer.WriteTaking(more);
    EXPECT_EQ(buffer.Size(), 11);
    EXPECT_EQ(Text(buffer.Extract(5)), "hello");
    EXPECT_EQ(buffer.IndexOf("wor"), 1);
    EXPECT_EQ(buffer.IndexOf("xyz"), -1);
    TMemoryStream stream;
    buffer.ExtractToStream(stream, -1);
    EXPECT_EQ(stream.DataString(), " world");
    EXPECT_EQ(buffer.Size(), 0);
    EXPECT_EQ(removed, (std::vector<int>{5, 6}));
    EXPECT_TRUE(buffer.Extract(0).empty());
    EXPECT_EQ(buffer.IndexOf("a"), -1);
}

TEST(NetBuffer, RefusesBadRequests)
{
    TNetBuffer buffer;
    TNetBytes three = Bytes("abc");
    buffer.WriteTaking(three);
    try {
        buffer.Extract(5);
        FAIL();
    } catch (const ENetNotEnoughDataInBuffer& e) {
        EXPECT_EQ(e.Message(), "Not enough data in buffer. (5/3)");
    }
    try {
        buffer.IndexOf("");
        FAIL();
    } catch (const ENetException& e) {
        EXPECT_EQ(e.Message(), "Buffer terminator must be specified.");
    }
    try {
        buffer.IndexOf("a", 3);
        FAIL();
    } catch (const ENetException& e) {
        EXPECT_EQ(e.Message(), "Buffer start position is invalid.");
    }
}

TEST(NetBuffer, CompactsTheReadHeadAndShrinksInSteps)
{
    TNetBuffer buffer;
    std::string data(20000, 'x');
    data[15000] = '!';
    buffer.Write(reinterpret_cast<const std::uint8_t*>(data.data()), static_cast<int>(data.size()));
    buffer.Remove(1000); // below the step: the head only moves
    EXPECT_EQ(buffer.Capacity(), 20000);
    buffer.Remove(10000); // past the step: moved to the front and cut back
    EXPECT_EQ(buffer.Size(), 9000);
    EXPECT_EQ(buffer.Capacity(), 9000 + TNetBuffer::GrowthFactor);
    EXPECT_EQ(buffer.IndexOf("!"), 4000);
    buffer.Write(reinterpret_cast<const std::uint8_t*>("tail"), 4);
    EXPECT_EQ(buffer.Size(), 9004);
    EXPECT_EQ(buffer.IndexOf("tail"), 9000);
}
