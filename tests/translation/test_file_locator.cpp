// Catalogs carried at the end of an executable, and the shared catalog cache.
#include "TestSupport.h"

#include "runtime/uSysUtils.h"
#include "translation/uFileLocator.h"
#include "translation/uTranslationErrors.h"

#include <gtest/gtest.h>

namespace {

const std::string FrenchName = "locale\\fr\\lc_messages\\default.mo";

} // namespace

TEST(FileLocator, WithoutATableEverythingComesFromDisk)
{
    AnsiString dir = FreshFolder("locator-none");
    WriteBytes(dir + "default.mo", MakeMo({{"", "header"}, {"Ja", "Oui"}}));
    // This test program was linked without catalogs: its field is zero.
    EXPECT_EQ(PatchTableOffset(), 0u);
    TFileLocator locator(dir + "Setup.exe");
    locator.ScanEmbeddedTable();
    EXPECT_EQ(locator.BaseDirectory(), "");
    EXPECT_EQ(locator.EmbeddedFileCount(), 0);
    EXPECT_FALSE(locator.IsEmbeddedFile(dir + "default.mo"));
    EXPECT_FALSE(locator.IsEmbeddedFile(FrenchName));

    TMoFile* catalog = locator.AcquireCatalog(dir + "default.mo");
    EXPECT_EQ(catalog->Lookup("Ja"), "Oui");
    locator.ReleaseCatalog(catalog);
    EXPECT_EQ(locator.OpenCatalogCount(), 0);
}

TEST(FileLocator, TableNamesMatchWithoutCaseButTheFolderPrefixMatchesExactly)
{
    TProgram p = MakeProgram("locator-case", {{FrenchName, MakeMo({{"", "h"}, {"Ja", "Oui"}})}});
    TFileLocator locator(p.Path);
    locator.ScanEmbeddedTable(p.Table);
    EXPECT_EQ(locator.BaseDirectory(), p.Folder);
    ASSERT_EQ(locator.EmbeddedFileCount(), 1);

    EXPECT_TRUE(locator.IsEmbeddedFile(p.Folder + "locale\\fr\\LC_MESSAGES\\default.mo"));
    EXPECT_TRUE(locator.IsEmbeddedFile(p.Folder + "LOCALE\\FR\\LC_MESSAGES\\DEFAULT.MO"));
    EXPECT_FALSE(locator.IsEmbeddedFile(LowerCase(p.Folder) + "locale\\fr\\LC_MESSAGES\\default.mo"));
    EXPECT_FALSE(locator.IsEmbeddedFile(p.Folder + "locale\\nl\\LC_MESSAGES\\default.mo"));

    // A bare table name passes the test, but only a path under the program's
    // folder is served from the program; the bare name is opened from disk.
    EXPECT_TRUE(locator.IsEmbeddedFile("locale\\FR\\LC_MESSAGES\\default.mo"));
    EXPECT_THROW(locator.AcquireCatalog("locale\\FR\\LC_MESSAGES\\default.mo"), ETranslationIOError);

    TMoFile* catalog = locator.AcquireCatalog(p.Folder + "locale\\fr\\LC_MESSAGES\\default.mo");
    EXPECT_EQ(catalog->Lookup("Ja"), "Oui");
    locator.ReleaseCatalog(catalog);
}

TEST(FileLocator, NamesPaddedWithNulReadTheSame)
{
    TProgram p = MakeProgram("locator-nul", {{FrenchName, MakeMo({{"", "h"}})}}, '\0');
    TFileLocator locator(p.Path);
    locator.ScanEmbeddedTable(p.Table);
    EXPECT_NE(locator.EmbeddedFile(FrenchName), nullptr);
    EXPECT_TRUE(locator.IsEmbeddedFile(p.Folder + "locale\\fr\\LC_MESSAGES\\default.mo"));
}

TEST(FileLocator, ABrokenTableKeepsTheRecordsReadBeforeIt)
{
    TBytes mo = MakeMo({{"", "h"}});
    auto scan = [&](const std::string& test, auto breakSecond) {
        TProgram p = MakeProgram(test, {{"a.mo", mo}, {"b.mo", mo}, {"c.mo", mo}});
        TBytes image = ReadBytes(p.Path);
        breakSecond(image, p.Table + 256);
        WriteBytes(p.Path, image);
        TFileLocator locator(p.Path);
        locator.ScanEmbeddedTable(p.Table);
        return locator.EmbeddedFileCount();
    };
    auto setNext = [](std::uint64_t next) {
        return [next](TBytes& image, std::uint64_t record) {
            for (int i = 0; i < 8; ++i)
                image[record + i] = static_cast<std::uint8_t>(next >> (8 * i));
        };
    };
    EXPECT_EQ(scan("locator-past-end", setNext(0x7FFFFF00)), 1);
    // A record pointing at itself or backwards would scan forever.
    EXPECT_EQ(scan("locator-loop", [&](TBytes& image, std::uint64_t record) { setNext(record)(image, record); }), 1);
    EXPECT_EQ(scan("locator-back", [&](TBytes& image, std::uint64_t record) { setNext(record - 256)(image, record); }), 1);
    // The same name twice ends the table too.
    EXPECT_EQ(scan("locator-twice", [](TBytes& image, std::uint64_t record) { image[record + 24] = 'a'; }), 1);
    // A table offset beyond the file embeds nothing, without a complaint.
    TProgram p = MakeProgram("locator-beyond", {{"a.mo", mo}});
    TFileLocator locator(p.Path);
    locator.ScanEmbeddedTable(1u << 30);
    EXPECT_EQ(locator.EmbeddedFileCount(), 0);
}

TEST(FileLocator, DomainsShareOneCatalogUntilTheLastLetsGo)
{
    TProgram p = MakeProgram("locator-share", {{FrenchName, MakeMo({{"", "h"}, {"Ja", "Oui"}})}});
    TFileLocator locator(p.Path);
    locator.ScanEmbeddedTable(p.Table);
    AnsiString path = p.Folder + "locale\\fr\\LC_MESSAGES\\default.mo";

    TMoFile* first = locator.AcquireCatalog(path);
    TMoFile* second = locator.AcquireCatalog(p.Folder + "LOCALE\\fr\\lc_messages\\default.mo");
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->UseCount, 2);
    EXPECT_EQ(locator.OpenCatalogCount(), 1);
    locator.ReleaseCatalog(first);
    EXPECT_EQ(second->UseCount, 1);
    EXPECT_EQ(second->Lookup("Ja"), "Oui");
    locator.ReleaseCatalog(second);
    EXPECT_EQ(locator.OpenCatalogCount(), 0);
    EXPECT_THROW(locator.ReleaseCatalog(nullptr), ETranslationProgrammingError);
}

TEST(FileLocator, TheEmbeddedCatalogWinsOverADiskFileOfTheSamePath)
{
    TProgram p = MakeProgram("locator-wins", {{FrenchName, MakeMo({{"", "h"}, {"Ja", "Oui (embedded)"}})}});
    AnsiString folder = p.Folder + "locale\\fr\\LC_MESSAGES\\";
    MakeFolders(folder);
    WriteBytes(folder + "default.mo", MakeMo({{"", "h"}, {"Ja", "Oui (disk)"}}));
    TFileLocator locator(p.Path);
    locator.ScanEmbeddedTable(p.Table);
    TMoFile* catalog = locator.AcquireCatalog(folder + "default.mo");
    EXPECT_EQ(catalog->Lookup("Ja"), "Oui (embedded)");
    locator.ReleaseCatalog(catalog);
}
