// Whole installations with no proxy typed, taking the one Windows would use:
// the prefix's Internet settings set by hand, with and without a bypass
// list, and a configuration script that nginx serves, which sends the
// download server's files to tinyproxy. The settings are put back after
// each test, so no other test sees a proxy.
#include "uWizardDriver.h"

#include "../support/uInstallTestFiles.h"
#include "../support/uSystemProxySettings.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace e2e;
using namespace installtest;

namespace {

std::string PeerLog(const char* name) { return ReadFileText(BinaryDir() + "\\peers\\" + name); }

// What a peer logged from here on.
class TLogSince {
public:
    explicit TLogSince(const char* name) : FName(name), FStart(PeerLog(name).size()) {}
    std::string Text() const { return PeerLog(FName).substr(FStart); }

private:
    const char* FName;
    std::size_t FStart;
};

// The support log of the run that started after `before` was taken.
std::string NewSetupLog(const std::set<std::string>& before)
{
    for (const std::string& log : SetupLogs())
        if (!before.count(log))
            return ReadFileText(log);
    return {};
}

const std::string FilesUrl = "http://127.0.0.1:8707/korvant07/";

class SystemProxy : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveTree("C:\\KORVANT07");
        DeleteFileA(DesktopLink().c_str());
    }

    void ToProxyPage(TWizard& w, bool french = false)
    {
        if (french)
            w.Click(w.Find("Button", "Fran\xE7" "ais"));
        w.ClickButton("Volgende >");
        Next = french ? "Suivant >" : "Volgende >";
        ASSERT_TRUE(WaitUntil([&] { return w.Find("Button", Next) != nullptr; }, 10s));
        w.ClickButton(Next);
        w.ClickButton(Next);
        ASSERT_TRUE(WaitUntil([&] { return w.FindAt("Edit", ProxyServerAt.x, ProxyServerAt.y) != nullptr; }, 10s));
    }
    void ExpectLine(TWizard& w, const std::string& line)
    {
        EXPECT_TRUE(WaitUntil([&] { return w.LabelVisible(line); }, 30s)) << w.Describe();
    }
    void InstallProgram(TWizard& w, const std::string& landingHeading)
    {
        w.ClickButton(Next);
        ASSERT_TRUE(w.WaitForLabel(landingHeading, 300s)) << "did not reach " << landingHeading << "\n" << w.Describe();
    }

    // Declared before any wizard: the settings outlive it.
    TSystemProxySettings Settings;
    std::string Next = "Volgende >";
};

TEST_F(SystemProxy, NothingConfiguredSaysSoInBothLanguages)
{
    Settings.Set({});
    {
        TWizard w;
        ToProxyPage(w);
        ExpectLine(w, "Geen systeemproxy");
    }
    TWizard w;
    ToProxyPage(w, true);
    ExpectLine(w, "Aucun proxy syst\xE8me");
}

