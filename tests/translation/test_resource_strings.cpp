// The runtime's own texts pass the program's translator, on its own thread.
#include "TestSupport.h"

#include "runtime/uResStrings.h"
#include "translation/uTranslator.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// The program's translator over a stand-in executable carrying the test
// catalog as French; shut down again afterwards.
class ResourceStringTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TBytes french = ReadBytes(BuildPath("tests/translation/catalogs/test-le.mo"));
        TProgram p = MakeProgram("resource-strings", {{"locale\\fr\\lc_messages\\default.mo", french}});
        InitializeTranslation(p.Path, p.Table);
    }
    void TearDown() override { FinalizeTranslation(); }
};

} // namespace

TEST_F(ResourceStringTest, RuntimeTextsAreTranslatedOnTheTranslatorsThreadOnly)
{
    ChooseLanguage("fr");
    EXPECT_EQ(LoadResString(rs::SMsgDlgCancel), "Abandon");
    EXPECT_EQ(LoadResString(rs::SMsgDlgOK), "OK"); // no entry

    AnsiString onWorker;
    std::thread worker([&] { onWorker = LoadResString(rs::SMsgDlgCancel); });
    worker.join();
    EXPECT_EQ(onWorker, "Cancel");

    // Not a string-table id at all.
    EXPECT_EQ(LoadResString(TResString{70000, "Whatever"}), "ERROR");

    ChooseLanguage("nl");
    EXPECT_EQ(LoadResString(rs::SMsgDlgCancel), "Cancel");
}

TEST_F(ResourceStringTest, TheGlobalCallsActOnTheProgramsTranslator)
{
    ASSERT_NE(DefaultTranslator, nullptr);
    ChooseLanguage("fr");
    EXPECT_EQ(TranslateText(u"Volgende >"), u"Suivant >");
    EXPECT_EQ(TranslateResourceString("Waarschuwing"), "Avertissement");
    EXPECT_EQ(TranslateResourceString(""), "");

    FinalizeTranslation();
    // Once shut down the runtime's texts come through untouched.
    EXPECT_EQ(LoadResString(rs::SMsgDlgCancel), "Cancel");
    EXPECT_EQ(TranslateResourceString("Waarschuwing"), "Waarschuwing");
}
