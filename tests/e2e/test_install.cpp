// Whole installations through the real wizard window, against nginx (the demo
// download server), tinyproxy and a fault-injecting proxy.
#include "uWizardDriver.h"
#include "../ui/uInputKit.h"

#include <shellapi.h>

#include "../support/uInstallTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <thread>
#include <string>
#include <vector>

using namespace e2e;
using namespace installtest;

namespace {

constexpr int TinyproxyPort = 8708;

std::string WwwFolder() { return BinaryDir() + "\\www\\korvant07\\"; }
std::string FaultControlFile() { return BinaryDir() + "\\e2e\\faultproxy.control"; }

// Each call marks a new run, so "once" faults strike again; the proxy's
// request log starts empty.
void SetFaults(const std::string& lines)
{
    static int run = 0;
    std::ofstream out(FaultControlFile(), std::ios::binary | std::ios::trunc);
    out << "#run-" << ++run << "\n" << lines;
    std::ofstream(FaultControlFile() + ".log", std::ios::binary | std::ios::trunc);
}

// The proxy's log lines for one file: "GET url HTTP/1.1|range=...|if-range=...".
std::vector<std::string> FaultRequests(const std::string& name)
{
    std::ifstream in(FaultControlFile() + ".log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (line.find("/" + name + " ") != std::string::npos)
            lines.push_back(line);
    return lines;
}

class Install : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveTree("C:\\KORVANT07");
        DeleteFileA((DesktopFolder() + "Korvant.lnk").c_str());
        SetFaults("");
    }
    void TearDown() override { SetFaults(""); }

    // Next through the first pages; optionally French, a proxy on the proxy page.
    void ToProxyPage(TWizard& w, bool french = false)
    {
        if (french)
            w.Click(w.Find("Button", "Fran\xE7" "ais"));
        w.ClickButton("Volgende >");
        const std::string next = french ? "Suivant >" : "Volgende >";
        ASSERT_TRUE(WaitUntil([&] { return w.Find("Button", next) != nullptr; }, 10s));
        w.ClickButton(next);
        w.ClickButton(next);
        ASSERT_TRUE(WaitUntil([&] { return w.FindAt("Edit", ProxyServerAt.x, ProxyServerAt.y) != nullptr; }, 10s));
        Next = next;
    }

    void UseProxy(TWizard& w, const std::string& server, const std::string& port, bool checked = true)
    {
        HWND box = w.FindAt("Button", PageLeft + 20, 204);
        ASSERT_NE(box, nullptr);
        if (checked)
            w.Click(box);
        w.SetText(w.FindAt("Edit", ProxyServerAt.x, ProxyServerAt.y), server);
        w.SetText(w.FindAt("Edit", ProxyPortAt.x, ProxyPortAt.y), port);
        if (checked) {
            ASSERT_TRUE(WaitUntil([&] { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }, 5s));
        }
    }

    // The proxy page, with the fault proxy as the proxy.
    void ToFaultProxyPage(TWizard& w)
    {
        ToProxyPage(w);
        UseProxy(w, "127.0.0.1", std::to_string(FaultProxyPort));
    }

    // Next on the proxy page: the program installation step.
    void InstallProgram(TWizard& w, const std::string& landingHeading)
    {
        w.ClickButton(Next);
        ASSERT_TRUE(w.WaitForLabel(landingHeading, 300s)) << "did not reach " << landingHeading;
    }

    void ExpectAbortedWith(TWizard& w, const std::string& message)
    {
        HWND box = w.WaitForDialog("Korvant Setup");
        ASSERT_NE(box, nullptr) << "no error box";
        EXPECT_EQ(w.DialogMessage(box), message);
        w.PressDialogButton(box, "OK");
        ASSERT_TRUE(w.WaitForLabel(HeadingAbort, 30s));
        HWND finish = w.Find("Button", "Voltooien");
        ASSERT_NE(finish, nullptr);
        EXPECT_EQ(w.TopmostAt(finish), finish) << "Finish is not on top";
        EXPECT_EQ(w.Find("Button", "&Annuleer"), nullptr) << "Cancel still visible";
    }

    std::string Next = "Volgende >";
};