TEST_F(SystemProxy, TheProxyOfTheInternetSettingsCarriesEveryDownload)
{
    Settings.Set({.Proxy = "127.0.0.1:8708"});
    const TLogSince proxy("tinyproxy.log"), server("nginx-access.log");
    const std::set<std::string> logsBefore = SetupLogs();
    {
        TWizard w;
        ToProxyPage(w);
        ExpectLine(w, "Systeemproxy: 127.0.0.1:8708");
        InstallProgram(w, HeadingData);
        w.ClickButton(Next);
        ASSERT_TRUE(w.WaitForLabel(HeadingDone, 300s)) << w.Describe();
    }
    EXPECT_TRUE(Exists(InstallFolder + "KORVANT07.EXE"));
    EXPECT_TRUE(Exists(DataFolder + "GLOBAL\\WINKEL.DAT"));
    for (const char* file : {"manifest.txt", "ZipEng179.dll", "main.zip", "upgrade.zip", "globalbenl.zip"})
        EXPECT_NE(proxy.Text().find(FilesUrl + file), std::string::npos) << file << " did not pass the proxy";
    // nginx heard them from the proxy only; the wizard never went around it.
    EXPECT_NE(server.Text().find("GET /korvant07/main.zip"), std::string::npos);
    const std::string log = NewSetupLog(logsBefore);
    EXPECT_NE(log.find("Proxy page: system proxy PROXY 127.0.0.1:8708 (Internet settings)"), std::string::npos) << log;
    EXPECT_NE(log.find("Program step: drive C, install folder C:\\KORVANT07\\, system proxy PROXY 127.0.0.1:8708"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("GET " + FilesUrl + "main.zip: HTTP/1.1 200 OK"), std::string::npos) << log;
    const std::size_t line = log.find("GET " + FilesUrl + "main.zip:");
    EXPECT_NE(log.substr(line, log.find('\n', line) - line).find(", via proxy 127.0.0.1:8708"), std::string::npos) << log;
}

TEST_F(SystemProxy, AnHttpsLocationIsTunnelledThroughTheSystemsProxy)
{
    // "https=" picks the proxy for https locations, as the settings dialog writes it.
    Settings.Set({.Proxy = "http=127.0.0.1:9;https=127.0.0.1:8708"});
    const TLogSince proxy("tinyproxy.log"), server("nginx-tls.log");
    {
        TWizard w("SetupHttps.exe");
        ToProxyPage(w);
        ExpectLine(w, "Systeemproxy: 127.0.0.1:8708");
        InstallProgram(w, HeadingData);
    }
    EXPECT_TRUE(Exists(InstallFolder + "KORVANT07.EXE"));
    EXPECT_NE(proxy.Text().find("CONNECT localhost:8743"), std::string::npos) << proxy.Text();
    // The proxy saw the tunnel only, never a file's name.
    EXPECT_EQ(proxy.Text().find("main.zip"), std::string::npos) << proxy.Text();
    EXPECT_NE(server.Text().find("\"GET /korvant07/main.zip HTTP/1.1\" 200"), std::string::npos) << server.Text();
}

TEST_F(SystemProxy, TheBypassListSendsTheServerPastTheProxy)
{
    Settings.Set({.Proxy = "127.0.0.1:8708", .Bypass = "<local>;127.0.0.1"});
    const TLogSince proxy("tinyproxy.log"), server("nginx-access.log");
    {
        TWizard w;
        ToProxyPage(w);
        ExpectLine(w, "Geen systeemproxy");
        InstallProgram(w, HeadingData);
    }
    EXPECT_TRUE(Exists(InstallFolder + "KORVANT07.EXE"));
    EXPECT_EQ(proxy.Text().find("korvant07"), std::string::npos) << proxy.Text();
    EXPECT_NE(server.Text().find("GET /korvant07/main.zip"), std::string::npos);
}

TEST_F(SystemProxy, AConfigurationScriptSendsTheDownloadsToTinyproxy)
{
    Settings.Set({.AutoConfigUrl = "http://127.0.0.1:8760/sysproxy.pac"});
    const TLogSince proxy("tinyproxy.log"), scripts("nginx-pac.log");
    {
        TWizard w;
        ToProxyPage(w, true);
        ExpectLine(w, "Proxy syst\xE8me : 127.0.0.1:8708");
        InstallProgram(w, "Installation de donn\xE9" "es ");
    }
    EXPECT_TRUE(Exists(InstallFolder + "KORVANT07.EXE"));
    EXPECT_NE(scripts.Text().find("GET /sysproxy.pac"), std::string::npos) << scripts.Text();
    for (const char* file : {"ZipEng179.dll", "main.zip", "upgrade.zip"})
        EXPECT_NE(proxy.Text().find(FilesUrl + file), std::string::npos) << file << " did not pass the proxy";
}

TEST_F(SystemProxy, AScriptNamingAnUnreachableProxyFirstNeverGoesAroundIt)
{
    // The script's answer: 127.0.0.1:8769 (nothing listens), tinyproxy,
    // DIRECT. Windows' WinHTTP lists both proxies and the download goes on
    // through tinyproxy; Wine's gives only the first. Either way the line
    // names the first, and nothing reaches the server except through a
    // proxy. The way on to the next proxy is the install tests', with the
    // list as Windows gives it.
    Settings.Set({.AutoConfigUrl = "http://127.0.0.1:8760/unreachable-first.pac"});
    const TLogSince proxy("tinyproxy.log"), server("nginx-access.log");
    const std::set<std::string> logsBefore = SetupLogs();
    {
        TWizard w;
        ToProxyPage(w);
        ExpectLine(w, "Systeemproxy: 127.0.0.1:8769");
        w.ClickButton(Next);
        ASSERT_TRUE(WaitUntil([&] { return w.LabelVisible(HeadingData) || w.WaitForDialog("Korvant Setup", 1s); }, 120s));
    }
    const std::string log = NewSetupLog(logsBefore);
    EXPECT_NE(log.find("System proxy for " + FilesUrl + ": PROXY 127.0.0.1:8769"), std::string::npos) << log;
    EXPECT_EQ(log.find(", direct"), std::string::npos) << log;
    // What nginx heard came through tinyproxy, one request for each it passed on.
    std::size_t served = 0, proxied = 0;
    for (std::size_t at = 0; (at = server.Text().find("/korvant07/", at)) != std::string::npos; ++at)
        ++served;
    for (std::size_t at = 0; (at = proxy.Text().find(FilesUrl, at)) != std::string::npos; ++at)
        ++proxied;
    EXPECT_EQ(served, proxied) << server.Text() << proxy.Text();
}

TEST_F(SystemProxy, AnUnattendedRunWithoutAProxyOptionTakesTheSystemsProxy)
{
    Settings.Set({.Proxy = "127.0.0.1:8708"});
    const TLogSince proxy("tinyproxy.log");
    const std::string logFile = BinaryDir() + "\\e2e\\sysproxy-unattended.log";
    DeleteFileA(logFile.c_str());
    std::string command = "\"" + BinaryDir() + "\\bin\\Setup.exe\" /S /LOG=\"" + logFile + "\"";
    STARTUPINFOA start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process));
    WaitForSingleObject(process.hProcess, 600000);
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const std::string log = ReadFileText(logFile);
    ASSERT_EQ(exitCode, 0u) << log;
    EXPECT_TRUE(Exists(InstallFolder + "KORVANT07.EXE"));
    EXPECT_TRUE(Exists(DataFolder + "GLOBAL\\WINKEL.DAT"));
    for (const char* file : {"main.zip", "upgrade.zip", "globalbenl.zip"})
        EXPECT_NE(proxy.Text().find(FilesUrl + file), std::string::npos) << file << " did not pass the proxy";
    EXPECT_NE(log.find(", via proxy 127.0.0.1:8708"), std::string::npos) << log;
    RemoveTree("C:\\KORVANT07");
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KORVANT07");
    DeleteFileA(DesktopLink().c_str());
}

} // namespace
