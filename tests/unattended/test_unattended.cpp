// Setup.exe /S against the demo content, compared with what the wizard does
// with the same choices; every exit code; the uninstall entry as reg.exe
// reads it; and the uninstaller after the books were kept for a while.
#include "tests/e2e/uWizardDriver.h"

#include <windows.h>
#include <shellapi.h>

#include "../support/uInstallTestFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>
#include <map>
#include <string>
#include <vector>

using namespace e2e;
using namespace installtest;

namespace {

const std::string UninstallKey = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KORVANT07";

// Every file below the folder, by relative path, with its bytes.
void Snapshot(const std::string& folder, const std::string& relative, std::map<std::string, std::string>& files)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + relative + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            files[relative + name + "\\"] = "";
            Snapshot(folder, relative + name + "\\", files);
        } else {
            files[relative + name] = ReadFileText(folder + relative + name);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

std::map<std::string, std::string> Snapshot(const std::string& folder)
{
    std::map<std::string, std::string> files;
    Snapshot(folder, "", files);
    return files;
}

std::vector<std::string> Names(const std::map<std::string, std::string>& files)
{
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files)
        names.push_back(name);
    return names;
}

struct TRun {
    DWORD ExitCode = STILL_ACTIVE;
    std::string Output; // standard output and error together
};

// Runs a command line with its output in a pipe, and waits for it.
TRun Run(const std::string& commandLine)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    TRun run;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = writeEnd;
    start.hStdError = writeEnd;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process);
    CloseHandle(writeEnd);
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
            run.Output.append(buffer, got);
        WaitForSingleObject(process.hProcess, 600000);
        GetExitCodeProcess(process.hProcess, &run.ExitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(readEnd);
    return run;
}

TRun RunSetup(const std::string& arguments) { return Run("\"" + BinaryDir() + "\\bin\\Setup.exe\" " + arguments); }
TRun Uninstall(const std::string& arguments = "/S")
{
    return Run("\"" + InstallFolder + "UNINSTALL.EXE\" /UNINSTALL " + arguments);
}

// The uninstall entry as reg.exe shows it: value name -> data.
std::map<std::string, std::string> UninstallEntry()
{
    std::map<std::string, std::string> values;
    const TRun run = Run("reg.exe query \"" + UninstallKey + "\"");
    std::istringstream lines(run.Output);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto type = line.find("    REG_");
        if (line.rfind("    ", 0) != 0 || type == std::string::npos)
            continue;
        const auto data = line.find("    ", type + 4);
        values[line.substr(4, type - 4)] = data == std::string::npos ? "" : line.substr(data + 4);
    }
    return values;
}

// What nginx served since the mark: request line, status and size.
class TAccessLog {
public:
    TAccessLog() : FPath(BinaryDir() + "\\peers\\nginx-access.log") { Mark(); }
    void Mark() { FStart = ReadFileText(FPath).size(); }
    std::vector<std::string> Since() const
    {
        std::istringstream lines(ReadFileText(FPath).substr(FStart));
        std::vector<std::string> requests;
        for (std::string line; std::getline(lines, line);) {
            const auto quote = line.find('"');
            if (quote != std::string::npos)
                requests.push_back(line.substr(quote));
        }
        return requests;
    }

private:
    std::string FPath;
    std::size_t FStart = 0;
};

std::string MainIni(const std::string& dataFolder)
{
    return "[CONFIG]\r\nDEFAULT_BEDRIJF=000\r\n"
           "[BEDRIJVEN]\r\n000=\"STANDAARD\"\r\n"
           "[000]\r\nID=\"000\"\r\nNAAM=\"STANDAARD\"\r\nBEDRIJF_DIRECTORY=\"" +
           dataFolder +
           "\"\r\n"
           "USE_DBSERVER=0\r\nPC_DBSERVER=\r\nAFSTAND=0\r\n";
}

std::string CompanyIni(const std::string& kaskontant, const std::string& taal)
{
    return "[CONFIG]\r\nKASKONTANT=" + kaskontant +
           "\r\nBACKUP_AUTO=1\r\nBACKUP_AUTO_CURRENT=1\r\nBACKUP_COMPRESSIE=5\r\n"
           "MAIL_SERVER=2\r\nMAIL_INDELING=2\r\nTAAL=" +
           taal + "\r\n";
}