TEST_F(Install, DutchOnDriveCInstallsEverything)
{
    TWizard w;
    ToProxyPage(w);
    InstallProgram(w, HeadingData);

    EXPECT_EQ(WindowText(w.FindAt("Edit", DataFolderAt.x, DataFolderAt.y)), "C:\\KORVANT07\\DATA07") << w.Describe();
    EXPECT_EQ(WindowText(w.FindAt("ComboBox", VariantListAt.x, VariantListAt.y)), "Belgisch (Vlaamse) versie");
    EXPECT_TRUE(Exists(InstallFolder + "KORVANT07.EXE"));
    EXPECT_EQ(ReadFileText(InstallFolder + "VERSION.TXT"), "KORVANT 07 demo\r\nversion 7.0.1\r\n");
    EXPECT_TRUE(Exists(InstallFolder + "HELP\\LEESMIJ.TXT"));
    EXPECT_TRUE(Exists(InstallFolder + "HELP\\HANDLEIDING.DAT"));
    EXPECT_TRUE(Exists(InstallFolder + "ZipEng179.dll"));
    EXPECT_FALSE(Exists(InstallFolder + "main.zip"));
    EXPECT_FALSE(Exists(InstallFolder + "upgrade.zip"));

    w.ClickButton("Volgende >");
    ASSERT_TRUE(w.WaitForLabel(HeadingDone, 300s));
    HWND finish = w.Find("Button", "Voltooien");
    ASSERT_NE(finish, nullptr);
    EXPECT_EQ(w.TopmostAt(finish), finish) << "Finish is not on top";
    EXPECT_NE(w.Find("Button", "&Annuleer"), nullptr);

    for (const char* folder : {"GLOBAL", "MESSAGES", "LEVLIST"})
        EXPECT_TRUE(Exists(DataFolder + folder)) << folder;
    EXPECT_EQ(ReadFileText(DataFolder + "GLOBAL\\WINKEL.DAT"), "KORVANT data set\r\nvariant=benl\r\n");
    EXPECT_FALSE(Exists(DataFolder + "GLOBAL\\global.zip"));
    EXPECT_TRUE(Exists(DataFolder + "GLOBAL\\ADMINISTRATIE.DB"));
    EXPECT_TRUE(Exists(DataFolder + "MESSAGES\\MESSAGES.DB"));
    EXPECT_EQ(ReadFileText(DataFolder + "upgrade.txt"), "KORVANT 07 upgrade 7.0.1\r\n");
    EXPECT_EQ(ReadFileText(DataFolder + "upgrade.zip"), ReadFileText(WwwFolder() + "upgrade.zip"));

    EXPECT_EQ(ReadFileText(InstallFolder + "KORVANT07.LOG"),
              "C:\\KORVANT07\\KORVANT07.EXE \"/action=CreateAdministratieDB\" \"C:\\KORVANT07\\DATA07\\GLOBAL\"\r\n"
              "C:\\KORVANT07\\KORVANT07.EXE \"/action=CreateMessagesDB\" \"C:\\KORVANT07\\DATA07\\MESSAGES\"\r\n");

    EXPECT_EQ(ReadFileText(InstallFolder + "CONFIG07.INI"),
              "[CONFIG]\r\nDEFAULT_BEDRIJF=000\r\n"
              "[BEDRIJVEN]\r\n000=\"STANDAARD\"\r\n"
              "[000]\r\nID=\"000\"\r\nNAAM=\"STANDAARD\"\r\nBEDRIJF_DIRECTORY=\"C:\\KORVANT07\\DATA07\\\"\r\n"
              "USE_DBSERVER=0\r\nPC_DBSERVER=\r\nAFSTAND=0\r\n");
    EXPECT_EQ(ReadFileText(InstallFolder + "000\\CONFIG07.INI"),
              "[CONFIG]\r\nKASKONTANT=570000\r\nBACKUP_AUTO=1\r\nBACKUP_AUTO_CURRENT=1\r\nBACKUP_COMPRESSIE=5\r\n"
              "MAIL_SERVER=2\r\nMAIL_INDELING=2\r\nTAAL=NL\r\n");

    std::string link = DesktopFolder() + "Korvant.lnk";
    ASSERT_TRUE(Exists(link));
    // Kept for the check with lnkinfo that runs after these tests.
    CopyFileA(link.c_str(), (BinaryDir() + "\\e2e\\dutch-install.lnk").c_str(), FALSE);

    w.Click(finish);
    EXPECT_TRUE(w.WaitForExit(20s));
}

std::string MainIni(const std::string& dataFolder)
{
    return "[CONFIG]\r\nDEFAULT_BEDRIJF=000\r\n"
           "[BEDRIJVEN]\r\n000=\"STANDAARD\"\r\n"
           "[000]\r\nID=\"000\"\r\nNAAM=\"STANDAARD\"\r\nBEDRIJF_DIRECTORY=\"" + dataFolder + "\"\r\n"
           "USE_DBSERVER=0\r\nPC_DBSERVER=\r\nAFSTAND=0\r\n";
}

std::string CompanyIni(const std::string& kaskontant, const std::string& taal)
{
    return "[CONFIG]\r\nKASKONTANT=" + kaskontant +
           "\r\nBACKUP_AUTO=1\r\nBACKUP_AUTO_CURRENT=1\r\nBACKUP_COMPRESSIE=5\r\n"
           "MAIL_SERVER=2\r\nMAIL_INDELING=2\r\nTAAL=" + taal + "\r\n";
}

struct TVariantCase {
    int Item;
    const char* Code;
    const char* Kaskontant;
};

class FrenchInstall : public Install, public ::testing::WithParamInterface<TVariantCase> {};

TEST_P(FrenchInstall, EachVariantInFrench)
{
    const TVariantCase& variant = GetParam();
    TWizard w;
    ToProxyPage(w, true);
    EXPECT_TRUE(w.LabelVisible("Institutions Proxy")) << w.Describe();
    InstallProgram(w, "Installation de donn\xE9" "es ");
    HWND list = w.FindAt("ComboBox", VariantListAt.x, VariantListAt.y);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(WindowText(list), "Version Belgique (Flamand)");
    w.SelectComboItem(list, variant.Item);
    w.ClickButton(Next);
    ASSERT_TRUE(w.WaitForLabel("Installation termin\xE9" "e", 300s));

    EXPECT_EQ(ReadFileText(DataFolder + "GLOBAL\\WINKEL.DAT"),
              std::string("KORVANT data set\r\nvariant=") + variant.Code + "\r\n");
    EXPECT_EQ(ReadFileText(InstallFolder + "CONFIG07.INI"), MainIni("C:\\KORVANT07\\DATA07\\"));
    EXPECT_EQ(ReadFileText(InstallFolder + "000\\CONFIG07.INI"), CompanyIni(variant.Kaskontant, "FR"));
}

INSTANTIATE_TEST_SUITE_P(Variants, FrenchInstall,
                         ::testing::Values(TVariantCase{0, "benl", "570000"}, TVariantCase{1, "nl", "01000"},
                                           TVariantCase{2, "befr", "570000"}));

