// A PC that already has KORVANT: the books stay as they are, a file held open
// is asked about before anything is replaced, a small drive is said before
// any download, and every run leaves a log for support. Through the real
// window, against nginx with the signed demo content.
#include "uWizardDriver.h"

#include <shellapi.h>

#include "../support/uInstallTestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

using namespace e2e;
namespace fs = std::filesystem;

using namespace installtest;

namespace {

const std::string DataFoundLine = "Er zijn al gegevens gevonden op deze locatie. Ze blijven ongewijzigd.";
const std::string InUseQuestion = "KORVANT is nog geopend. Sluit het programma en kies Opnieuw proberen.";

// Every file below a folder with its bytes: what "left as it was" compares.
std::map<std::string, std::string> Snapshot(const std::string& folder)
{
    std::map<std::string, std::string> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->is_regular_file())
            files[it->path().string()] = ReadFileText(it->path().string());
    return files;
}

std::string FaultControlFile() { return BinaryDir() + "\\e2e\\faultproxy.control"; }

void SetFaults(const std::string& lines)
{
    static int run = 0;
    std::ofstream out(FaultControlFile(), std::ios::binary | std::ios::trunc);
    out << "#existing-" << ++run << "\n" << lines;
    std::ofstream(FaultControlFile() + ".log", std::ios::binary | std::ios::trunc);
}

// The request lines the fault proxy saw, "GET url HTTP/1.1|...".
std::vector<std::string> ProxyRequests()
{
    std::ifstream in(FaultControlFile() + ".log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (line.rfind("GET ", 0) == 0)
            lines.push_back(line);
    return lines;
}

// The log a run made: the one file that was not there before it.
std::string NewLog(const std::set<std::string>& before)
{
    std::string made;
    for (const std::string& log : SetupLogs())
        if (!before.count(log)) {
            EXPECT_TRUE(made.empty()) << "two new logs: " << made << " and " << log;
            made = log;
        }
    return made;
}

void ExpectLogHolds(const std::string& log, const std::vector<std::string>& patterns)
{
    ASSERT_FALSE(log.empty());
    const std::string text = ReadFileText(log);
    EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF") << "not marked as UTF-8";
    for (const std::string& pattern : patterns)
        EXPECT_TRUE(std::regex_search(text, std::regex(pattern))) << "no line like " << pattern << " in\n" << text;
    // The archive password and any credential never stand in it.
    EXPECT_EQ(text.find("mirabel"), std::string::npos) << text;
    EXPECT_EQ(text.find("secret"), std::string::npos) << text;
}

class ExistingPc : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveTree("C:\\KORVANT07");
        SetFaults("");
        LogsBefore = SetupLogs();
    }
    void TearDown() override
    {
        SetFaults("");
        if (Held != INVALID_HANDLE_VALUE)
            CloseHandle(Held);
    }

    void ToProxyPage(TWizard& w)
    {
        w.ClickButton("Volgende >");
        w.ClickButton("Volgende >");
        w.ClickButton("Volgende >");
        ASSERT_TRUE(WaitUntil([&] { return w.FindAt("Edit", ProxyServerAt.x, ProxyServerAt.y) != nullptr; }, 10s));
    }
    void UseFaultProxy(TWizard& w)
    {
        HWND box = w.FindAt("Button", PageLeft + 20, 204);
        ASSERT_NE(box, nullptr);
        w.Click(box);
        w.SetText(w.FindAt("Edit", ProxyServerAt.x, ProxyServerAt.y), "127.0.0.1");
        w.SetText(w.FindAt("Edit", ProxyPortAt.x, ProxyPortAt.y), std::to_string(FaultProxyPort));
        ASSERT_TRUE(WaitUntil([&] { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }, 5s));
    }
    // A whole installation with every default.
    void InstallEverything()
    {
        TWizard w;
        ToProxyPage(w);
        w.ClickButton("Volgende >");
        ASSERT_TRUE(w.WaitForLabel(HeadingData, 300s));
        w.ClickButton("Volgende >");
        ASSERT_TRUE(w.WaitForLabel(HeadingDone, 300s));
        w.ClickButton("Voltooien");
        ASSERT_TRUE(w.WaitForExit(20s));
    }
    void Hold(const std::string& path)
    {
        Held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(Held, INVALID_HANDLE_VALUE) << path;
    }
    void Release()
    {
        CloseHandle(Held);
        Held = INVALID_HANDLE_VALUE;
    }

    std::set<std::string> LogsBefore;
    HANDLE Held = INVALID_HANDLE_VALUE;
};

