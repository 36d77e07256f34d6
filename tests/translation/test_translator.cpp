// The translation engine: language choice, catalogs embedded and on disk,
// plural forms, line ends and the character-set check.
#include "TestSupport.h"

#include "platform/uLocale.h"
#include "translation/uTranslator.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::pair<AnsiString, AnsiString>> GMessages;
void RecordMessage(const AnsiString& caption, const AnsiString& text) { GMessages.emplace_back(caption, text); }

// A program folder whose executable carries the test catalog as French, with
// a translator over it. LANG is set for the translator's detection.
class TranslatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GMessages.clear();
        FPrevious = SetTranslationMessageHandler(RecordMessage);
        platform::SetEnvVar("LANG", "fr_BE.UTF-8");
        TBytes french = ReadBytes(BuildPath("tests/translation/catalogs/test-le.mo"));
        Program = MakeProgram(::testing::UnitTest::GetInstance()->current_test_info()->name(),
                              {{"locale\\fr\\lc_messages\\default.mo", french}});
        Locator = std::make_unique<TFileLocator>(Program.Path);
        Locator->ScanEmbeddedTable(Program.Table);
        Translator = std::make_unique<TTranslator>(*Locator);
    }
    void TearDown() override
    {
        Translator.reset();
        Locator.reset();
        SetTranslationMessageHandler(FPrevious);
    }
    // Puts a catalog file on disk for a language.
    void PutCatalog(const std::string& language, const AnsiString& source)
    {
        AnsiString folder = Program.Folder + "locale\\" + language + "\\LC_MESSAGES\\";
        MakeFolders(folder);
        WriteBytes(folder + "default.mo", ReadBytes(source));
    }
    std::u16string T(const std::u16string& text) { return Translator->Translate(text); }

    TProgram Program;
    std::unique_ptr<TFileLocator> Locator;
    std::unique_ptr<TTranslator> Translator;

private:
    TTranslationMessageHandler FPrevious = nullptr;
};

} // namespace

TEST_F(TranslatorTest, LangSelectsTheLanguageAndTheTwoLetterCatalogServesIt)
{
    EXPECT_EQ(Translator->CurrentLanguage, "fr_BE");
    EXPECT_EQ(Translator->CurrentDomain, "default");
    EXPECT_EQ(Translator->BaseDomainDirectory, Program.Folder + "locale");
    EXPECT_EQ(T(u"Volgende >"), u"Suivant >");
    EXPECT_EQ(T(u"Fran\u00E7ais"), u"Franz\u00F6sisch");
    EXPECT_EQ(T(u"Onbekend"), u"Onbekend");

    // A code given by the caller is kept whole, suffix and all.
    Translator->ChooseLanguage("fr_BE.UTF-8");
    EXPECT_EQ(Translator->CurrentLanguage, "fr_BE.UTF-8");
    EXPECT_EQ(T(u"Annuleer"), u"Annuler");

    // Table names match in any case.
    Translator->ChooseLanguage("FR");
    EXPECT_EQ(T(u"Annuleer"), u"Annuler");
    // ANSI texts are widened first.
    EXPECT_EQ(Translator->Translate(AnsiString("Taal")), u"Langue");
}

TEST_F(TranslatorTest, WithoutACatalogTextsComeBackAndAreSearchedOnlyOnce)
{
    Translator->ChooseLanguage("nl");
    EXPECT_EQ(T(u"Volgende >"), u"Volgende >");
    EXPECT_EQ(T(u""), u"");
    TDomain* domain = Translator->FindOrCreateDomain("DEFAULT");
    EXPECT_TRUE(domain->OpenFailed);
    EXPECT_EQ(domain->Catalog, nullptr);
    EXPECT_EQ(Translator->Domains.size(), 1u);

    // Back to French: the catalog opens again, and is released on the next switch.
    Translator->ChooseLanguage("fr");
    EXPECT_EQ(T(u"Volgende >"), u"Suivant >");
    EXPECT_EQ(Locator->OpenCatalogCount(), 1);
    Translator->ChooseLanguage("nl");
    EXPECT_EQ(Locator->OpenCatalogCount(), 0);
}

TEST_F(TranslatorTest, ACatalogOnDiskIsUsedForALanguageThatIsNotEmbedded)
{
    PutCatalog("nl", BuildPath("tests/translation/catalogs/nl.mo"));
    Translator->ChooseLanguage("nl");
    EXPECT_EQ(T(u"Volgende >"), u"Verder >");
    Translator->ChooseLanguage("nl_BE");
    EXPECT_EQ(T(u"Volgende >"), u"Verder >");
}

TEST_F(TranslatorTest, LineEndsAreWindowsStyleWhetherTranslatedOrNot)
{
    Translator->ChooseLanguage("fr");
    EXPECT_EQ(T(u"Regel een\r\nRegel twee"), u"Ligne un\r\nLigne deux");
    EXPECT_EQ(T(u"Regel een\nRegel twee"), u"Ligne un\r\nLigne deux");
    EXPECT_EQ(T(u"een\ntwee"), u"een\r\ntwee");
    EXPECT_EQ(T(u"een\rtwee"), u"eentwee");
    // The empty text is the catalog header, with Windows line ends too.
    std::u16string header = T(u"");
    EXPECT_NE(header.find(u"Content-Type: text/plain; charset=UTF-8\r\n"), std::u16string::npos);
    EXPECT_EQ(header.find(u"8bit\n"), std::u16string::npos);
    EXPECT_EQ(Translator->FindOrCreateDomain("default")->HeaderField("content-type"), u"text/plain; charset=UTF-8");
    EXPECT_EQ(Translator->FindOrCreateDomain("default")->HeaderField("X-Missing"), u"");
}