// Existing data elsewhere: only the configuration and the shortcut are made.
TEST_F(Install, ExistingDataIsCheckedNotInstalled)
{
    const std::string shared = "C:\\KORVANT07-SHARED\\";
    RemoveTree("C:\\KORVANT07-SHARED");
    TWizard w;
    ToProxyPage(w);
    InstallProgram(w, HeadingData);
    w.Click(w.Find("Button", "Installeer GEEN gegevens."));
    HWND folder = w.FindAt("Edit", DataFolderAt.x, DataFolderAt.y);
    w.SetText(folder, shared);

    // No data set there: the error box, then back on the data page.
    w.ClickButton(Next);
    HWND box = w.WaitForDialog("Korvant Setup");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(w.DialogMessage(box), "De opgegeven locatie bevat geen geldige gegevens.");
    w.PressDialogButton(box, "OK");
    ASSERT_TRUE(w.WaitForLabel(HeadingData, 30s));
    EXPECT_FALSE(Exists(InstallFolder + "CONFIG07.INI"));
    EXPECT_FALSE(Exists(shared + "GLOBAL"));

    // With the marker file the step goes through without touching the data.
    CreateDirectoryA(shared.c_str(), nullptr);
    CreateDirectoryA((shared + "GLOBAL").c_str(), nullptr);
    std::ofstream(shared + "GLOBAL\\WINKEL.DAT") << "shared data";
    w.ClickButton(Next);
    ASSERT_TRUE(w.WaitForLabel(HeadingDone, 120s));
    EXPECT_FALSE(Exists(shared + "MESSAGES"));
    EXPECT_FALSE(Exists(shared + "upgrade.txt"));
    EXPECT_EQ(ReadFileText(InstallFolder + "CONFIG07.INI"), MainIni(shared));
    EXPECT_EQ(ReadFileText(InstallFolder + "000\\CONFIG07.INI"), CompanyIni("570000", "NL"));
    EXPECT_FALSE(Exists(InstallFolder + "KORVANT07.LOG")) << "the program was run";
    EXPECT_TRUE(Exists(DesktopFolder() + "Korvant.lnk"));
    RemoveTree("C:\\KORVANT07-SHARED");
}

TEST_F(Install, ThroughTinyproxyWhenAsked)
{
    TWizard w;
    ToProxyPage(w);
    UseProxy(w, "127.0.0.1", std::to_string(TinyproxyPort));
    InstallProgram(w, HeadingData);
    EXPECT_TRUE(Exists(InstallFolder + "KORVANT07.EXE"));
    std::string log = ReadFileText(BinaryDir() + "\\peers\\tinyproxy.log");
    EXPECT_NE(log.find("/korvant07/main.zip"), std::string::npos) << "main.zip did not pass the proxy";
}

// The TLS servers' log: which protocol carried which request.
std::string TlsLog() { return ReadFileText(BinaryDir() + "\\peers\\nginx-tls.log"); }

TEST_F(Install, OverHttpsDirectlyAndThroughTinyproxy)
{
    const size_t before = TlsLog().size();
    {
        TWizard w("SetupHttps.exe");
        ToProxyPage(w);
        InstallProgram(w, HeadingData);
        EXPECT_TRUE(Exists(InstallFolder + "KORVANT07.EXE"));
    }
    std::string log = TlsLog().substr(before);
    // Whichever of the two protocols the platform agrees on, with the
    // URL's host as the server name.
    EXPECT_TRUE(std::regex_search(log, std::regex(R"(8743 TLSv1\.[23] sni=localhost "GET /korvant07/main\.zip HTTP/1\.1" 200)")))
        << log;

    RemoveTree("C:\\KORVANT07");
    const size_t proxied = TlsLog().size();
    const size_t proxyBefore = ReadFileText(BinaryDir() + "\\peers\\tinyproxy.log").size();
    {
        TWizard w("SetupHttps.exe");
        ToProxyPage(w);
        UseProxy(w, "127.0.0.1", std::to_string(TinyproxyPort));
        InstallProgram(w, HeadingData);
        EXPECT_TRUE(Exists(InstallFolder + "KORVANT07.EXE"));
    }
    log = TlsLog().substr(proxied);
    EXPECT_NE(log.find("\"GET /korvant07/main.zip HTTP/1.1\" 200"), std::string::npos) << log;
    // The proxy saw only the tunnel, never the file's name.
    std::string proxyLog = ReadFileText(BinaryDir() + "\\peers\\tinyproxy.log").substr(proxyBefore);
    EXPECT_NE(proxyLog.find("CONNECT"), std::string::npos) << proxyLog;
    EXPECT_EQ(proxyLog.find("main.zip"), std::string::npos) << proxyLog;
}

TEST_F(Install, TypedProxyUnusedWhenNotChecked)
{
    TWizard w;
    ToProxyPage(w);
    // A proxy that would refuse every connection.
    UseProxy(w, "127.0.0.1", "9", false);
    InstallProgram(w, HeadingData);
    EXPECT_TRUE(Exists(InstallFolder + "KORVANT07.EXE"));
}

// The line below the progress bar, once it matches `pattern`.
std::string WaitForProgressLine(const TWizard& w, const std::regex& pattern, std::chrono::milliseconds timeout)
{
    std::string seen;
    WaitUntil(
        [&] {
            for (const std::string& caption : w.LabelCaptions())
                if (std::regex_match(caption, pattern))
                    return seen = caption, true;
            return false;
        },
        timeout);
    return seen;
}

TEST_F(Install, ADropMidDownloadResumesWithARangeRequestAndTheFileIsIntact)
{
    SetFaults("main.zip close-mid-body-once\n");
    TWizard w;
    ToFaultProxyPage(w);
    w.ClickButton(Next);
    // Between the tries the line says what is happening.
    EXPECT_NE(WaitForProgressLine(w, std::regex(R"(main\.zip: opnieuw verbinden \(poging 2 van 4\))"), 120s), "");
    ASSERT_TRUE(w.WaitForLabel(HeadingData, 300s));
    EXPECT_TRUE(Exists(InstallFolder + "KORVANT07.EXE"));
    const auto requests = FaultRequests("main.zip");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].find("|range=|if-range="), std::string::npos) << "the first request is unchanged";
    EXPECT_NE(requests[1].find("|range=bytes="), std::string::npos) << requests[1];
    EXPECT_EQ(requests[1].find("|range=bytes=0-"), std::string::npos) << "asks for the rest only";
    EXPECT_EQ(requests[1].find("if-range=|"), std::string::npos);
    EXPECT_NE(requests[1].find("if-range=\""), std::string::npos) << requests[1];
}

TEST_F(Install, AServerThatIgnoresTheRangeStartsTheFileOverAndItIsStillIntact)
{
    SetFaults("main.zip ignore-range-once\n");
    TWizard w;
    ToFaultProxyPage(w);
    InstallProgram(w, HeadingData);
    EXPECT_TRUE(Exists(InstallFolder + "KORVANT07.EXE"));
    EXPECT_EQ(FaultRequests("main.zip").size(), 2u);
}