void SetFaults(const std::string& lines)
{
    static int run = 0;
    WriteFileText(BinaryDir() + "\\e2e\\faultproxy.control", "#run-" + std::to_string(++run) + "-unattended\n" + lines);
}

// The text of the message box with Setup's caption, once it shows, closed with OK.
std::string AnswerMessageBox()
{
    HWND box = nullptr;
    if (!WaitUntil([&] { return (box = FindWindowA("#32770", "Korvant Setup")) != nullptr; }, 60s))
        return "(no message box)";
    std::string text;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (ClassOf(child) == "Static" && WindowText(child).size() > text.size())
            text = WindowText(child);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return text;
}

class Unattended : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { SetFaults(""); }
    static void Clean()
    {
        RemoveTree("C:\\KORVANT07");
        RemoveTree("C:\\Gegevens Korvant");
        DeleteFileA(DesktopLink().c_str());
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KORVANT07");
    }
    std::string Log(const char* name) const { return "C:\\korvant-unattended-" + std::string(name) + ".log"; }
};

// The wizard with every default, then Setup.exe /S: the same files (program,
// data set, configuration byte for byte, uninstaller and its list), the same
// shortcut and the same requests in the same order. Then the entry, and the
// uninstaller after the books were changed.
TEST_F(Unattended, SameInstallationAsTheWizardThenAnUninstallThatKeepsTheBooks)
{
    TAccessLog wire;
    {
        TWizard w;
        w.ClickButton("Volgende >");
        ASSERT_TRUE(WaitUntil([&] { return w.Find("Button", "Volgende >") != nullptr; }, 10s));
        w.ClickButton("Volgende >");
        w.ClickButton("Volgende >");
        w.ClickButton("Volgende >");
        ASSERT_TRUE(w.WaitForLabel("Gegevens installeren", 300s)) << w.Describe();
        w.ClickButton("Volgende >");
        ASSERT_TRUE(w.WaitForLabel("Installatie voltooid", 300s)) << w.Describe();
        w.ClickButton("Voltooien");
        EXPECT_TRUE(w.WaitForExit(20s));
    }
    const auto wizardFiles = Snapshot(InstallFolder);
    const auto wizardRequests = wire.Since();
    const std::string wizardLink = ReadFileText(DesktopLink());
    ASSERT_FALSE(wizardLink.empty());
    CopyFileA(DesktopLink().c_str(), (BinaryDir() + "\\unattended\\wizard.lnk").c_str(), FALSE);
    const auto wizardEntry = UninstallEntry();

    Clean();
    wire.Mark();
    DeleteFileA(Log("same").c_str());
    const TRun run = RunSetup("/S /LOG=" + Log("same"));
    ASSERT_EQ(run.ExitCode, 0u) << ReadFileText(Log("same"));
    EXPECT_EQ(run.Output, "");
    const auto files = Snapshot(InstallFolder);
    EXPECT_EQ(Names(files), Names(wizardFiles));
    for (const auto& [name, bytes] : wizardFiles)
        EXPECT_TRUE(files.count(name) && files.at(name) == bytes) << name << " differs from the wizard's";
    EXPECT_EQ(files.at("CONFIG07.INI"), MainIni(DataFolder));
    EXPECT_EQ(files.at("000\\CONFIG07.INI"), CompanyIni("570000", "NL"));
    EXPECT_EQ(wire.Since(), wizardRequests);
    // The bytes hold the folders' times; lnkinfo compares the rest.
    CopyFileA(DesktopLink().c_str(), (BinaryDir() + "\\unattended\\unattended.lnk").c_str(), FALSE);
    const std::string log = ReadFileText(Log("same"));
    EXPECT_NE(log.find("KORVANT is ge\xC3\xAFnstalleerd in C:\\KORVANT07\\."), std::string::npos) << log;
    EXPECT_NE(log.find("Einde met afsluitcode 0."), std::string::npos) << log;

    // The entry, as reg.exe reads it; the same after either way of installing.
    const auto entry = UninstallEntry();
    EXPECT_EQ(entry, wizardEntry);
    EXPECT_EQ(entry.at("DisplayName"), "KORVANT");
    EXPECT_FALSE(entry.at("DisplayVersion").empty());
    EXPECT_EQ(entry.at("Publisher"), "Tolvek BVBA");
    EXPECT_EQ(entry.at("InstallLocation"), InstallFolder);
    EXPECT_EQ(entry.at("DisplayIcon"), InstallFolder + "KORVANT07.EXE");
    EXPECT_EQ(entry.at("NoModify"), "0x1");
    EXPECT_EQ(entry.at("NoRepair"), "0x1");
    EXPECT_EQ(entry.at("UninstallString"), "\"C:\\KORVANT07\\UNINSTALL.EXE\" /UNINSTALL");
    EXPECT_EQ(entry.at("QuietUninstallString"), "\"C:\\KORVANT07\\UNINSTALL.EXE\" /UNINSTALL /S");
    EXPECT_EQ(entry.at("InstallDate").size(), 8u);
    const unsigned long kib = std::stoul(entry.at("EstimatedSize"), nullptr, 16);
    EXPECT_GT(kib, (files.at("KORVANT07.EXE").size() + files.at("HELP\\HANDLEIDING.DAT").size()) / 1024);
    EXPECT_LT(kib, 200u * 1024);

    // The books change while the program is used; the user keeps a file of
    // his own in the install folder and the program a key of its own.
    const std::string list = ReadFileText(InstallFolder + "UNINSTALL.LST");
    WriteFileText(DataFolder + "GLOBAL\\WINKEL.DAT", files.at("DATA07\\GLOBAL\\WINKEL.DAT") + "booked=2026-12-10\r\n");
    WriteFileText(DataFolder + "GLOBAL\\FACTUUR-0001.DAT", "invoice 1\r\n");
    WriteFileText(InstallFolder + "CONFIG07.INI", files.at("CONFIG07.INI") + "[001]\r\nNAAM=\"TWEEDE\"\r\n");
    WriteFileText(InstallFolder + "HELP\\MIJN NOTITIES.TXT", "mine\r\n");
    WriteFileText(InstallFolder + "MINE.TXT", "mine\r\n");
    const auto before = Snapshot(InstallFolder);

    // Refused while the program runs: nothing removed.
    {
        HANDLE running = CreateFileA((InstallFolder + "KORVANT07.EXE").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     0, nullptr);
        ASSERT_NE(running, INVALID_HANDLE_VALUE);
        EXPECT_EQ(Uninstall("/S /LOG=" + Log("uninstall-in-use")).ExitCode, 4u);
        CloseHandle(running);
        EXPECT_EQ(Snapshot(InstallFolder), before);
        EXPECT_NE(ReadFileText(Log("uninstall-in-use")).find("KORVANT is in gebruik"), std::string::npos);
    }

    const TRun removal = Uninstall("/S /LOG=" + Log("uninstall"));
    ASSERT_EQ(removal.ExitCode, 0u) << ReadFileText(Log("uninstall"));
    const auto after = Snapshot(InstallFolder);
    for (const auto& [name, bytes] : before) {
        const bool kept = name.rfind("DATA07\\", 0) == 0 || name == "CONFIG07.INI" || name == "000\\" ||
                          name == "000\\CONFIG07.INI" || name == "MINE.TXT" || name == "HELP\\" ||
                          name == "HELP\\MIJN NOTITIES.TXT" || name == "KORVANT07.LOG" || name == "DATA07\\";
        if (kept)
            EXPECT_TRUE(after.count(name) && after.at(name) == bytes) << name << " was not kept as it was";
        else
            EXPECT_EQ(after.count(name), 0u) << name << " was not removed";
    }
    EXPECT_EQ(after.size(), before.size() - 8) << "removed: the 6 recorded files, the uninstaller and its list";
    for (const char* file : {"ZipEng179.dll", "KORVANT07.EXE", "VERSION.TXT", "UPGRADE.TXT", "HELP\\LEESMIJ.TXT",
                             "HELP\\HANDLEIDING.DAT"})
        EXPECT_NE(list.find(std::string("file=") + file + "\r\n"), std::string::npos) << file << " not on the list";
    EXPECT_FALSE(Exists(DesktopLink()));
    EXPECT_TRUE(UninstallEntry().empty());
    const std::string uninstallLog = ReadFileText(Log("uninstall"));
    EXPECT_NE(uninstallLog.find("Uw gegevens en instellingen zijn bewaard: | C:\\KORVANT07\\DATA07\\"), std::string::npos)
        << uninstallLog;
}