// The system's Retry/Cancel box, as Wine and English Windows caption it.
std::string RetryButton() { return "&Retry"; }

bool IsChecked(HWND button) { return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// The Abort page names the log of the run on a line of its own.
std::string LogPathOnAbortPage(const TWizard& w)
{
    const std::string prefix = "Het verslag van deze installatie staat in ";
    for (const std::string& label : w.VisibleLabels())
        if (label.rfind(prefix, 0) == 0)
            return label.substr(prefix.size());
    return {};
}

TEST_F(ExistingPc, ARunAgainWithEveryDefaultLeavesTheBooksByteForByte)
{
    InstallEverything();
    const std::string firstLog = NewLog(LogsBefore);
    ExpectLogHolds(firstLog, {
        R"(KORVANT Setup \d+\.\d+\.\d+\.\d+, Windows \d+\.\d+)",
        R"(Language: nl)",
        R"(Program step: drive C, install folder C:\\KORVANT07\\, no proxy)",
        R"(GET http://[^ ]+/korvant07/manifest\.txt: HTTP/1\.1 200 OK, \d+ bytes in \d+ ms)",
        R"(GET http://[^ ]+/korvant07/main\.zip: HTTP/1\.1 200 OK, \d+ bytes in \d+ ms)",
        R"(Verified main\.zip: \d+ bytes, SHA-256 [0-9a-f]{64}, genuine)",
        R"(Free space on C: \d+ MB, needed \d+ MB)",
        R"(Unpacked main\.zip into C:\\KORVANT07\\: 4 files, \d+ bytes)",
        R"(Data choice: install data, folder C:\\KORVANT07\\DATA07, variant benl)",
        R"(Run C:\\KORVANT07\\KORVANT07\.EXE "/action=CreateAdministratieDB" "C:\\KORVANT07\\DATA07\\GLOBAL": exit code 0)",
        R"(Run C:\\KORVANT07\\KORVANT07\.EXE "/action=CreateMessagesDB" "C:\\KORVANT07\\DATA07\\MESSAGES": exit code 0)",
        R"(Written C:\\KORVANT07\\CONFIG07\.INI)",
        R"(Written C:\\KORVANT07\\000\\CONFIG07\.INI)",
        R"(Written .*\\Korvant\.lnk)",
        R"(End: Finish on page Einde, installed)",
    });

    // The firm works: its books change, and files of its own appear.
    WriteFileText(DataFolder + "GLOBAL\\WINKEL.DAT", "KORVANT data set\r\nvariant=benl\r\nklanten=1234\r\n");
    WriteFileText(DataFolder + "GLOBAL\\ADMINISTRATIE.DB", "twelve years of books\r\n");
    WriteFileText(DataFolder + "MESSAGES\\MESSAGES.DB", "every message sent\r\n");
    WriteFileText(DataFolder + "GLOBAL\\SJABLONEN\\STANDAARD.TXT", "our own template\r\n");
    WriteFileText(DataFolder + "GLOBAL\\FACTUREN.DAT", "invoices, in no archive\r\n");
    WriteFileText(DataFolder + "LEVLIST\\LEVERANCIERS.DAT", "suppliers\r\n");
    WriteFileText(DataFolder + "upgrade.txt", "notes the firm kept\r\n");
    const auto books = Snapshot(DataFolder);
    ASSERT_GE(books.size(), 8u);

    std::set<std::string> beforeSecond = SetupLogs();
    TWizard w;
    ToProxyPage(w);
    w.ClickButton("Volgende >");
    ASSERT_TRUE(w.WaitForLabel(HeadingData, 300s));
    // The data page already knows: no data are installed, and it says why.
    EXPECT_TRUE(w.WaitForLabel(DataFoundLine, 10s)) << w.Describe();
    EXPECT_TRUE(IsChecked(w.Find("Button", "Installeer GEEN gegevens."))) << w.Describe();
    EXPECT_FALSE(IsChecked(w.Find("Button", "Installeer de gegevens op de PC")));
    w.ClickButton("Volgende >");
    ASSERT_TRUE(w.WaitForLabel(HeadingDone, 300s));
    w.ClickButton("Voltooien");
    ASSERT_TRUE(w.WaitForExit(20s));

    EXPECT_EQ(Snapshot(DataFolder), books);
    // The program was not asked to create anything again.
    EXPECT_EQ(ReadFileText(InstallFolder + "KORVANT07.LOG"),
              "C:\\KORVANT07\\KORVANT07.EXE \"/action=CreateAdministratieDB\" \"C:\\KORVANT07\\DATA07\\GLOBAL\"\r\n"
              "C:\\KORVANT07\\KORVANT07.EXE \"/action=CreateMessagesDB\" \"C:\\KORVANT07\\DATA07\\MESSAGES\"\r\n");
    ExpectLogHolds(NewLog(beforeSecond), {R"(Data page: C:\\KORVANT07\\DATA07 holds a data set)",
                                          R"(Data choice: no data, folder C:\\KORVANT07\\DATA07)"});
}

TEST_F(ExistingPc, InstallingDataOverAnExistingDataSetIsRefusedWithNothingChanged)
{
    const std::string other = "C:\\KORVANT07-BOEKEN\\";
    RemoveTree("C:\\KORVANT07-BOEKEN");
    CreateDirectoryA(other.c_str(), nullptr);
    CreateDirectoryA((other + "GLOBAL").c_str(), nullptr);
    WriteFileText(other + "GLOBAL\\WINKEL.DAT", "the firm's data set\r\n");
    WriteFileText(other + "GLOBAL\\ADMINISTRATIE.DB", "the firm's books\r\n");
    const auto books = Snapshot(other);

    TWizard w;
    ToProxyPage(w);
    UseFaultProxy(w);
    w.ClickButton("Volgende >");
    ASSERT_TRUE(w.WaitForLabel(HeadingData, 300s));
    // The default folder is new: data would be installed there.
    EXPECT_TRUE(IsChecked(w.Find("Button", "Installeer de gegevens op de PC")));
    EXPECT_FALSE(w.LabelVisible(DataFoundLine));
    // A folder typed afterwards is judged when Next is pressed.
    w.SetText(w.FindAt("Edit", DataFolderAt.x, DataFolderAt.y), other);
    SetFaults("");
    w.ClickButton("Volgende >");
    HWND box = w.WaitForDialog("Korvant Setup");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(w.DialogMessage(box), "De opgegeven locatie bevat al gegevens. Deze worden niet overschreven.");
    w.PressDialogButton(box, "OK");
    ASSERT_TRUE(w.WaitForLabel(HeadingData, 30s));
    // The page judges the folder again once the box is closed.
    EXPECT_TRUE(w.WaitForLabel(DataFoundLine, 10s)) << w.Describe();
    EXPECT_NE(w.Find("Button", "Volgende >"), nullptr);

    EXPECT_EQ(Snapshot(other), books);
    EXPECT_TRUE(ProxyRequests().empty()) << "downloaded: " << ProxyRequests().front();
    EXPECT_FALSE(Exists(InstallFolder + "CONFIG07.INI"));
    EXPECT_FALSE(Exists(InstallFolder + "KORVANT07.LOG")) << "the program was run";
    w.Click(w.Find("Button", "&Annuleer"));
    HWND question = w.WaitForDialog("WAARSCHUWING", 10s);
    ASSERT_NE(question, nullptr);
    w.PressDialogButton(question, "&Yes");
    ASSERT_TRUE(w.WaitForLabel(HeadingAbort, 10s));
    const std::string log = LogPathOnAbortPage(w);
    ExpectLogHolds(log, {R"(Program step: drive C, install folder C:\\KORVANT07\\, proxy 127\.0\.0\.1:\d+)",
                         R"(Error box: De opgegeven locatie bevat al gegevens\. Deze worden niet overschreven\.)",
                         R"(Question: Cancel\? Answer: Yes)"});
    w.ClickButton("Voltooien");
    ASSERT_TRUE(w.WaitForExit(20s));
    EXPECT_NE(ReadFileText(log).find("End: Finish on page Abort, not installed"), std::string::npos);
    RemoveTree("C:\\KORVANT07-BOEKEN");
}

class HeldFile : public ExistingPc {
protected:
    // A program installed before; the customer's copy of one file differs.
    void SetUp() override
    {
        ExistingPc::SetUp();
        InstallEverything();
        WriteFileText(InstallFolder + "VERSION.TXT", "as the customer had it\r\n");
        Before = Snapshot(InstallFolder);
        Hold(InstallFolder + "VERSION.TXT");
        LogsBefore = SetupLogs();
    }
    HWND AskedAbout(TWizard& w)
    {
        ToProxyPage(w);
        w.ClickButton("Volgende >");
        HWND question = w.WaitForDialog("Korvant Setup", 300s);
        EXPECT_NE(question, nullptr) << w.Describe();
        if (question)
            EXPECT_EQ(w.DialogMessage(question), InUseQuestion);
        return question;
    }
    std::map<std::string, std::string> Before;
};

TEST_F(HeldFile, RetryAfterClosingItInstalls)
{
    TWizard w;
    HWND question = AskedAbout(w);
    ASSERT_NE(question, nullptr);
    // Still open: asked again.
    w.PressDialogButton(question, RetryButton());
    question = w.WaitForDialog("Korvant Setup", 60s);
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(w.DialogMessage(question), InUseQuestion);
    Release();
    w.PressDialogButton(question, RetryButton());
    ASSERT_TRUE(w.WaitForLabel(HeadingData, 300s)) << w.Describe();
    EXPECT_EQ(ReadFileText(InstallFolder + "VERSION.TXT"), "KORVANT 07 demo\r\nversion 7.0.1\r\n");
    w.Click(w.Find("Button", "&Annuleer"));
    HWND cancel = w.WaitForDialog("WAARSCHUWING", 10s);
    ASSERT_NE(cancel, nullptr);
    w.PressDialogButton(cancel, "&Yes");
    ASSERT_TRUE(w.WaitForLabel(HeadingAbort, 10s));
    ExpectLogHolds(LogPathOnAbortPage(w), {R"(In use: C:\\KORVANT07\\VERSION\.TXT)",
                                           R"(Question: KORVANT is nog geopend\..*Answer: Retry)"});
}

TEST_F(HeldFile, CancelLeavesEveryOldFileAsItWas)
{
    TWizard w;
    HWND question = AskedAbout(w);
    ASSERT_NE(question, nullptr);
    w.PressDialogButton(question, "Cancel");
    ASSERT_TRUE(w.WaitForLabel(HeadingAbort, 30s)) << w.Describe();
    EXPECT_EQ(w.WaitForDialog("Korvant Setup", 2s), nullptr) << "an error box after the user's own Cancel";
    Release();
    auto after = Snapshot(InstallFolder);
    // The step's own download, kept for the next run, is the only new file.
    after.erase(InstallFolder + "main.zip");
    EXPECT_EQ(after, Before);
    const std::string log = LogPathOnAbortPage(w);
    ExpectLogHolds(log, {R"(Question: KORVANT is nog geopend\..*Answer: Cancel)", R"(Program step cancelled)"});
    w.ClickButton("Voltooien");
    ASSERT_TRUE(w.WaitForExit(20s));
    EXPECT_NE(ReadFileText(log).find("End: Finish on page Abort, not installed"), std::string::npos);
}

// Drive D: is a tmpfs of a few megabytes (smalldrive.sh).
TEST_F(ExistingPc, ASmallDriveIsSaidBeforeAnythingButTheComponentListIsFetched)
{
    const std::string unavailable = ReadFileText(BinaryDir() + "\\e2e\\small-drive.unavailable");
    if (!unavailable.empty())
        GTEST_SKIP() << "no small drive D: for this test: " << unavailable;
    RemoveTree("D:\\KORVANT07");
    TWizard w;
    w.ClickButton("Volgende >");
    w.ClickButton("Volgende >");
    HWND drives = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (drives = w.FindAt("ComboBox", DriveListAt.x, DriveListAt.y)) != nullptr; }, 10s));
    // The list holds the fixed drives in the system's order.
    char roots[512] = {};
    GetLogicalDriveStringsA(sizeof roots, roots);
    int index = 0, d = -1;
    for (const char* root = roots; *root; root += strlen(root) + 1)
        if (GetDriveTypeA(root) == DRIVE_FIXED || GetDriveTypeA(root) == DRIVE_REMOTE || GetDriveTypeA(root) == DRIVE_RAMDISK) {
            if (toupper(root[0]) == 'D')
                d = index;
            ++index;
        }
    ASSERT_GE(d, 0) << "drive D: is not listed";
    w.SelectComboItem(drives, d);
    w.ClickButton("Volgende >");
    ASSERT_TRUE(WaitUntil([&] { return w.FindAt("Edit", ProxyServerAt.x, ProxyServerAt.y) != nullptr; }, 10s));
    UseFaultProxy(w);
    SetFaults("");
    w.ClickButton("Volgende >");
    HWND box = w.WaitForDialog("Korvant Setup", 120s);
    ASSERT_NE(box, nullptr) << w.Describe();
    const std::string message = w.DialogMessage(box);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(message, m,
        std::regex(R"(Te weinig vrije schijfruimte op station D:\. Nodig: (\d+) MB, vrij: (\d+) MB\.)"))) << message;
    EXPECT_GT(std::stoi(m[1]), 16);
    EXPECT_LE(std::stoi(m[2]), 4);
    for (const std::string& request : ProxyRequests())
        EXPECT_TRUE(request.find("/manifest.txt ") != std::string::npos || request.find("/manifest.sig ") != std::string::npos)
            << "fetched before the check: " << request;
    w.PressDialogButton(box, "OK");
    ASSERT_TRUE(w.WaitForLabel(HeadingAbort, 30s));
    EXPECT_FALSE(Exists("D:\\KORVANT07\\ZipEng179.dll"));
    const std::string log = LogPathOnAbortPage(w);
    ExpectLogHolds(log, {R"(Program step: drive D, install folder D:\\KORVANT07\\, proxy 127\.0\.0\.1:\d+)",
                         R"(Free space on D: \d+ MB, needed \d+ MB)",
                         R"(Error box: Te weinig vrije schijfruimte op station D:\.)"});
    w.ClickButton("Voltooien");
    ASSERT_TRUE(w.WaitForExit(20s));
    EXPECT_NE(ReadFileText(log).find("End: Finish on page Abort, not installed"), std::string::npos);
}