TEST_F(Install, TheProgressLineShowsBytesSpeedAndTimeLeft)
{
    SetFaults("main.zip slow\n");
    TWizard w;
    ToFaultProxyPage(w);
    w.ClickButton(Next);
    // The whole size as the line writes it: megabytes with one decimal.
    std::ifstream served(WwwFolder() + "main.zip", std::ios::binary | std::ios::ate);
    char total[32];
    std::snprintf(total, sizeof total, "%.1f", static_cast<double>(served.tellg()) / 1e6);
    std::replace(std::begin(total), std::end(total), '.', ',');
    const std::string line = WaitForProgressLine(
        w, std::regex(std::string(R"(main\.zip: \d+,\d MB van )") + total + R"( MB - \d+,\d MB/s - nog \d+ s)"), 120s);
    EXPECT_NE(line, "") << "no progress line for main.zip of " << total << " MB";
    ASSERT_TRUE(w.WaitForLabel(HeadingData, 300s));
}

// The data set is checked like the program: a changed byte stops the step
// before the archive is unpacked or the program runs on it.
TEST_F(Install, AChangedDataArchiveEndsOnAbortAndNothingOfItIsUsed)
{
    SetFaults("globalbenl.zip flip-byte\n");
    TWizard w;
    ToFaultProxyPage(w);
    InstallProgram(w, HeadingData);
    EXPECT_TRUE(Exists(InstallFolder + "KORVANT07.EXE"));
    w.ClickButton(Next);
    ExpectAbortedWith(w, "Controle mislukt: globalbenl.zip is beschadigd of gewijzigd.");
    EXPECT_FALSE(Exists(DataFolder + "GLOBAL\\global.zip"));
    EXPECT_FALSE(Exists(DataFolder + "GLOBAL\\WINKEL.DAT"));
    EXPECT_FALSE(Exists(DataFolder + "GLOBAL\\ADMINISTRATIE.DB"));
}

// A changed file on the server (its ETag is not the one of the first
// answer): the resumed request gets the whole file and it starts over.
TEST_F(Install, AFileChangedBetweenTriesStartsOverAndIsIntact)
{
    SetFaults("main.zip changed-once\n");
    TWizard w;
    ToFaultProxyPage(w);
    InstallProgram(w, HeadingData);
    EXPECT_TRUE(Exists(InstallFolder + "KORVANT07.EXE"));
    const auto requests = FaultRequests("main.zip");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[1].find("if-range=\"older\""), std::string::npos) << requests[1];
}

struct TFailureCase {
    const char* Name;
    const char* Faults; // control lines for the fault proxy
    int ProxyPort;      // 0: the fault proxy
    const char* Message;
    const char* Kept = nullptr; // a file the failure must leave in the install folder
    const char* Gone = nullptr; // a file the failure must remove (refused, never used)
    const char* NotUnpacked = "KORVANT07.EXE"; // with Gone: what its archive would have installed
};

class InstallFailure : public Install, public ::testing::WithParamInterface<TFailureCase> {};

