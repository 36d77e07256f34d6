// Reading message catalogs: msgfmt's output in both byte orders, and
// hand-made images for what msgfmt does not write.
#include "TestSupport.h"

#include "translation/uMoCatalog.h"
#include "translation/uMoFile.h"
#include "translation/uTranslationErrors.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

std::string Find(const TMoCatalog& catalog, std::string_view key, bool expectFound = true)
{
    std::string translation;
    EXPECT_EQ(catalog.Lookup(key, translation), expectFound) << key;
    return translation;
}

std::string Numbered(const char* prefix, int number)
{
    std::string text = prefix;
    text += std::to_string(number);
    return text;
}

// A catalog only borrows its bytes: keep every image alive for the whole
// test program, so a temporary handed in cannot be read after it is gone.
TMoCatalog Attach(TBytes bytes)
{
    static std::deque<TBytes> images;
    images.push_back(std::move(bytes));
    TMoCatalog catalog;
    EXPECT_TRUE(catalog.Attach(images.back()));
    return catalog;
}

std::string ExpectIOError(const AnsiString& path, std::int64_t offset = 0)
{
    try {
        TMoFile file(path, offset, 0);
    } catch (const ETranslationIOError& e) {
        return e.Message();
    }
    ADD_FAILURE() << "no error for " << path;
    return {};
}

} // namespace

TEST(MoFile, MsgfmtCatalogsReadTheSameInBothByteOrders)
{
    TMoFile little(BuildPath("tests/translation/catalogs/test-le.mo"), 0, 0);
    TMoFile big(BuildPath("tests/translation/catalogs/test-be.mo"), 0, 0);
    EXPECT_FALSE(little.SwapBytes());
    EXPECT_TRUE(big.SwapBytes());
    ASSERT_EQ(little.EntryCount(), big.EntryCount());

    for (const TMoFile* file : {&little, &big}) {
        bool found = false;
        EXPECT_EQ(file->Lookup("Volgende >", found), "Suivant >");
        EXPECT_TRUE(found);
        // UTF-8 bytes above 127 compare unsigned; a signed compare misses them.
        EXPECT_EQ(file->Lookup("Fran\xC3\xA7" "ais"), "Franz\xC3\xB6sisch");
        EXPECT_EQ(file->Lookup("Item een"), "\xC3\x89l\xC3\xA9ment un");
        // A proper prefix of an entry is a different key; both exist here.
        EXPECT_EQ(file->Lookup("Taal"), "Langue");
        EXPECT_EQ(file->Lookup("Taalkeuze"), "Choix de langue");
        EXPECT_EQ(file->Lookup("Taalk", found), "Taalk");
        EXPECT_FALSE(found);
        EXPECT_EQ(file->Lookup("Regel een\nRegel twee"), "Ligne un\nLigne deux");
        // The plural entry is keyed by singular NUL plural, forms NUL-separated.
        EXPECT_EQ(file->Lookup(std::string("E\xC3\xA9n bestand\0%d bestanden", 25)),
                  std::string("Un fichier\0%d fichiers", 22));
        // The empty key is the header, found like any entry.
        std::string header = file->Lookup("", found);
        EXPECT_TRUE(found);
        EXPECT_NE(header.find("Content-Type: text/plain; charset=UTF-8\n"), std::string::npos);
        EXPECT_EQ(file->Lookup("Onbekend", found), "Onbekend");
        EXPECT_FALSE(found);
    }
}

TEST(MoFile, ATranslationThatWouldReadOtherArgumentsIsNotUsed)
{
    // msgfmt without --check-format writes what it is given.
    TMoFile file(BuildPath("tests/translation/catalogs/test-le.mo"), 0, 0);
    bool found = true;
    EXPECT_EQ(file.Lookup("Stap %d van %d: %s", found), "Stap %d van %d: %s");
    EXPECT_FALSE(found);
    EXPECT_EQ(file.Lookup("Nog %d seconden", found), "Encore %3d secondes");
    EXPECT_TRUE(found);
    EXPECT_EQ(file.Lookup("Volgende >"), "Suivant >");
}

TEST(MoFile, TheFrenchCatalogAnswersEveryPairOfItsSource)
{
    TMoFile french(BuildPath("translation/locale/fr/LC_MESSAGES/default.mo"), 0, 0);
    auto pairs = ReadPoPairs(SourcePath("translation/locale/fr/LC_MESSAGES/default.po"));
    ASSERT_EQ(pairs.size(), 120u);
    EXPECT_EQ(french.EntryCount(), 121u); // the header and 120 pairs
    EXPECT_EQ(french.SearchStart(), 64u);
    EXPECT_EQ(french.SearchStep(), 32u);
    for (const auto& [msgid, msgstr] : pairs) {
        bool found = false;
        EXPECT_EQ(french.Lookup(msgid, found), msgstr);
        EXPECT_TRUE(found) << msgid;
    }
    // Blanks are part of the text: one blank less is another key.
    bool found = true;
    french.Lookup("De gegevens zijn aanwezig of staan op een andere PC/Server", found);
    EXPECT_FALSE(found);
    EXPECT_EQ(french.Lookup("Gegevens installeren"), "Installation de donn\xC3\xA9" "es ");
}

