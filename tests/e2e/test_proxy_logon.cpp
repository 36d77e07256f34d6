// Whole installations through proxies that want a logon: squid with Basic
// and the NTLM peer (tests/peers), the logon typed into the wizard's own
// dialog by this test as a person would.
#include "uWizardDriver.h"

#include "../support/uInstallTestFiles.h"

#include <gtest/gtest.h>

#include <string>

using namespace e2e;
using namespace installtest;

namespace {

constexpr const char* Password = "Geheim-123";

// The text of this run's support log: the newest one in the temporary folder.
std::string NewestSetupLog()
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    WIN32_FIND_DATAA found{};
    HANDLE h = FindFirstFileA((std::string(temp) + "KORVANT Setup *.log").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return {};
    std::string newest;
    FILETIME newestTime{};
    do {
        if (CompareFileTime(&found.ftLastWriteTime, &newestTime) > 0) {
            newestTime = found.ftLastWriteTime;
            newest = found.cFileName;
        }
    } while (FindNextFileA(h, &found));
    FindClose(h);
    return ReadFileText(std::string(temp) + newest);
}

class ProxyLogonInstall : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveTree("C:\\KORVANT07");
        DeleteFileA((DesktopFolder() + "Korvant.lnk").c_str());
    }

    void ToProxyPageWith(TWizard& w, int port)
    {
        w.ClickButton("Volgende >");
        ASSERT_TRUE(WaitUntil([&] { return w.Find("Button", "Volgende >") != nullptr; }, 10s));
        w.ClickButton("Volgende >");
        w.ClickButton("Volgende >");
        ASSERT_TRUE(WaitUntil([&] { return w.FindAt("Edit", ProxyServerAt.x, ProxyServerAt.y) != nullptr; }, 10s));
        HWND box = w.FindAt("Button", PageLeft + 20, 204);
        ASSERT_NE(box, nullptr);
        w.Click(box);
        w.SetText(w.FindAt("Edit", ProxyServerAt.x, ProxyServerAt.y), "127.0.0.1");
        w.SetText(w.FindAt("Edit", ProxyPortAt.x, ProxyPortAt.y), std::to_string(port));
        ASSERT_TRUE(WaitUntil([&] { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }, 5s));
        w.ClickButton("Volgende >");
    }

    // Answers the logon dialog; an empty user presses Annuleren.
    static void Answer(TWizard& w, HWND dialog, const std::string& user, const std::string& password, bool remember)
    {
        // Two fields; the password's is the masked one.
        HWND userEdit = nullptr, passwordEdit = nullptr;
        for (HWND edit = FindWindowExA(dialog, nullptr, "Edit", nullptr); edit;
             edit = FindWindowExA(dialog, edit, "Edit", nullptr))
            ((GetWindowLongA(edit, GWL_STYLE) & ES_PASSWORD) ? passwordEdit : userEdit) = edit;
        ASSERT_NE(userEdit, nullptr) << "no user name field in the logon dialog";
        ASSERT_NE(passwordEdit, nullptr) << "no masked password field in the logon dialog";
        if (user.empty()) {
            w.PressDialogButton(dialog, "Annuleren");
            return;
        }
        w.SetText(userEdit, user);
        w.SetText(passwordEdit, password);
        if (remember) {
            HWND box = FindWindowExA(dialog, nullptr, "Button", "&Onthouden voor deze installatie");
            ASSERT_NE(box, nullptr);
            w.Click(box);
            ASSERT_TRUE(WaitUntil([&] { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }, 5s));
        }
        w.PressDialogButton(dialog, "OK");
    }

    static void ExpectNoPasswordInTheLog()
    {
        const std::string log = NewestSetupLog();
        EXPECT_FALSE(log.empty());
        EXPECT_EQ(log.find(Password), std::string::npos) << "the password is in the support log";
        EXPECT_EQ(log.find("Fout-1"), std::string::npos) << "a typed password is in the support log";
        EXPECT_NE(log.find("asks for a logon"), std::string::npos) << log;
    }
};

TEST_F(ProxyLogonInstall, BasicThroughSquidAskedOnceWhenRemembered)
{
    TWizard w;
    ToProxyPageWith(w, 8770);
    HWND dialog = w.WaitForDialog("Aanmelden bij proxy 127.0.0.1", 60s);
    ASSERT_NE(dialog, nullptr) << w.Describe();
    EXPECT_NE(w.DialogMessage(dialog).find("127.0.0.1"), std::string::npos);
    // A wrong password first: asked again, saying so.
    Answer(w, dialog, "korvant", "Fout-1", true);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 10s));
    dialog = w.WaitForDialog("Aanmelden bij proxy 127.0.0.1", 60s);
    ASSERT_NE(dialog, nullptr);
    EXPECT_NE(w.DialogMessage(dialog).find("geweigerd"), std::string::npos) << w.DialogMessage(dialog);
    Answer(w, dialog, "korvant", Password, true);
    // Remembered: every later file passes without a question.
    ASSERT_TRUE(w.WaitForLabel(HeadingData, 120s)) << w.Describe();
    EXPECT_TRUE(Exists(InstallFolder + "KORVANT07.EXE"));
    const std::string squid = ReadFileText(BinaryDir() + "\\peers\\squid\\access.log");
    EXPECT_NE(squid.find("/korvant07/main.zip korvant"), std::string::npos) << squid;
    ExpectNoPasswordInTheLog();
}

TEST_F(ProxyLogonInstall, NtlmThroughThePeerAskedForEachFileWhenNotRemembered)
{
    TWizard w;
    ToProxyPageWith(w, 8771);
    int asked = 0;
    while (!w.LabelVisible(HeadingData)) {
        HWND dialog = w.WaitForDialog("Aanmelden bij proxy 127.0.0.1", 20s);
        if (!dialog)
            break;
        ++asked;
        Answer(w, dialog, "korvant", Password, false);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 10s));
        ASSERT_LT(asked, 10);
    }
    ASSERT_TRUE(w.WaitForLabel(HeadingData, 300s)) << w.Describe();
    EXPECT_GE(asked, 3) << "each download should have asked again";
    EXPECT_TRUE(Exists(InstallFolder + "KORVANT07.EXE"));
    const std::string peer = ReadFileText(BinaryDir() + "\\peers\\ntlm-proxy.log");
    EXPECT_NE(peer.find("GET http://127.0.0.1:8707/korvant07/main.zip HTTP/1.1 | NTLM type 3 user=korvant domain= | NTLMv2 ok"),
              std::string::npos)
        << peer;
    ExpectNoPasswordInTheLog();
}

TEST_F(ProxyLogonInstall, CancelInTheDialogEndsTheStepWithThe407)
{
    TWizard w;
    ToProxyPageWith(w, 8770);
    HWND dialog = w.WaitForDialog("Aanmelden bij proxy 127.0.0.1", 60s);
    ASSERT_NE(dialog, nullptr) << w.Describe();
    Answer(w, dialog, "", "", false);
    HWND box = w.WaitForDialog("Korvant Setup");
    ASSERT_NE(box, nullptr) << "no error box";
    EXPECT_NE(w.DialogMessage(box).find("407 Proxy Authentication Required"), std::string::npos) << w.DialogMessage(box);
    w.PressDialogButton(box, "OK");
    EXPECT_TRUE(w.WaitForLabel(HeadingAbort, 30s));
    EXPECT_FALSE(Exists(InstallFolder + "KORVANT07.EXE"));
}

} // namespace
