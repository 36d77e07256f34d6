// The checks through Windows CNG, against keys and signatures openssl made
// for this run, and the download destination that hashes as bytes arrive.
#include "platform/uCrypto.h"
#include "trust/uManifest.h"
#include "trust/uVerifyingStream.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

std::vector<std::uint8_t> ReadKeyFile(const std::string& name)
{
    const char* dir = std::getenv("TRUST_KEYS");
    std::ifstream in("Z:" + std::string(dir ? dir : "") + "/" + name, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::uint8_t> Point(const std::string& name)
{
    std::vector<std::uint8_t> hex = ReadKeyFile(name), point;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        point.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.begin() + i, hex.begin() + i + 2), nullptr, 16)));
    return point;
}

std::string Hex(const platform::TSha256Digest& d)
{
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (std::uint8_t b : d)
        s += {digits[b >> 4], digits[b & 15]};
    return s;
}

bool Verified(const std::vector<std::uint8_t>& text, const std::vector<std::uint8_t>& der,
              const std::vector<std::uint8_t>& point)
{
    auto raw = EcdsaSignatureFromDer(der);
    return raw && platform::VerifyEcdsaP256(point, platform::Sha256(text), *raw);
}

} // namespace

TEST(Sha256, KnownDigestsWholeAndPieceByPiece)
{
    const std::string abc = "abc";
    EXPECT_EQ(Hex(platform::Sha256({reinterpret_cast<const std::uint8_t*>(abc.data()), abc.size()})),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Hex(platform::Sha256({})), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    platform::TSha256 hash;
    std::string million(1000000, 'a');
    for (std::size_t at = 0; at < million.size(); at += 4097)
        hash.Update(million.data() + at, std::min<std::size_t>(4097, million.size() - at));
    EXPECT_EQ(Hex(hash.Final()), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Signature, OnlyTheSigningKeysPublicHalfAcceptsOnlyTheSignedBytes)
{
    const auto text = ReadKeyFile("list.txt");
    const auto sigA = ReadKeyFile("list.a.sig"), sigB = ReadKeyFile("list.b.sig");
    const auto pointA = Point("a.point.hex"), pointB = Point("b.point.hex");
    ASSERT_FALSE(text.empty());
    ASSERT_EQ(pointA.size(), 65u);

    EXPECT_TRUE(Verified(text, sigA, pointA));
    EXPECT_TRUE(Verified(text, sigB, pointB));
    EXPECT_FALSE(Verified(text, sigB, pointA)) << "another key's signature";
    EXPECT_FALSE(Verified(text, sigA, pointB));
    auto edited = text;
    edited[0] ^= 1;
    EXPECT_FALSE(Verified(edited, sigA, pointA)) << "an edited list";
    auto truncated = std::vector<std::uint8_t>(text.begin(), text.begin() + text.size() / 2);
    EXPECT_FALSE(Verified(truncated, sigA, pointA));
    auto badSig = sigA;
    badSig[badSig.size() - 1] ^= 1;
    EXPECT_FALSE(Verified(text, badSig, pointA));
    // Malformed keys are a refusal, not a crash.
    auto badPoint = pointA;
    badPoint[0] = 0x02;
    EXPECT_FALSE(Verified(text, sigA, badPoint));
    EXPECT_FALSE(Verified(text, sigA, {}));
}

TEST(VerifyingStream, HashesWhatPassesRefusesMoreThanTheLimitAndNoticesGoingBack)
{
    TMemoryStream target;
    TVerifyingStream stream(target, 6);
    stream.WriteBuffer("abc", 3);
    EXPECT_EQ(stream.Count(), 3u);
    EXPECT_FALSE(stream.Spoiled());
    EXPECT_EQ(Hex(stream.Digest()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(target.DataString(), "abc");

    stream.Restart();
    EXPECT_EQ(target.Size(), 0);
    stream.WriteBuffer("123456", 6);
    EXPECT_THROW(stream.WriteBuffer("7", 1), EWriteError);
    EXPECT_TRUE(stream.Spoiled());
    EXPECT_EQ(target.DataString(), "123456") << "nothing past the limit reaches the file";

    stream.Restart();
    stream.WriteBuffer("ab", 2);
    stream.SetPosition(0);
    stream.WriteBuffer("x", 1);
    EXPECT_TRUE(stream.Spoiled()) << "a rewrite would make the hash lie";
}

TEST(VerifyingStream, StartingOverBeforeTheFirstByteKeepsTheWritersCountsTrue)
{
    // A resumed download that gets the whole file: the writer stands at 4
    // and goes on from there; the bytes land at the start of the file.
    TMemoryStream target;
    TVerifyingStream stream(target, 100);
    stream.WriteBuffer("abcd", 4);
    int calls = 0;
    stream.BeforeNextWrite([&] {
        ++calls;
        stream.Restart();
    });
    stream.WriteBuffer("ab", 2);
    stream.WriteBuffer("c", 1);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(stream.Position(), 7) << "the writer's own position";
    EXPECT_EQ(target.DataString(), "abc");
    EXPECT_FALSE(stream.Spoiled());
    EXPECT_EQ(Hex(stream.Digest()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(VerifyingStream, LargeDownloadsHashInOrderAcrossPiecesAndRestarts)
{
    // Several of the hasher's pieces, in writes of odd sizes that straddle
    // them: the digest is the whole file's, also after starting over.
    std::vector<std::uint8_t> file(5 * 1024 * 1024 + 12345);
    for (std::size_t i = 0; i < file.size(); ++i)
        file[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
    auto writeAll = [&](TVerifyingStream& stream) {
        for (std::size_t at = 0, step = 1; at < file.size(); at += step, step = step * 3 % 700001 + 1)
            stream.WriteBuffer(file.data() + at, static_cast<std::int64_t>(std::min(step, file.size() - at)));
    };
    const std::string expected = Hex(platform::Sha256(file));
    TMemoryStream target;
    TVerifyingStream stream(target, file.size());
    writeAll(stream);
    EXPECT_EQ(stream.Count(), file.size());
    EXPECT_EQ(Hex(stream.Digest()), expected);

    // A server answering 200 to a resumed request, 3 MiB into the file.
    TMemoryStream again;
    TVerifyingStream resumed(again, file.size());
    resumed.WriteBuffer(file.data(), 3 * 1024 * 1024);
    resumed.Restart();
    writeAll(resumed);
    EXPECT_FALSE(resumed.Spoiled());
    EXPECT_EQ(Hex(resumed.Digest()), expected);
}