struct TVariantCase {
    const char* Code;
    const char* Kaskontant;
    const char* Extra;       // further options
    const char* DataFolder;  // as configured
};

class UnattendedFrench : public Unattended, public ::testing::WithParamInterface<TVariantCase> {};

// French, each variant; one with its own data folder through tinyproxy. The
// configuration is the wizard's byte for byte (as its own tests hold it),
// and a second run over an entry brings it up to date.
TEST_P(UnattendedFrench, EachVariant)
{
    const TVariantCase& c = GetParam();
    // An entry of an older installation, replaced by this one.
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KORVANT07", 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "InstallDate", 0, REG_SZ, reinterpret_cast<const BYTE*>("19990101"), 9);
    RegSetValueExA(key, "DisplayVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>("6.0"), 4);
    RegCloseKey(key);

    const TRun run = RunSetup(std::string("-s /LANG=fr /VARIANT=") + c.Code + " " + c.Extra + " /LOG=" + Log(c.Code));
    ASSERT_EQ(run.ExitCode, 0u) << ReadFileText(Log(c.Code));
    EXPECT_EQ(ReadFileText(std::string(c.DataFolder) + "GLOBAL\\WINKEL.DAT"),
              std::string("KORVANT data set\r\nvariant=") + c.Code + "\r\n");
    EXPECT_EQ(ReadFileText(InstallFolder + "CONFIG07.INI"), MainIni(c.DataFolder));
    EXPECT_EQ(ReadFileText(InstallFolder + "000\\CONFIG07.INI"), CompanyIni(c.Kaskontant, "FR"));
    EXPECT_TRUE(Exists(DesktopLink()));
    EXPECT_NE(ReadFileText(Log(c.Code)).find("KORVANT est install\xC3\xA9 dans C:\\KORVANT07\\."), std::string::npos)
        << ReadFileText(Log(c.Code));
    const auto entry = UninstallEntry();
    EXPECT_NE(entry.at("InstallDate"), "19990101");
    EXPECT_NE(entry.at("DisplayVersion"), "6.0");
    EXPECT_NE(ReadFileText(InstallFolder + "UNINSTALL.LST").find("language=fr\r\n"), std::string::npos);

    // Removed again: a data folder of its own stays as it is, wherever it lies.
    const auto data = Snapshot(c.DataFolder);
    ASSERT_EQ(Uninstall("/S /LOG=" + Log("fr-uninstall")).ExitCode, 0u) << ReadFileText(Log("fr-uninstall"));
    EXPECT_EQ(Snapshot(c.DataFolder), data);
    EXPECT_FALSE(Exists(InstallFolder + "KORVANT07.EXE"));
    EXPECT_NE(ReadFileText(Log("fr-uninstall")).find(std::string("KORVANT a \xC3\xA9t\xC3\xA9 d\xC3\xA9sinstall\xC3\xA9.")),
              std::string::npos)
        << ReadFileText(Log("fr-uninstall"));
}

INSTANTIATE_TEST_SUITE_P(
    Variants, UnattendedFrench,
    ::testing::Values(TVariantCase{"benl", "570000", "", "C:\\KORVANT07\\DATA07\\"},
                      TVariantCase{"nl", "01000", "\"/DATA=C:\\Gegevens Korvant\" /PROXY=127.0.0.1:8708",
                                   "C:\\Gegevens Korvant\\"},
                      TVariantCase{"befr", "570000", "/DRIVE=c: \"/DATA=C:\\Gegevens Korvant\\\\\"", "C:\\Gegevens Korvant\\"}));

// Exit codes 1 to 4 and 6; each failure with its message in the log, and
// nothing done where the command line or the data folder says no.
TEST_F(Unattended, EveryFailureHasItsExitCodeAndItsLogLine)
{
    TAccessLog wire;
    // 2: a bad command line, on the standard error stream and in the log.
    DeleteFileA(Log("2").c_str());
    TRun run = RunSetup("/S /VARIANT=xx /LOG=" + Log("2"));
    EXPECT_EQ(run.ExitCode, 2u);
    EXPECT_EQ(run.Output.substr(0, run.Output.find('\r')), "Ongeldige waarde voor /VARIANT: xx");
    EXPECT_NE(ReadFileText(Log("2")).find("Ongeldige waarde voor /VARIANT: xx"), std::string::npos);
    EXPECT_EQ(RunSetup("/S /DRIVE=Q /LOG=" + Log("2q")).ExitCode, 2u);
    EXPECT_NE(ReadFileText(Log("2q")).find("Ongeldige waarde voor /DRIVE: Q:\\"), std::string::npos);
    EXPECT_FALSE(Exists(InstallFolder));
    EXPECT_TRUE(wire.Since().empty());

    // 3: no data set to use, and one that is never installed over.
    EXPECT_EQ(RunSetup("/S /EXISTINGDATA /LOG=" + Log("3a")).ExitCode, 3u);
    EXPECT_NE(ReadFileText(Log("3a")).find("De opgegeven locatie bevat geen geldige gegevens."), std::string::npos);
    EXPECT_FALSE(Exists(InstallFolder));
    CreateDirectoryA("C:\\KORVANT07", nullptr);
    CreateDirectoryA("C:\\KORVANT07\\DATA07", nullptr);
    CreateDirectoryA("C:\\KORVANT07\\DATA07\\GLOBAL", nullptr);
    const std::string books = "KORVANT data set\r\nvariant=nl\r\nbooked=2020\r\n";
    WriteFileText(DataFolder + "GLOBAL\\WINKEL.DAT", books);
    EXPECT_EQ(RunSetup("/S /LOG=" + Log("3b")).ExitCode, 3u);
    EXPECT_NE(ReadFileText(Log("3b")).find("bevat al gegevens"), std::string::npos);
    EXPECT_TRUE(wire.Since().empty());

    // 0 with the data set as it is: the program, the configuration and the
    // shortcut, and not one data request.
    EXPECT_EQ(RunSetup("/S /EXISTINGDATA /VARIANT=nl").ExitCode, 0u);
    EXPECT_EQ(ReadFileText(DataFolder + "GLOBAL\\WINKEL.DAT"), books);
    EXPECT_EQ(ReadFileText(InstallFolder + "000\\CONFIG07.INI"), CompanyIni("01000", "NL"));
    for (const std::string& request : wire.Since())
        EXPECT_EQ(request.find("global"), std::string::npos) << request;

    // 4: the program is running (its image is held without sharing).
    {
        HANDLE running = CreateFileA((InstallFolder + "KORVANT07.EXE").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     0, nullptr);
        ASSERT_NE(running, INVALID_HANDLE_VALUE);
        wire.Mark();
        EXPECT_EQ(RunSetup("/S /EXISTINGDATA /LOG=" + Log("4")).ExitCode, 4u);
        CloseHandle(running);
        EXPECT_NE(ReadFileText(Log("4")).find("KORVANT is in gebruik"), std::string::npos);
        EXPECT_TRUE(wire.Since().empty());
    }

    // 1: a component the server does not have. What was unpacked before
    // is on the list all the same.
    RemoveTree("C:\\KORVANT07");
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KORVANT07");
    SetFaults("upgrade.zip 404\n");
    EXPECT_EQ(RunSetup("/S /PROXY=127.0.0.1:" + std::to_string(FaultProxyPort) + " /LOG=" + Log("1")).ExitCode, 1u);
    EXPECT_NE(ReadFileText(Log("1")).find("Einde met afsluitcode 1."), std::string::npos) << ReadFileText(Log("1"));
    EXPECT_NE(ReadFileText(InstallFolder + "UNINSTALL.LST").find("file=KORVANT07.EXE\r\n"), std::string::npos);
    EXPECT_TRUE(UninstallEntry().empty()) << "an installation that failed is not in Apps & features";

    // 6: the uninstaller's question answered No; nothing removed. (The /S
    // installation asks nothing, so it is never cancelled by a question.)
    SetFaults("");
    RemoveTree("C:\\KORVANT07");
    ASSERT_EQ(RunSetup("/S").ExitCode, 0u);
    const auto before = Snapshot(InstallFolder);
    std::thread answer([] {
        HWND box = nullptr;
        WaitUntil([&] { return (box = FindWindowA("#32770", "Korvant Setup")) != nullptr; }, 60s);
        if (box)
            PostMessageA(box, WM_COMMAND, IDNO, 0);
    });
    EXPECT_EQ(Uninstall("/LOG=" + Log("6")).ExitCode, 6u);
    answer.join();
    EXPECT_EQ(Snapshot(InstallFolder), before);
    EXPECT_NE(ReadFileText(Log("6")).find("KORVANT is niet verwijderd."), std::string::npos);

    // Yes removes it, the archives' folder left empty with it; the
    // configuration, the data and the program's own log stay.
    std::thread yes([] {
        HWND box = nullptr;
        WaitUntil([&] { return (box = FindWindowA("#32770", "Korvant Setup")) != nullptr; }, 60s);
        if (box)
            PostMessageA(box, WM_COMMAND, IDYES, 0);
        std::this_thread::sleep_for(500ms);
        AnswerMessageBox(); // the last word: what was kept, and where
    });
    EXPECT_EQ(Uninstall("/LOG=" + Log("yes")).ExitCode, 0u);
    yes.join();
    std::vector<std::string> left;
    for (const auto& [name, bytes] : Snapshot(InstallFolder))
        if (name.rfind("DATA07\\", 0) != 0)
            left.push_back(name);
    EXPECT_EQ(left, (std::vector<std::string>{"000\\", "000\\CONFIG07.INI", "CONFIG07.INI", "KORVANT07.LOG"}));
    EXPECT_TRUE(Exists(DataFolder + "GLOBAL\\WINKEL.DAT"));
    for (const auto& [name, bytes] : before) {
        if (name.rfind("DATA07\\", 0) == 0 || name.find("CONFIG07.INI") != std::string::npos) {
            EXPECT_EQ(ReadFileText(InstallFolder + name), bytes) << name;
        }
    }
}

// Without /S the command line speaks through a message box: the usage for
// /? (exit code 0), the fault of a bad one (exit code 2); nothing installed.
TEST_F(Unattended, WithoutSilentTheUsageAndTheFaultShowInAMessageBox)
{
    std::string shown;
    std::thread usage([&] { shown = AnswerMessageBox(); });
    EXPECT_EQ(RunSetup("-?").ExitCode, 0u);
    usage.join();
    EXPECT_EQ(shown.substr(0, shown.find('\r')), "Gebruik: Setup.exe [/S [opties]] | /UNINSTALL [/S] [/LOG=bestand] | /?");
    EXPECT_NE(shown.find("/EXISTINGDATA"), std::string::npos) << shown;

    std::thread fault([&] { shown = AnswerMessageBox(); });
    EXPECT_EQ(RunSetup("/LANG=fr").ExitCode, 2u);
    fault.join();
    EXPECT_EQ(shown.substr(0, shown.find('\r')), "L'option /LANG ne vaut qu'avec /S.");
    EXPECT_FALSE(Exists(InstallFolder));
}

// 5: a drive too small for the components, refused before any of them is
// fetched. Drive D: is a small tmpfs where the test machine can mount one.
TEST_F(Unattended, ASmallDriveEndsWithExitCodeFiveBeforeAnyDownload)
{
    if (Exists(BinaryDir() + "\\e2e\\small-drive.unavailable"))
        GTEST_SKIP() << ReadFileText(BinaryDir() + "\\e2e\\small-drive.unavailable");
    RemoveTree("D:\\KORVANT07");
    TAccessLog wire;
    EXPECT_EQ(RunSetup("/S /DRIVE=D /LOG=" + Log("5")).ExitCode, 5u);
    EXPECT_NE(ReadFileText(Log("5")).find("Er is te weinig vrije schijfruimte op station D:"), std::string::npos)
        << ReadFileText(Log("5"));
    for (const std::string& request : wire.Since())
        EXPECT_NE(request.find("manifest."), std::string::npos) << "fetched: " << request;
    RemoveTree("D:\\KORVANT07");
}

} // namespace

// A proxy that wants a logon: nobody is there to give one, so the 407 ends
// the run with exit code 1, and the log says the question went unanswered.
TEST_F(Unattended, AProxyLogonIsNotGivenAndEndsWithExitCodeOne)
{
    for (int port : {8770, 8771}) {
        Clean();
        const std::string name = "407-" + std::to_string(port);
        EXPECT_EQ(RunSetup("/S /PROXY=127.0.0.1:" + std::to_string(port) + " /LOG=" + Log(name.c_str())).ExitCode, 1u);
        const std::string log = ReadFileText(Log(name.c_str()));
        EXPECT_NE(log.find("407 Proxy Authentication Required"), std::string::npos) << log;
        EXPECT_NE(log.find("asks for a logon"), std::string::npos) << log;
        EXPECT_NE(log.find("Answer: none"), std::string::npos) << log;
        EXPECT_NE(log.find("Einde met afsluitcode 1."), std::string::npos) << log;
        EXPECT_FALSE(Exists(InstallFolder + "KORVANT07.EXE"));
    }
}