TEST_P(InstallFailure, EndsOnAbortWithTheMessage)
{
    const TFailureCase& failure = GetParam();
    std::string faults = failure.Faults;
    const std::string marker = "$BUILD/";
    for (size_t at; (at = faults.find(marker)) != std::string::npos;)
        faults.replace(at, marker.size(), std::string(std::getenv("KORVANT_BINARY_DIR")) + "/");
    SetFaults(faults);
    TWizard w;
    ToProxyPage(w);
    UseProxy(w, "127.0.0.1", std::to_string(failure.ProxyPort ? failure.ProxyPort : FaultProxyPort));
    w.ClickButton(Next);
    ExpectAbortedWith(w, failure.Message);
    EXPECT_TRUE(w.Running());
    if (failure.Kept) {
        EXPECT_TRUE(Exists(InstallFolder + failure.Kept)) << failure.Kept;
    }
    if (failure.Gone) {
        EXPECT_FALSE(Exists(InstallFolder + failure.Gone)) << failure.Gone;
        EXPECT_FALSE(Exists(InstallFolder + failure.Gone + ".part")) << failure.Gone;
        // Nothing of a refused component was unpacked or run.
        EXPECT_FALSE(Exists(InstallFolder + failure.NotUnpacked)) << failure.NotUnpacked;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, InstallFailure,
    ::testing::Values(
        TFailureCase{"NotFound", "main.zip 404\n", 0, "HTTP/1.1 404 Not Found"},
        // A cut download leaves nothing under the file's name.
        TFailureCase{"ClosedMidBody", "main.zip close-mid-body\n", 0, "Connection Closed Gracefully.", "ZipEng179.dll",
                     "main.zip"},
        // Components that are not what the signed list says are deleted
        // before anything loads, unpacks or runs them.
        TFailureCase{"SubstitutedArchive", "main.zip from=$BUILD/e2e/wrong-password.zip\n", 0,
                     "Controle mislukt: main.zip is beschadigd of gewijzigd.", nullptr, "main.zip"},
        TFailureCase{"SubstitutedEngine", "ZipEng179.dll from=$BUILD/e2e/not-a-dll.dll\n", 0,
                     "Controle mislukt: ZipEng179.dll is beschadigd of gewijzigd.", nullptr, "ZipEng179.dll"},
        TFailureCase{"OneByteInEngine", "ZipEng179.dll flip-byte\n", 0,
                     "Controle mislukt: ZipEng179.dll is beschadigd of gewijzigd.", nullptr, "ZipEng179.dll"},
        TFailureCase{"OneByteInArchive", "main.zip flip-byte\n", 0,
                     "Controle mislukt: main.zip is beschadigd of gewijzigd.", nullptr, "main.zip"},
        TFailureCase{"OneByteInUpgrade", "upgrade.zip flip-byte\n", 0,
                     "Controle mislukt: upgrade.zip is beschadigd of gewijzigd.", nullptr, "upgrade.zip", "UPGRADE.TXT"},
        // Lists that are not genuine stop the step before any component.
        TFailureCase{"EditedList", "manifest.txt flip-byte\n", 0, "Controle mislukt: manifest.txt is niet echt."},
        TFailureCase{"OtherKey", "manifest.sig from=$BUILD/e2e/other-key.sig\n", 0,
                     "Controle mislukt: manifest.txt is niet echt."},
        TFailureCase{"EmptyList", "manifest.txt from=$BUILD/e2e/empty-manifest.txt\n", 0,
                     "Controle mislukt: manifest.txt is niet echt."},
        TFailureCase{"TruncatedList", "manifest.txt from=$BUILD/e2e/truncated-manifest.txt\n", 0,
                     "Controle mislukt: manifest.txt is niet echt."},
        // A refused signature is the server's error, not a forgery.
        TFailureCase{"NoSignature", "manifest.sig 404\n", 0, "HTTP/1.1 404 Not Found"},
        TFailureCase{"NotListed",
                     "manifest.txt from=$BUILD/e2e/without-upgrade.txt\nmanifest.sig from=$BUILD/e2e/without-upgrade.sig\n", 0,
                     "Controle mislukt: upgrade.zip staat niet in de lijst van onderdelen."},
        TFailureCase{"Refused", "", 9, "Socket Error # 10061\r\nConnection refused."}),
    [](const ::testing::TestParamInfo<TFailureCase>& info) { return std::string(info.param.Name); });

// Copies of the non-known system libraries the wizard uses, each leaving a
// marker when loaded, lie beside Setup.exe through a whole installation,
// and Wine is told (per program, in its registry) to prefer such copies, as
// Windows' loader would for a static import. None may be loaded; a canary
// that imports bcrypt statically shows that one would be. (Wine's own
// crypt32 and secur32 break when loaded as native ones: those two are
// checked by the import test.)
namespace {

void PreferPlantedCopies(const std::string& program, bool prefer)
{
    const std::string key = "Software\\Wine\\AppDefaults\\" + program;
    if (!prefer) {
        RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
        return;
    }
    for (const char* name : {"bcrypt", "mpr", "oleacc", "comctl32", "winhttp"})
        RegSetKeyValueA(HKEY_CURRENT_USER, (key + "\\DllOverrides").c_str(), name, REG_SZ, "native,builtin",
                        sizeof "native,builtin");
}

void RunAndWaitFor(const std::string& exe)
{
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + exe + "\"";
    if (CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        WaitForSingleObject(pi.hProcess, 30000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
}

} // namespace

TEST_F(Install, PlantedLibrariesBesideSetupAreNeverLoaded)
{
    const std::string folder = BinaryDir() + "\\bin\\planted-setup\\";
    RemoveTree(BinaryDir() + "\\bin\\planted-setup");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(CopyFileA((BinaryDir() + "\\bin\\Setup.exe").c_str(), (folder + "Setup.exe").c_str(), FALSE));
    const std::string trustTests = BinaryDir() + "\\tests\\trust\\";
    ASSERT_TRUE(CopyFileA((trustTests + "planted_canary.exe").c_str(), (folder + "planted_canary.exe").c_str(), FALSE));
    const char* names[] = {"bcrypt", "crypt32", "secur32", "mpr", "oleacc", "comctl32", "winhttp"};
    for (const char* name : names)
        ASSERT_TRUE(CopyFileA((trustTests + "planted.dll").c_str(), (folder + name + ".dll").c_str(), FALSE)) << name;
    struct TPreference {
        TPreference()
        {
            PreferPlantedCopies("planted_canary.exe", true);
            PreferPlantedCopies("Setup.exe", true);
        }
        ~TPreference()
        {
            PreferPlantedCopies("planted_canary.exe", false);
            PreferPlantedCopies("Setup.exe", false);
        }
    } preference;

    RunAndWaitFor(folder + "planted_canary.exe");
    EXPECT_TRUE(Exists(folder + "bcrypt.dll.loaded")) << "the canary did not load its planted bcrypt.dll";
    DeleteFileA((folder + "bcrypt.dll.loaded").c_str());
    {
        TWizard w("planted-setup\\Setup.exe");
        ToProxyPage(w);
        InstallProgram(w, HeadingData);
        w.ClickButton("Volgende >");
        EXPECT_TRUE(w.WaitForLabel(HeadingDone, 300s));
        w.Click(w.Find("Button", "Voltooien"));
        EXPECT_TRUE(w.WaitForExit(20s));
    }
    for (const char* name : names)
        EXPECT_FALSE(Exists(folder + name + ".dll.loaded")) << name << ".dll beside Setup.exe was loaded";
    RemoveTree(BinaryDir() + "\\bin\\planted-setup");
}

// Lists older than this wizard accepts, each genuinely signed (or edited):
// refused as not genuine before any component is asked for.
struct TRefusedList {
    const char* Name;
    const char* Faults;
    std::uint64_t Remembered; // the serial this user accepted before; 0: none
};

class RefusedList : public Install, public ::testing::WithParamInterface<TRefusedList> {
protected:
    static constexpr const char* SerialKey = "Software\\Tolvek\\KORVANT Setup";
    static constexpr const char* SerialValue = "ComponentListSerial";
    void SetUp() override
    {
        Install::SetUp();
        DWORD size = sizeof FSaved;
        FHadSerial = RegGetValueA(HKEY_CURRENT_USER, SerialKey, SerialValue, RRF_RT_REG_QWORD, nullptr, &FSaved,
                                  &size) == ERROR_SUCCESS;
    }
    void TearDown() override
    {
        if (FHadSerial)
            RegSetKeyValueA(HKEY_CURRENT_USER, SerialKey, SerialValue, REG_QWORD, &FSaved, sizeof FSaved);
        else
            RegDeleteKeyValueA(HKEY_CURRENT_USER, SerialKey, SerialValue);
        Install::TearDown();
    }
    std::uint64_t FSaved = 0;
    bool FHadSerial = false;
};

TEST_P(RefusedList, EndsOnAbortAsNotGenuineAndNothingIsFetchedAfterTheList)
{
    const TRefusedList& list = GetParam();
    if (list.Remembered) {
        ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Tolvek\\KORVANT Setup", "ComponentListSerial", REG_QWORD,
                                  &list.Remembered, sizeof list.Remembered),
                  ERROR_SUCCESS);
    }
    std::string faults = list.Faults;
    const std::string marker = "$BUILD/";
    for (size_t at; (at = faults.find(marker)) != std::string::npos;)
        faults.replace(at, marker.size(), std::string(std::getenv("KORVANT_BINARY_DIR")) + "/");
    SetFaults(faults);
    TWizard w;
    ToFaultProxyPage(w);
    w.ClickButton(Next);
    ExpectAbortedWith(w, "Controle mislukt: manifest.txt is niet echt.");
    EXPECT_FALSE(FaultRequests("manifest.txt").empty()) << "the list did not go through the fault proxy";
    for (const char* name : {"ZipEng179.dll", "main.zip", "upgrade.zip"}) {
        EXPECT_TRUE(FaultRequests(name).empty()) << name << " was asked for after a refused list";
        EXPECT_FALSE(Exists(InstallFolder + name)) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Serials, RefusedList,
    ::testing::Values(
        TRefusedList{"BelowTheMinimum", "manifest.txt from=$BUILD/e2e/serial-below.txt\n"
                                        "manifest.sig from=$BUILD/e2e/serial-below.sig\n", 0},
        TRefusedList{"WithoutASerial", "manifest.txt from=$BUILD/e2e/serial-none.txt\n"
                                       "manifest.sig from=$BUILD/e2e/serial-none.sig\n", 0},
        TRefusedList{"SerialEdited", "manifest.txt from=$BUILD/e2e/serial-edited.txt\n", 0},
        // The demo list itself, after this user accepted a newer one.
        TRefusedList{"BelowTheRememberedSerial", "", 4}),
    [](const ::testing::TestParamInfo<TRefusedList>& info) { return std::string(info.param.Name); });

} // namespace

namespace {

// The proxy's closing line for a slow answer: bytes sent and the whole size,
// once the connection ended (from either side).
bool SlowAnswerEnded(const std::string& name, long long& sent, long long& total)
{
    std::ifstream in(FaultControlFile() + ".log");
    for (std::string line; std::getline(in, line);)
        if (std::sscanf(line.c_str(), ("END " + name + " sent=%lld of %lld").c_str(), &sent, &total) == 2)
            return true;
    return false;
}

// One WM_GETTEXT from this process, with how long the answer took.
std::string TimedText(HWND window, std::chrono::milliseconds& took)
{
    const auto start = std::chrono::steady_clock::now();
    std::string text = WindowText(window);
    took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    return text;
}

const std::regex MainZipProgress(R"(main\.zip: [1-9]\d*,\d MB van .*)");

} // namespace

// The window answers during a download, Next stays disabled and cannot start
// a second step, and Cancel answered with No lets the step complete.
TEST_F(Install, MidDownloadTheWindowAnswersWithinASecondAndCancelNoCarriesOn)
{
    SetFaults("main.zip slow=4000000\n");
    TWizard w;
    ToFaultProxyPage(w);
    w.ClickButton(Next);
    const std::string first = WaitForProgressLine(w, MainZipProgress, 120s);
    ASSERT_NE(first, "") << w.Describe();

    HWND progress = w.FindAt("Static", PageLeft + 20, 156);
    ASSERT_NE(progress, nullptr) << w.Describe();
    std::vector<std::string> seen;
    for (int i = 0; i < 8; ++i) {
        std::chrono::milliseconds took{};
        EXPECT_EQ(TimedText(w.Form(), took), "KORVANT - Setup");
        EXPECT_LT(took.count(), 1000);
        const std::string line = TimedText(progress, took);
        EXPECT_LT(took.count(), 1000) << line;
        EXPECT_TRUE(std::regex_match(line, std::regex(R"(main\.zip: .*)"))) << line;
        seen.push_back(line);
        std::this_thread::sleep_for(150ms);
    }
    EXPECT_NE(seen.front(), seen.back()) << "the answers are not live";

    HWND next = w.Find("Button", "Volgende >");
    ASSERT_NE(next, nullptr);
    EXPECT_FALSE(IsWindowEnabled(next));
    // A click that reaches the form anyway starts no second step.
    PostMessageA(GetParent(next), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(next), BN_CLICKED),
                 reinterpret_cast<LPARAM>(next));

    w.ClickButton("&Annuleer");
    HWND question = w.WaitForDialog("WAARSCHUWING", 10s);
    ASSERT_NE(question, nullptr) << "Cancel did not ask during the download";
    w.PressDialogButton(question, "&No");
    ASSERT_TRUE(w.WaitForLabel(HeadingData, 300s));
    EXPECT_TRUE(Exists(InstallFolder + "KORVANT07.EXE"));
    EXPECT_EQ(FaultRequests("main.zip").size(), 1u);
    EXPECT_EQ(FaultRequests("upgrade.zip").size(), 1u);
    long long sent = 0, total = 0;
    ASSERT_TRUE(SlowAnswerEnded("main.zip", sent, total));
    EXPECT_EQ(sent, total);
}