TEST(MoFile, ACatalogInsideALargerFileReadsAsTheSameBytesOnTheirOwn)
{
    AnsiString dir = FreshFolder("mo-offset");
    TBytes catalog = ReadBytes(BuildPath("tests/translation/catalogs/test-le.mo"));
    TBytes host(1177088 + catalog.size(), 0x5A);
    std::copy(catalog.begin(), catalog.end(), host.begin() + 1177088);
    WriteBytes(dir + "host.bin", host);

    TMoFile inside(dir + "host.bin", 1177088, std::int64_t(catalog.size()));
    TMoFile alone(BuildPath("tests/translation/catalogs/test-le.mo"), 0, 0);
    for (const char* key : {"", "Annuleer", "Kolom", "Waarschuwing", "Fran\xC3\xA7" "ais", "zzz"})
        EXPECT_EQ(inside.Lookup(key), alone.Lookup(key)) << key;
}

TEST(MoFile, ConstructionFailuresNameTheFile)
{
    AnsiString dir = FreshFolder("mo-errors");
    EXPECT_EQ(ExpectIOError(dir + "missing.mo"), "Cannot open file " + dir + "missing.mo");

    WriteBytes(dir + "text.mo", TBytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(ExpectIOError(dir + "text.mo"), "This file is not a valid GNU gettext mo file: " + dir + "text.mo");

    // Too short for a header, or a catalog said to start past the end.
    WriteBytes(dir + "short.mo", TBytes{0xDE, 0x12, 0x04, 0x95});
    EXPECT_EQ(ExpectIOError(dir + "short.mo"), "This file is not a valid GNU gettext mo file: " + dir + "short.mo");
    WriteBytes(dir + "good.mo", MakeMo({{"a", "b"}}));
    EXPECT_EQ(ExpectIOError(dir + "good.mo", 1 << 20),
              "This file is not a valid GNU gettext mo file: " + dir + "good.mo");

    // An empty file cannot be mapped.
    WriteBytes(dir + "empty.mo", {});
    EXPECT_EQ(ExpectIOError(dir + "empty.mo"), "Cannot create memory map on file " + dir + "empty.mo");
}

TEST(MoCatalog, EmptyCatalogFindsNothingAndEmptyTranslationsAreFound)
{
    TMoCatalog none = Attach(MakeMo({}));
    EXPECT_EQ(none.EntryCount(), 0u);
    EXPECT_EQ(Find(none, "", false), "");
    EXPECT_EQ(Find(none, "iets", false), "iets");

    // msgfmt drops entries without translation; a hand-made one is still an entry.
    TMoCatalog blank = Attach(MakeMo({{"", "header"}, {"Leeg", ""}, {"Vol", "Plein"}}));
    EXPECT_EQ(Find(blank, "Leeg"), "");
    EXPECT_EQ(Find(blank, "Vol"), "Plein");
}

TEST(MoCatalog, SearchConstantsAndProbesForSmallAndPowerOfTwoSizes)
{
    TMoCatalog one = Attach(MakeMo({{"m", "M"}}));
    EXPECT_EQ(one.SearchStart(), 1u);
    EXPECT_EQ(one.SearchStep(), 0u);
    EXPECT_EQ(Find(one, "m"), "M");
    EXPECT_EQ(Find(one, "a", false), "a");
    EXPECT_EQ(Find(one, "z", false), "z");

    TMoCatalog two = Attach(MakeMo({{"a", "A"}, {"b", "B"}}));
    EXPECT_EQ(two.SearchStart(), 2u);
    EXPECT_EQ(two.SearchStep(), 1u);
    EXPECT_EQ(Find(two, "a"), "A");
    EXPECT_EQ(Find(two, "b"), "B");

    std::vector<std::pair<std::string, std::string>> entries;
    for (int i = 0; i < 64; ++i)
        entries.emplace_back(Numbered("key", 100 + i), Numbered("value", i));
    TMoCatalog full = Attach(MakeMo(entries));
    EXPECT_EQ(full.SearchStart(), 64u);
    EXPECT_EQ(full.SearchStep(), 32u);
    entries.pop_back();
    TMoCatalog less = Attach(MakeMo(entries));
    EXPECT_EQ(less.SearchStart(), 32u);
    EXPECT_EQ(less.SearchStep(), 16u);
}

TEST(MoCatalog, EveryEntryOfEverySizeIsFoundAndNothingElse)
{
    for (int n = 1; n <= 140; ++n) {
        std::vector<std::pair<std::string, std::string>> entries;
        for (int i = 0; i < n; ++i)
            entries.emplace_back(Numbered("k", 1000 + 2 * i), Numbered("v", i));
        TBytes little = MakeMo(entries), big = MakeMo(entries, true);
        TMoCatalog a = Attach(little), b = Attach(big);
        for (int i = 0; i < n; ++i) {
            std::string key = Numbered("k", 1000 + 2 * i);
            ASSERT_EQ(Find(a, key), Numbered("v", i)) << "n=" << n;
            ASSERT_EQ(Find(b, key), Numbered("v", i)) << "n=" << n;
            // Keys between, before and after the entries are absent.
            Find(a, Numbered("k", 1001 + 2 * i), false);
        }
        Find(a, "a", false);
        Find(a, "z", false);
    }
}

TEST(MoCatalog, FormatConversionsMustConsumeTheSameArguments)
{
    struct TCase {
        const char* Original;
        const char* Translation;
        bool Same;
    };
    const TCase cases[] = {
        {"geen", "aucun", true},
        {"%d van %d", "%d sur %d", true},
        {"%5.2f%%", "%.1f %%", true},       // widths and %% are free
        {"%d", "%i", true},                 // the same argument class
        {"%x", "%u", true},
        {"%s", "%d", false},                // another type: undefined behaviour
        {"%d", "%d %d", false},             // one argument more
        {"%d %s", "%s %d", false},          // another order
        {"geen", "%s", false},              // a pattern where there was none
        {"%ld", "%d", false},               // another width of argument
        {"%*d", "%d", false},               // the star takes an argument
        {"100 % voltooid", "100 % terminÃ©", false}, // "% t" is no conversion
        {"%", "%", true},
        {"%n", "%n", true},
        {"%d", "%n", false},
        {std::string_view("een\0%d stuks", 12).data(), "", true},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(SameFormatConversions(c.Original, c.Translation), c.Same) << c.Original << " / " << c.Translation;
    // Plural forms: each form of the translation matches one of the original's.
    const std::string one("%d bestand\0%d bestanden", 23);
    EXPECT_TRUE(SameFormatConversions(one, std::string("un fichier\0%d fichiers", 22)));
    EXPECT_FALSE(SameFormatConversions(one, std::string("%s fichier\0%d fichiers", 22)));
    EXPECT_FALSE(SameFormatConversions(one, std::string("un fichier\0%d %d fichiers", 25)));

    TMoCatalog catalog = Attach(MakeMo({{"", "Header %s"}, {"%d dag", "%s jour"}, {"%d uur", "%d heure"}}));
    EXPECT_EQ(catalog.RejectedCount(), 1u);
    EXPECT_EQ(Find(catalog, "%d dag", false), "%d dag");
    EXPECT_EQ(Find(catalog, "%d uur"), "%d heure");
    EXPECT_EQ(Find(catalog, ""), "Header %s");
}

TEST(MoCatalog, BadMagicAndOutOfBoundsDescriptorsAreRefusedWithoutReading)
{
    TMoCatalog catalog;
    TBytes image = MakeMo({{"a", "A"}});
    image[0] ^= 0xFF;
    EXPECT_FALSE(catalog.Attach(image));
    EXPECT_FALSE(catalog.Attach(TBytes(10, 0)));

    // Entries: "" (1), "a" (2), "b" (3), "c" (4).
    TBytes mo = MakeMo({{"", "H"}, {"a", "A"}, {"b", "B"}, {"c", "C"}});
    const std::uint32_t o = 28, t = 28 + 8 * 4;
    TBytes badString = mo;
    PutU32(badString, o + 8 * 2 + 4, 0xFFFFFFF0); // msgid of "b" points past the end
    TBytes badLength = mo;
    PutU32(badLength, t + 8 * 3, 0x7FFFFFFF); // msgstr of "c" runs past the end
    TBytes badTable = mo;
    PutU32(badTable, 16, 0xFFFFFFFC); // msgstr table outside the file
    TBytes hugeCount = mo;
    PutU32(hugeCount, 8, 0xFFFFFFFF); // N far beyond the descriptors

    TMoCatalog s = Attach(badString), l = Attach(badLength), tb = Attach(badTable), h = Attach(hugeCount);
    EXPECT_EQ(Find(s, "b", false), "b");
    EXPECT_EQ(Find(s, "c"), "C"); // the other entries still answer
    EXPECT_EQ(Find(l, "c", false), "c");
    EXPECT_EQ(Find(l, "a"), "A");
    EXPECT_EQ(Find(tb, "a", false), "a");
    EXPECT_EQ(Find(h, "a", false), "a");
    EXPECT_EQ(Find(h, "zzz", false), "zzz");
}