// The demo program never creates a database over one that is there, and
// says so in its own log.
TEST(DemoProgram, ADatabaseThatExistsIsRefusedAndKept)
{
    const std::string folder = "C:\\KORVANT07-DEMO\\";
    RemoveTree("C:\\KORVANT07-DEMO");
    CreateDirectoryA(folder.c_str(), nullptr);
    CopyFileA((BinaryDir() + "\\demo\\KORVANT07.EXE").c_str(), (folder + "KORVANT07.EXE").c_str(), FALSE);
    auto run = [&](const std::string& arguments) {
        std::string line = folder + "KORVANT07.EXE " + arguments;
        STARTUPINFOA start{sizeof start};
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process))
            return DWORD(-1);
        WaitForSingleObject(process.hProcess, 30000);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        return code;
    };
    const std::string args = "\"/action=CreateAdministratieDB\" \"" + folder + "GLOBAL\"";
    EXPECT_EQ(run(args), 0u);
    EXPECT_EQ(ReadFileText(folder + "GLOBAL\\ADMINISTRATIE.DB"), "KORVANT demo database\r\n");
    WriteFileText(folder + "GLOBAL\\ADMINISTRATIE.DB", "books\r\n");
    EXPECT_EQ(run(args), 4u);
    EXPECT_EQ(ReadFileText(folder + "GLOBAL\\ADMINISTRATIE.DB"), "books\r\n");
    EXPECT_NE(ReadFileText(folder + "KORVANT07.LOG").find("refused: " + folder + "GLOBAL\\ADMINISTRATIE.DB exists\r\n"),
              std::string::npos);
    RemoveTree("C:\\KORVANT07-DEMO");
}

} // namespace