TEST_F(Install, CancelYesMidDownloadBreaksTheTransferOffAndNothingFollows)
{
    SetFaults("main.zip slow=2000000\n");
    TWizard w;
    ToFaultProxyPage(w);
    w.ClickButton(Next);
    ASSERT_NE(WaitForProgressLine(w, MainZipProgress, 120s), "") << w.Describe();
    w.ClickButton("&Annuleer");
    HWND question = w.WaitForDialog("WAARSCHUWING", 10s);
    ASSERT_NE(question, nullptr);
    w.PressDialogButton(question, "&Yes");

    ASSERT_TRUE(w.WaitForLabel(HeadingAbort, 5s)) << w.Describe();
    long long sent = 0, total = 0;
    ASSERT_TRUE(WaitUntil([&] { return SlowAnswerEnded("main.zip", sent, total); }, 5s))
        << "the server did not see the connection end";
    EXPECT_LT(sent, total);
    EXPECT_EQ(w.WaitForDialog("Korvant Setup", 2s), nullptr) << "an error box for a cancelled step";
    HWND finish = w.Find("Button", "Voltooien");
    ASSERT_NE(finish, nullptr);
    EXPECT_EQ(w.TopmostAt(finish), finish);
    EXPECT_EQ(w.Find("Button", "&Annuleer"), nullptr);
    EXPECT_EQ(FaultRequests("main.zip").size(), 1u) << "the download was tried again";
    EXPECT_EQ(FaultRequests("upgrade.zip").size(), 0u);
    EXPECT_FALSE(Exists(InstallFolder + "KORVANT07.EXE"));
    EXPECT_TRUE(w.Running());
    w.Click(finish);
    EXPECT_TRUE(w.WaitForExit(10s));
}