TEST_F(TranslatorTest, PluralRulesFollowTheLanguage)
{
    struct TCase {
        const char* Code;
        std::vector<int> Forms; // for counts 0, 1, 2, 5, 11, 21, 22, 101, 102, 103, 112
    };
    const int counts[] = {0, 1, 2, 5, 11, 21, 22, 101, 102, 103, 112};
    const TCase cases[] = {
        {"en_US", {1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1}}, {"de", {1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"ja", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},    {"fr_BE", {0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"pt_BR", {0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1}}, {"pt_PT", {1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"lv", {2, 0, 1, 1, 1, 0, 1, 0, 1, 1, 1}},    {"ga", {2, 0, 1, 2, 2, 2, 2, 2, 2, 2, 2}},
        {"lt", {2, 0, 1, 1, 2, 0, 1, 0, 1, 1, 2}},    {"RU", {2, 0, 1, 2, 2, 0, 1, 0, 1, 1, 2}},
        {"pl", {2, 0, 1, 2, 2, 2, 1, 2, 1, 1, 2}},    {"sl", {3, 0, 1, 3, 3, 3, 3, 0, 1, 2, 3}},
        {"nl", {1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
    };
    for (const TCase& c : cases) {
        Translator->ChooseLanguage(c.Code);
        for (size_t i = 0; i < std::size(counts); ++i)
            EXPECT_EQ(Translator->PluralRule(counts[i]), c.Forms[i]) << c.Code << " " << counts[i];
    }
    // Polish has its singular for exactly one: 21 files take the third form.
    EXPECT_EQ(PluralRuleFor("pl")(21), 2);
    EXPECT_EQ(PluralRuleFor("ru")(-21), 0);
}

TEST_F(TranslatorTest, PluralTextsUseTheCatalogFormsOrTheSourceForms)
{
    Translator->ChooseLanguage("fr");
    EXPECT_EQ(Translator->TranslatePlural(u"E\u00E9n bestand", u"%d bestanden", 0), u"Un fichier");
    EXPECT_EQ(Translator->TranslatePlural(u"E\u00E9n bestand", u"%d bestanden", 1), u"Un fichier");
    EXPECT_EQ(Translator->TranslatePlural(u"E\u00E9n bestand", u"%d bestanden", 2), u"%d fichiers");
    // Without an entry the source forms follow the English rule.
    for (int count : {1, -1})
        EXPECT_EQ(Translator->TranslatePlural(u"Een map", u"%d mappen", count), u"Een map");
    for (int count : {0, 2})
        EXPECT_EQ(Translator->TranslatePlural(u"Een map", u"%d mappen", count), u"%d mappen");
    EXPECT_EQ(Translator->TranslatePlural(u"een\nregel", u"twee\nregels", 2), u"twee\r\nregels");
}

TEST_F(TranslatorTest, ACatalogInAnotherCharacterSetTurnsTranslationOffOnce)
{
    PutCatalog("de", BuildPath("tests/translation/catalogs/latin1.mo"));
    Translator->ChooseLanguage("de");
    EXPECT_EQ(T(u"Volgende >"), u"Volgende >");
    ASSERT_EQ(GMessages.size(), 1u);
    EXPECT_EQ(GMessages[0].first, "Localization problem");
    EXPECT_EQ(GMessages[0].second, "The translation for the language code de (in " + Program.Folder +
                                       "locale\\de\\LC_MESSAGES\\default.mo) does not have charset=utf-8 in its "
                                       "Content-Type. Translations are turned off.");
    EXPECT_EQ(Locator->OpenCatalogCount(), 0);
    // The domain stays off for the rest of the run, whatever the language.
    Translator->ChooseLanguage("fr");
    EXPECT_EQ(T(u"Volgende >"), u"Volgende >");
    EXPECT_EQ(GMessages.size(), 1u);
}

TEST_F(TranslatorTest, ABrokenCatalogFailsEveryTranslationUntilItIsMended)
{
    AnsiString folder = Program.Folder + "locale\\xx\\LC_MESSAGES\\";
    MakeFolders(folder);
    WriteBytes(folder + "default.mo", TBytes(64, 'x'));
    Translator->ChooseLanguage("xx");
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            T(u"Volgende >");
            ADD_FAILURE() << "no error";
        } catch (const ETranslationIOError& e) {
            EXPECT_EQ(e.Message(), "This file is not a valid GNU gettext mo file: " + folder + "default.mo");
        }
    }
    WriteBytes(folder + "default.mo", ReadBytes(BuildPath("tests/translation/catalogs/nl.mo")));
    EXPECT_EQ(T(u"Volgende >"), u"Verder >");
}

TEST_F(TranslatorTest, AnsiTextsInACodePageTheSystemLacksFailClearly)
{
    Translator->SourceCodePage = 12345;
    try {
        Translator->Translate(AnsiString("Taal"));
        ADD_FAILURE() << "no error";
    } catch (const ETranslationConvError& e) {
        EXPECT_EQ(e.Message(), "Cannot convert string to widestring:\r\nTaal");
    }
    // The empty text needs no conversion: it is the catalog header.
    EXPECT_NE(Translator->Translate(AnsiString()).find(u"charset=UTF-8"), std::u16string::npos);
}

TEST(LanguageDetection, TheOperatingSystemNamesALanguageAndCountryOrC)
{
    AnsiString code = DetectOSLanguage();
    EXPECT_TRUE(code == "C" || (code.size() >= 5 && code[2] == '_')) << code;
    EXPECT_NE(code.substr(0, 3), "no_");
}
