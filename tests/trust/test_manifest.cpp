// The component list's parsers: what sha256sum-style lines and openssl's
// signatures look like, and everything a hostile server could send instead.
#include "trust/uManifest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kHash = "2b4eeeda42a9df55281a6fe8cb1d83ea700a265549058860242c957a4fb5829f";

std::optional<TManifest> Parse(const std::string& text)
{
    std::string error;
    auto manifest = TManifest::Parse(text, error);
    EXPECT_EQ(manifest.has_value(), error.empty()) << error;
    return manifest;
}

} // namespace

TEST(Manifest, LinesEndingInLfOrCrlfGiveSizeAndHashByName)
{
    auto m = Parse(kHash + " 42201898 main.zip\n" + std::string(64, '0') + " 0 upgrade.txt\r\n");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->Count(), 2u);
    const TManifestEntry* main = m->Find("main.zip");
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->Size, 42201898u);
    EXPECT_EQ(main->Sha256[0], 0x2b);
    EXPECT_EQ(main->Sha256[31], 0x9f);
    ASSERT_NE(m->Find("upgrade.txt"), nullptr);
    EXPECT_EQ(m->Find("upgrade.txt")->Size, 0u);
    // Names are exact: no case folding, no prefixes.
    EXPECT_EQ(m->Find("MAIN.ZIP"), nullptr);
    EXPECT_EQ(m->Find("main"), nullptr);
}

TEST(Manifest, AnythingButTheStrictFormIsRefused)
{
    const std::string good = kHash + " 5 a.zip";
    std::string upper = kHash;
    upper[0] = 'B';
    const std::string refused[] = {
        "",                                            // empty
        good,                                          // no line end
        good + "\n\n",                                 // an empty line
        good + "\n" + good + "\n",                     // a name twice
        upper + " 5 a.zip\n",                          // upper-case hex
        kHash.substr(1) + " 5 a.zip\n",                // 63 digits
        kHash + "  5 a.zip\n",                         // two blanks
        kHash + " 5  a.zip\n",
        kHash + "\t5 a.zip\n",
        kHash + " 05 a.zip\n",                         // leading zero
        kHash + " -5 a.zip\n",
        kHash + " 5x a.zip\n",
        kHash + " 99999999999999999999 a.zip\n",       // overflow
        kHash + " 5\n",                                // no name
        kHash + " 5 a.zip \n",                         // trailing blank
        kHash + " 5 ../a.zip\n",                       // a path
        kHash + " 5 sub\\a.zip\n",
        kHash + " 5 ..\n",
        kHash + " 5 " + std::string(200, 'n') + "\n",  // too long a name
        good + "\n# comment\n",
    };
    for (const std::string& text : refused) {
        std::string error;
        EXPECT_FALSE(TManifest::Parse(text, error)) << text;
        EXPECT_FALSE(error.empty());
    }
    std::string many;
    for (std::size_t i = 0; i <= TManifest::MaxLines; ++i)
        many += kHash + " 1 f" + std::to_string(i) + "\n";
    std::string error;
    EXPECT_FALSE(TManifest::Parse(many, error));
    EXPECT_NE(error.find("lines"), std::string::npos);
}

TEST(Manifest, AFirstSerialLineGivesTheListsEditionAndAnyOtherFormIsRefused)
{
    const std::string line = kHash + " 5 a.zip\n";
    auto m = Parse("serial 42\n" + line);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->Serial(), 42u);
    EXPECT_EQ(m->Count(), 1u);
    m = Parse("serial 999999999999999999\r\n" + line);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->Serial(), 999999999999999999u);
    m = Parse("serial 0\n");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->Serial(), 0u);
    m = Parse(line);
    ASSERT_TRUE(m);
    EXPECT_FALSE(m->Serial());

    const std::string refused[] = {
        "serial 1000000000000000000\n" + line, // 19 digits
        "serial 07\n" + line,                  // leading zero
        "serial -1\n" + line,
        "serial +1\n" + line,
        "serial 1 \n" + line,                  // trailing blank
        "serial  1\n" + line,                  // two blanks
        "serial \n" + line,
        "Serial 1\n" + line,                   // the word is exact
        "serial\t1\n" + line,
        "serial 1",                            // no line end
        line + "serial 1\n",                   // only first
        "serial 1\nserial 2\n" + line,         // only once
    };
    for (const std::string& text : refused) {
        std::string error;
        EXPECT_FALSE(TManifest::Parse(text, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST(Manifest, AListBelowTheMinimumOrTheRememberedSerialIsRefused)
{
    EXPECT_TRUE(ListSerialAcceptable(5, 5, 5));
    EXPECT_TRUE(ListSerialAcceptable(6, 5, 0));
    EXPECT_FALSE(ListSerialAcceptable(4, 5, 0));  // below the build's minimum
    EXPECT_FALSE(ListSerialAcceptable(5, 3, 6));  // below what was accepted before
    EXPECT_FALSE(ListSerialAcceptable(std::nullopt, 1, 0)); // no serial while one is required
    EXPECT_TRUE(ListSerialAcceptable(std::nullopt, 0, 0));
    EXPECT_FALSE(ListSerialAcceptable(std::nullopt, 0, 2));
}

TEST(Manifest, DerSignaturesBecomeRAndSOrAreRefused)
{
    // r with a high bit (a zero byte before it), s short (left-padded).
    std::vector<std::uint8_t> der = {0x30, 0x26, 0x02, 0x21, 0x00};
    for (int i = 0; i < 32; ++i)
        der.push_back(static_cast<std::uint8_t>(0x80 + i));
    der.insert(der.end(), {0x02, 0x01, 0x07});
    auto raw = EcdsaSignatureFromDer(der);
    ASSERT_TRUE(raw);
    EXPECT_EQ((*raw)[0], 0x80);
    EXPECT_EQ((*raw)[31], 0x9F);
    EXPECT_EQ((*raw)[32], 0x00);
    EXPECT_EQ((*raw)[63], 0x07);

    auto refusedWith = [&](auto change) {
        std::vector<std::uint8_t> bad = der;
        change(bad);
        return !EcdsaSignatureFromDer(bad);
    };
    EXPECT_TRUE(refusedWith([](auto& b) { b[0] = 0x31; }));                    // not a sequence
    EXPECT_TRUE(refusedWith([](auto& b) { b[1] = 0x27; }));                    // length beyond the bytes
    EXPECT_TRUE(refusedWith([](auto& b) { b.push_back(0); }));                 // trailing byte
    EXPECT_TRUE(refusedWith([](auto& b) { b[4] = 0x01; }));                    // r of 33 significant bytes
    EXPECT_TRUE(refusedWith([](auto& b) { b.erase(b.begin() + 4); b[1]--; b[3]--; })); // negative r
    EXPECT_TRUE(refusedWith([](auto& b) { b[b.size() - 1] = 0; b[b.size() - 2] = 2; b.push_back(0x05); b[1]++; })); // padded s
    EXPECT_TRUE(refusedWith([](auto& b) { b.resize(10); }));
    EXPECT_FALSE(EcdsaSignatureFromDer(std::vector<std::uint8_t>{}));
}