TEST_F(Install, CancelYesMidExtractionStopsAtTheNextEntryAndKeepsTheArchive)
{
    const std::string build = std::string(std::getenv("KORVANT_BINARY_DIR")) + "/e2e/";
    SetFaults("main.zip from=" + build + "many-files.zip\nmanifest.txt from=" + build +
              "many-files.txt\nmanifest.sig from=" + build + "many-files.sig\n");
    TWizard w;
    ToFaultProxyPage(w);
    w.ClickButton(Next);
    const std::string many = InstallFolder + "MANY\\";
    ASSERT_TRUE(WaitUntil([&] { return Exists(many + "0000.TXT") || Exists(many + "0001.TXT"); }, 120s));
    w.ClickButton("&Annuleer");
    HWND question = w.WaitForDialog("WAARSCHUWING", 10s);
    ASSERT_NE(question, nullptr);
    w.PressDialogButton(question, "&Yes");
    ASSERT_TRUE(w.WaitForLabel(HeadingAbort, 10s));
    EXPECT_EQ(w.WaitForDialog("Korvant Setup", 2s), nullptr) << "an error box for a cancelled step";

    int extracted = 0;
    for (int i = 0; i < 3000; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%04d.TXT", i);
        if (!Exists(many + name))
            continue;
        ++extracted;
        // Every file that is there is whole: the stop came between entries.
        EXPECT_EQ(ReadFileText(many + name), std::string("file ") + std::string(name, 4) + "\r\n") << name;
    }
    EXPECT_GT(extracted, 0);
    EXPECT_LT(extracted, 3000) << "the extraction was not stopped";
    EXPECT_TRUE(Exists(InstallFolder + "main.zip")) << "the archive of a stopped extraction stays";
    // upgrade.zip was on its way beside the extraction: asked for once at
    // most, and nothing of it stays.
    EXPECT_LE(FaultRequests("upgrade.zip").size(), 1u);
    EXPECT_FALSE(Exists(InstallFolder + "upgrade.zip"));
    EXPECT_FALSE(Exists(InstallFolder + "upgrade.zip.part"));
}

TEST_F(Install, CancelYesWhileTheProgramRunsWaitsForItAndRunsNothingAfter)
{
    SetEnvironmentVariableA("KORVANT07_DEMO_DELAY_MS", "3000");
    TWizard w;
    SetEnvironmentVariableA("KORVANT07_DEMO_DELAY_MS", nullptr);
    ToProxyPage(w);
    InstallProgram(w, HeadingData);
    w.ClickButton(Next);
    ASSERT_TRUE(WaitUntil([&] { return Exists(InstallFolder + "KORVANT07.LOG"); }, 120s));
    w.ClickButton("&Annuleer");
    HWND question = w.WaitForDialog("WAARSCHUWING", 10s);
    ASSERT_NE(question, nullptr);
    w.PressDialogButton(question, "&Yes");
    ASSERT_TRUE(w.WaitForLabel(HeadingAbort, 5s));

    // The program is still creating its database: the step waits for it.
    HWND next = w.Find("Button", "Volgende >");
    ASSERT_NE(next, nullptr);
    if (!Exists(DataFolder + "GLOBAL\\ADMINISTRATIE.DB")) {
        EXPECT_FALSE(IsWindowEnabled(next)) << "the step ended before the program did";
    }
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(next) != FALSE; }, 20s));
    EXPECT_TRUE(Exists(DataFolder + "GLOBAL\\ADMINISTRATIE.DB"));
    EXPECT_FALSE(Exists(DataFolder + "MESSAGES\\MESSAGES.DB"));
    EXPECT_EQ(ReadFileText(InstallFolder + "KORVANT07.LOG"),
              "C:\\KORVANT07\\KORVANT07.EXE \"/action=CreateAdministratieDB\" \"C:\\KORVANT07\\DATA07\\GLOBAL\"\r\n");
    EXPECT_FALSE(Exists(DataFolder + "upgrade.txt"));
    EXPECT_FALSE(Exists(InstallFolder + "CONFIG07.INI"));
    EXPECT_FALSE(Exists(DesktopFolder() + "Korvant.lnk"));
    EXPECT_EQ(w.WaitForDialog("Korvant Setup", 1s), nullptr);
    EXPECT_EQ(w.Find("Button", "&Annuleer"), nullptr);
}

