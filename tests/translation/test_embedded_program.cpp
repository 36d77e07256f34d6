// This program is built like the wizard: the translation starts before main,
// the runtime's texts come from its string table, and the French catalog was
// appended to it after linking.
#include "TestSupport.h"

#include "platform/uSystem.h"
#include "runtime/uResStrings.h"
#include "translation/uTranslator.h"

#include <gtest/gtest.h>

TEST(EmbeddedProgram, TheTranslatorExistsBeforeMainAndFindsTheCarriedCatalog)
{
    // Nothing has called the translation yet (which would start it on first
    // use): it was started before main.
    ASSERT_NE(DefaultTranslator, nullptr);
    EXPECT_EQ(ExecutableFileName(), platform::ModuleFileName());
    ASSERT_EQ(FileLocator->EmbeddedFileCount(), 1);
    EXPECT_NE(FileLocator->EmbeddedFile("locale\\fr\\lc_messages\\default.mo"), nullptr);
    EXPECT_NE(PatchTableOffset(), 0u);
    EXPECT_EQ(PatchTableOffset() % 256, 0u);

    // The carried catalog is the one msgfmt compiled, byte for byte.
    const TEmbeddedFileInfo* info = FileLocator->EmbeddedFile("locale\\fr\\lc_messages\\default.mo");
    TBytes program = ReadBytes(ExecutableFileName());
    TBytes catalog = ReadBytes(BuildPath("translation/locale/fr/LC_MESSAGES/default.mo"));
    ASSERT_EQ(info->Size, std::int64_t(catalog.size()));
    EXPECT_TRUE(std::equal(catalog.begin(), catalog.end(), program.begin() + info->Offset));
    // The table sits at the end: one record, then the end mark.
    EXPECT_EQ(program.size(), PatchTableOffset() + 256 + 8);
}

TEST(EmbeddedProgram, FrenchAndDutchAsTheWizardUsesThem)
{
    ChooseLanguage("nl");
    EXPECT_EQ(TranslateText(u"Volgende >"), u"Volgende >");
    EXPECT_EQ(TranslateText(u"WAARSCHUWING"), u"WAARSCHUWING");
    EXPECT_EQ(FileLocator->OpenCatalogCount(), 0);

    ChooseLanguage("fr");
    EXPECT_EQ(TranslateText(u"Volgende >"), u"Suivant >");
    EXPECT_EQ(TranslateText(u"WAARSCHUWING"), u"AVERTISSEMENT");
    EXPECT_EQ(TranslateText(u"Bent u zeker ?"), u"\u00CAtes-vous certainement ?");
    EXPECT_EQ(TranslateText(u"HTTP Error:"), u"HTTP Error:");
    EXPECT_EQ(TranslateText(u"De opgegeven locatie bevat geen geldige gegevens."),
              u"L'emplacement sp\u00E9cifi\u00E9 ne contient pas de donn\u00E9es valides.");
    EXPECT_EQ(FileLocator->OpenCatalogCount(), 1);

    // Every pair of the source reads in French through the whole engine.
    for (const auto& [msgid, msgstr] : ReadPoPairs(SourcePath("translation/locale/fr/LC_MESSAGES/default.po")))
        EXPECT_EQ(TranslateText(Utf8ToWide(msgid)), Utf8ToWide(msgstr)) << msgid;

    // Back to Dutch: the catalog is released and texts are as designed.
    ChooseLanguage("nl");
    EXPECT_EQ(FileLocator->OpenCatalogCount(), 0);
    EXPECT_EQ(TranslateText(u"Volgende >"), u"Volgende >");
}

TEST(EmbeddedProgram, TheRuntimeTextsComeFromTheStringTable)
{
    // The built-in fallbacks are the same texts; the raw loader proves the
    // table is really in the program.
    for (const TResString* res : {&rs::SMsgDlgOK, &rs::SMsgDlgCancel, &rs::SMsgDlgYes, &rs::SMsgDlgNo,
                                  &rs::SListIndexError, &rs::SFCreateError, &rs::SInvalidRegType}) {
        AnsiString text;
        ASSERT_TRUE(LoadResStringRaw(res->Id, text)) << res->Id;
        EXPECT_EQ(text, res->Default);
    }
    ChooseLanguage("fr");
    // The French catalog holds no framework texts: they read the same.
    EXPECT_EQ(LoadResString(rs::SMsgDlgCancel), "Cancel");
    EXPECT_EQ(LoadResString(rs::SMsgDlgYes), "&Yes");
}
