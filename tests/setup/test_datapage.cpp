// The "Data" page on a PC that already holds a data set, and the log line of
// the "Abort" page, on the real form without a server.
#include "setup/ufrmMain.h"
#include "tests/ui/uUiTestKit.h"
#include "translation/uTranslator.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace {

class DataPage : public testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        Books = std::string(temp) + "datapage-" + std::to_string(GetCurrentProcessId());
        Empty = Books + "-empty";
        CreateDirectoryA(Books.c_str(), nullptr);
        CreateDirectoryA((Books + "\\GLOBAL").c_str(), nullptr);
        std::ofstream(Books + "\\GLOBAL\\WINKEL.DAT") << "books";
        CreateDirectoryA(Empty.c_str(), nullptr);
        Application->SetTitle("Korvant Setup");
        form = std::make_unique<TfrmMain>(nullptr);
        form->ShowForm();
        Application->ProcessMessages();
    }
    void TearDown() override
    {
        form.reset();
        DeleteFileA((Books + "\\GLOBAL\\WINKEL.DAT").c_str());
        RemoveDirectoryA((Books + "\\GLOBAL").c_str());
        RemoveDirectoryA(Books.c_str());
        RemoveDirectoryA(Empty.c_str());
    }
    // The page as it is shown after the program step.
    void ShowDataPage(const std::string& folder)
    {
        form->GegevensLocatie->SetText(folder);
        form->Notebook1->SetPageIndex(5);
        form->DataPageShown();
        Application->ProcessMessages();
    }
    bool Checked(TRadioButton* button) { return SendMessageA(button->Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

    std::string Books, Empty;
    std::unique_ptr<TfrmMain> form;
};

TEST_F(DataPage, AFolderWithADataSetChoosesNoDataAndSaysSo)
{
    ShowDataPage(Empty);
    EXPECT_TRUE(Checked(form->rbSERVER));
    EXPECT_FALSE(IsWindowVisible(form->lbDATAFOUND->Handle()));

    ShowDataPage(Books + "\\");
    EXPECT_TRUE(Checked(form->rbWORKSTATION));
    EXPECT_FALSE(Checked(form->rbSERVER));
    EXPECT_FALSE(IsWindowEnabled(form->GegevensType->Handle())) << "as a click on the choice leaves it";
    EXPECT_TRUE(IsWindowVisible(form->lbDATAFOUND->Handle()));
    EXPECT_EQ(form->lbDATAFOUND->Caption(), "Er zijn al gegevens gevonden op deze locatie. Ze blijven ongewijzigd.");

    // An empty field is no folder at all, whatever the current drive holds.
    EXPECT_FALSE(TfrmMain::HoldsDataSet(""));
    EXPECT_FALSE(TfrmMain::HoldsDataSet("  "));
}

TEST_F(DataPage, NextInstallingDataOverADataSetIsRefusedAndStaysOnThePage)
{
    ShowDataPage(Empty);
    form->GegevensLocatie->SetText(Books); // typed after the page was shown
    TModalScript script{IDOK};
    SendMessageA(form->btNEXT->Handle(), BM_CLICK, 0, 0);
    Application->ProcessMessages();
    ASSERT_EQ(script.Requests.size(), 1u);
    EXPECT_EQ(script.Requests[0].Kind, TModalKind::MessageBox);
    EXPECT_EQ(script.Requests[0].Text, "De opgegeven locatie bevat al gegevens. Deze worden niet overschreven.");
    EXPECT_EQ(script.Requests[0].Flags, 0x1010u);
    EXPECT_EQ(form->PageIndex(), 5);
    EXPECT_TRUE(IsWindowEnabled(form->btNEXT->Handle()));
    EXPECT_TRUE(IsWindowVisible(form->btCANCEL->Handle()));
    EXPECT_TRUE(IsWindowVisible(form->lbDATAFOUND->Handle()));
    // Nothing was made in the folder.
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((Books + "\\*").c_str(), &found);
    int entries = 0;
    do
        entries += found.cFileName[0] != '.';
    while (FindNextFileA(find, &found));
    FindClose(find);
    EXPECT_EQ(entries, 1) << "only GLOBAL";
}

TEST_F(DataPage, TheAbortPageNamesTheLogOfTheRun)
{
    ASSERT_FALSE(form->Log().Path().empty());
    EXPECT_FALSE(IsWindowVisible(form->lbLOGPATH->Handle()));
    form->StepCancelled();
    Application->ProcessMessages();
    EXPECT_EQ(form->PageIndex(), 8);
    EXPECT_TRUE(IsWindowVisible(form->lbLOGPATH->Handle()));
    EXPECT_EQ(form->lbLOGPATH->Caption(), "Het verslag van deze installatie staat in " + form->Log().Path());
    const std::string path = form->Log().Path();
    form.reset();
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("KORVANT Setup "), std::string::npos) << text;
    EXPECT_NE(text.find("End: the wizard was closed on page Abort, not installed"), std::string::npos)
        << text;
    DeleteFileA(path.c_str());
}

} // namespace