TEST_F(Install, TheCloseButtonMidDownloadStopsTheStepAndEndsTheProcessWithinTwoSeconds)
{
    SetFaults("main.zip slow=2000000\n");
    TWizard w;
    ToFaultProxyPage(w);
    w.ClickButton(Next);
    ASSERT_NE(WaitForProgressLine(w, MainZipProgress, 120s), "");
    // What the title bar's close button sends.
    PostMessageA(w.Form(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(w.WaitForExit(2s)) << "still running 2 s after the close";
    EXPECT_EQ(w.ExitCode(), 0u);
    long long sent = 0, total = 0;
    ASSERT_TRUE(WaitUntil([&] { return SlowAnswerEnded("main.zip", sent, total); }, 5s));
    EXPECT_LT(sent, total);
    EXPECT_EQ(FaultRequests("main.zip").size(), 1u);
    EXPECT_EQ(FaultRequests("upgrade.zip").size(), 0u);
}

namespace {

// A key as the keyboard sends it to whichever window has the focus.
void Press(WORD key, std::initializer_list<WORD> modifiers = {})
{
    SendKey(key, modifiers);
    std::this_thread::sleep_for(150ms);
}

// The window that has the focus in the wizard's thread.
HWND FocusOf(const TWizard& w)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(w.Form(), nullptr), &info);
    return info.hwndFocus;
}

bool IsChecked(HWND button) { return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// What a screen reader in its own process hears for a control.
std::string AccessibleNameOf(HWND window)
{
    struct TCom {
        TCom() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
        ~TCom() { CoUninitialize(); }
    } com;
    return AccessibleName(window);
}

} // namespace

// A person without a mouse: Tab, the arrow keys, Space, Enter and Alt+A
// through every page to "Einde"; a screen reader asking along the way.
TEST_F(Install, AKeyboardWalkWithoutTheMouseReachesEinde)
{
    TWizard w;
    // Setup.exe is aware of each monitor's DPI (its manifest says so).
    using TGetContext = HANDLE(WINAPI*)(HWND);
    using TGetAwareness = int(WINAPI*)(HANDLE);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    auto getContext = reinterpret_cast<TGetContext>(reinterpret_cast<void*>(GetProcAddress(user32, "GetWindowDpiAwarenessContext")));
    auto getAwareness = reinterpret_cast<TGetAwareness>(reinterpret_cast<void*>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
    ASSERT_TRUE(getContext && getAwareness);
    EXPECT_EQ(getAwareness(getContext(w.Form())), 2) << "not per-monitor DPI aware";

    SetForegroundWindow(w.Form());
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == w.Form(); }, 10s));
    HWND cancel = w.Find("Button", "&Annuleer");
    HWND next = w.Find("Button", "Volgende >");
    HWND finish = w.Find("Button", "Voltooien");
    HWND dutch = w.Find("Button", "Nederlands");
    HWND french = w.Find("Button", "Fran\xE7" "ais");
    ASSERT_TRUE(cancel && next && finish && dutch && french) << w.Describe();
    auto expectFocus = [&](HWND want, const char* what) {
        EXPECT_TRUE(WaitUntil([&] { return FocusOf(w) == want; }, 5s)) << "focus is not on " << what;
    };

    expectFocus(cancel, "Cancel");
    Press(VK_TAB);
    expectFocus(next, "Next");
    Press(VK_TAB);
    Press(VK_TAB);
    expectFocus(dutch, "Nederlands");
    Press(VK_DOWN);
    expectFocus(french, "Fran\xE7" "ais");
    EXPECT_TRUE(IsChecked(french));
    Press(VK_UP);
    EXPECT_TRUE(WaitUntil([&] { return IsChecked(dutch) && !IsChecked(french); }, 5s));
    Press(VK_TAB, {VK_SHIFT});
    Press(VK_TAB, {VK_SHIFT});
    expectFocus(next, "Next");
    Press(VK_SPACE);
    ASSERT_TRUE(w.WaitForLabel("Welkom bij het installatie programma voor KORVANT", 10s));
    Press(VK_RETURN);
    ASSERT_TRUE(w.WaitForLabel("Locatie", 10s));
    Press(VK_SPACE);
    ASSERT_TRUE(w.WaitForLabel("Proxy Instellingen", 10s));

    // The proxy page: Space toggles the box; the fields carry their labels' names.
    HWND box = w.Find("Button", "Een proxyserver gebruiken");
    ASSERT_NE(box, nullptr);
    Press(VK_TAB);
    Press(VK_TAB);
    expectFocus(box, "the proxy box");
    Press(VK_SPACE);
    EXPECT_TRUE(WaitUntil([&] { return IsChecked(box); }, 5s));
    Press(VK_SPACE);
    EXPECT_TRUE(WaitUntil([&] { return !IsChecked(box); }, 5s));
    EXPECT_EQ(AccessibleNameOf(w.FindAt("Edit", ProxyServerAt.x, ProxyServerAt.y)), "Adres");
    EXPECT_EQ(AccessibleNameOf(w.FindAt("Edit", ProxyPortAt.x, ProxyPortAt.y)), "Poort");

    // Alt+A asks to cancel; Escape says no and nothing changes.
    Press('A', {VK_MENU});
    HWND question = w.WaitForDialog("WAARSCHUWING", 10s);
    ASSERT_NE(question, nullptr) << "Alt+A did not ask to cancel";
    Press(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(question) || !IsWindowVisible(question); }, 10s));
    EXPECT_TRUE(w.LabelVisible("Proxy Instellingen"));
    EXPECT_NE(w.Find("Button", "&Annuleer"), nullptr);

    Press(VK_TAB, {VK_SHIFT});
    Press(VK_TAB, {VK_SHIFT});
    expectFocus(next, "Next");
    Press(VK_SPACE);
    ASSERT_TRUE(w.WaitForLabel(HeadingData, 300s)) << w.Describe();
    // The step disabled Next on the way; the focus came back to it.
    expectFocus(next, "Next after the step");
    EXPECT_EQ(AccessibleNameOf(w.FindAt("ComboBox", VariantListAt.x, VariantListAt.y)), "Gegevens");

    // The data choice by arrows, and back.
    HWND server = w.Find("Button", "Installeer de gegevens op de PC");
    HWND workstation = w.Find("Button", "Installeer GEEN gegevens.");
    HWND variants = w.FindAt("ComboBox", VariantListAt.x, VariantListAt.y);
    ASSERT_TRUE(server && workstation && variants);
    Press(VK_TAB);
    Press(VK_TAB);
    expectFocus(server, "the first data choice");
    Press(VK_DOWN);
    EXPECT_TRUE(WaitUntil([&] { return IsChecked(workstation) && !IsWindowEnabled(variants); }, 5s));
    Press(VK_UP);
    EXPECT_TRUE(WaitUntil([&] { return IsChecked(server) && IsWindowEnabled(variants); }, 5s));
    Press(VK_TAB, {VK_SHIFT});
    Press(VK_TAB, {VK_SHIFT});
    expectFocus(next, "Next");
    Press(VK_SPACE);
    ASSERT_TRUE(w.WaitForLabel(HeadingDone, 300s)) << w.Describe();
    EXPECT_TRUE(Exists(DataFolder + "GLOBAL\\ADMINISTRATIE.DB"));
    EXPECT_TRUE(Exists(InstallFolder + "CONFIG07.INI"));
    // Finish is on top now and has the focus: Enter ends the wizard.
    expectFocus(finish, "Finish");
    Press(VK_RETURN);
    EXPECT_TRUE(w.WaitForExit(20s));
}
