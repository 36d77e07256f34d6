// The installation steps without a typed proxy take the way Windows gives:
// through tinyproxy, past a proxy that takes no connection (nothing listens
// on 8769), or direct where the answer says so. Windows' answer is the
// test's here, in the forms WinHTTP gives it; the real lookup against the
// prefix's settings is the end-to-end tests'.
#include "setup/install/uInstallSteps.h"
#include "tests/install/uRecordingSink.h"
#include "tests/support/uInstallTestFiles.h"
#include "tests/support/uSystemProxySettings.h"
#include "tests/support/uTestPaths.h"

#include "manifest_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

using namespace installtest;

namespace {

const std::string BaseUrl = "http://127.0.0.1:8707/korvant07/";
constexpr const char* Unreachable = "127.0.0.1:8769";
constexpr const char* Tinyproxy = "127.0.0.1:8708";

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string PeerLog(const char* name) { return ProgramPath(std::getenv("KORVANT_BINARY_DIR")) + "\\peers\\" + name; }

class TNotingSink : public TRecordingSink {
public:
    void Note(const AnsiString& line) override { Notes.push_back(line); }
    std::vector<std::string> Notes;
    std::vector<std::string> NotesWith(const std::string& part) const
    {
        std::vector<std::string> found;
        std::copy_if(Notes.begin(), Notes.end(), std::back_inserter(found),
                     [&](const std::string& note) { return note.find(part) != std::string::npos; });
        return found;
    }
};

// What the peers saw from here on.
class TPeerLogs {
public:
    TPeerLogs() : FProxy(ReadText(PeerLog("tinyproxy.log")).size()), FServer(ReadText(PeerLog("nginx-access.log")).size()) {}
    std::string Proxy() const { return ReadText(PeerLog("tinyproxy.log")).substr(FProxy); }
    std::string Server() const { return ReadText(PeerLog("nginx-access.log")).substr(FServer); }

private:
    std::size_t FProxy, FServer;
};

class SystemProxySteps : public ::testing::Test {
protected:
    void SetUp() override { RemoveTree("C:\\KORVANT07"); }

    // Windows' answer: the Internet settings, and what a script says.
    void WindowsSays(platform::TUserProxySettings settings, std::optional<std::string> script = std::nullopt)
    {
        steps.SystemProxyLookup = {[settings] { return std::optional(settings); },
                                   [script](const std::string&, const platform::TScriptSource&) {
                                       return script ? std::optional(platform::TScriptAnswer{*script}) : std::nullopt;
                                   }};
    }
    void ScriptSays(const std::string& answer)
    {
        platform::TUserProxySettings settings;
        settings.AutoConfigUrl = "http://127.0.0.1:8760/any.pac";
        WindowsSays(settings, answer);
    }

    TInstallSteps steps{nullptr, BaseUrl, ManifestPublicKey};
    TNotingSink sink;
};

TEST_F(SystemProxySteps, AProxyThatTakesNoConnectionGivesWayToTheNextForTheWholeRun)
{
    // WinHTTP lists a script's proxies up to its first DIRECT.
    ScriptSays(std::string(Unreachable) + ";" + Tinyproxy);
    TPeerLogs logs;
    ASSERT_EQ(steps.InstallProgram(TInstallChoices{}, sink), TStepResult::Done) << ::testing::PrintToString(sink.Notes);
    EXPECT_TRUE(Exists(InstallFolder + "ZipEng179.dll"));
    EXPECT_TRUE(Exists(InstallFolder + "KORVANT07.EXE"));

    const std::string proxied = logs.Proxy();
    for (const char* file : {"manifest.txt", "ZipEng179.dll", "main.zip", "upgrade.zip"})
        EXPECT_NE(proxied.find("http://127.0.0.1:8707/korvant07/" + std::string(file)), std::string::npos) << file;
    // Once given up, the first proxy is not tried again for the next files.
    EXPECT_EQ(sink.NotesWith("cannot be reached").size(), 1u) << ::testing::PrintToString(sink.Notes);
    EXPECT_EQ(sink.NotesWith("System proxy 127.0.0.1:8769 cannot be reached").size(), 1u);
    EXPECT_EQ(sink.NotesWith("GET http://127.0.0.1:8707/korvant07/main.zip: HTTP/1.1 200 OK").size(), 1u);
    EXPECT_EQ(sink.NotesWith("via proxy 127.0.0.1:8708").size(), 5u) << ::testing::PrintToString(sink.Notes);
    EXPECT_EQ(sink.NotesWith("Program step: drive C, install folder C:\\KORVANT07\\, system proxy PROXY 127.0.0.1:8769; "
                             "PROXY 127.0.0.1:8708").size(), 1u);
    // No reconnect was shown for the proxy that was never there.
    EXPECT_FALSE(std::any_of(sink.Events.begin(), sink.Events.end(),
                             [](const std::string& e) { return e.rfind("reconnecting", 0) == 0; }));

    // The data step goes the same way, without asking Windows again.
    TInstallChoices data;
    data.DataFolder = TInstallSteps::DefaultDataFolder('C');
    steps.SystemProxyLookup = {};
    ASSERT_EQ(steps.InstallData(data, sink), TStepResult::Done);
    EXPECT_NE(logs.Proxy().find("/korvant07/globalbenl.zip"), std::string::npos);
    EXPECT_EQ(sink.NotesWith("cannot be reached").size(), 1u);
}

TEST_F(SystemProxySteps, DirectOnlyWhenTheScriptSaysSo)
{
    {
        ScriptSays(std::string("PROXY ") + Unreachable + "; DIRECT");
        TPeerLogs logs;
        ASSERT_EQ(steps.InstallProgram(TInstallChoices{}, sink), TStepResult::Done);
        EXPECT_EQ(logs.Proxy().find("korvant07"), std::string::npos);
        EXPECT_NE(logs.Server().find("GET /korvant07/main.zip"), std::string::npos);
        EXPECT_EQ(sink.NotesWith("System proxy 127.0.0.1:8769 cannot be reached (no connection); next: DIRECT").size(), 1u)
            << ::testing::PrintToString(sink.Notes);
        const std::vector<std::string> got = sink.NotesWith("main.zip: HTTP/1.1 200 OK");
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].substr(got[0].rfind(", ")), ", direct") << got[0];
    }
    RemoveTree("C:\\KORVANT07");
    TInstallSteps alone{nullptr, BaseUrl, ManifestPublicKey};
    TNotingSink aloneSink;
    platform::TUserProxySettings settings;
    settings.AutoConfigUrl = "http://127.0.0.1:8760/any.pac";
    alone.SystemProxyLookup = {[settings] { return std::optional(settings); },
                               [](const std::string&, const platform::TScriptSource&) {
                                   return std::optional(platform::TScriptAnswer{Unreachable});
                               }};
    TPeerLogs logs;
    ASSERT_EQ(alone.InstallProgram(TInstallChoices{}, aloneSink), TStepResult::Failed);
    // Never direct behind the script's back: the server heard nothing.
    EXPECT_EQ(logs.Server().find("korvant07"), std::string::npos) << logs.Server();
    ASSERT_EQ(aloneSink.Failures.size(), 1u);
    EXPECT_NE(aloneSink.Failures[0].find("Socket Error"), std::string::npos) << aloneSink.Failures[0];
    EXPECT_EQ(aloneSink.NotesWith("via proxy 127.0.0.1:8769").size(), 1u) << ::testing::PrintToString(aloneSink.Notes);
}

TEST_F(SystemProxySteps, TheInternetSettingsProxyAndItsBypassList)
{
    platform::TUserProxySettings settings;
    settings.Proxy = Tinyproxy;
    {
        WindowsSays(settings);
        TPeerLogs logs;
        ASSERT_EQ(steps.InstallProgram(TInstallChoices{}, sink), TStepResult::Done);
        EXPECT_NE(logs.Proxy().find("http://127.0.0.1:8707/korvant07/main.zip"), std::string::npos);
        EXPECT_EQ(sink.NotesWith("System proxy for http://127.0.0.1:8707/korvant07/: PROXY 127.0.0.1:8708 (Internet "
                                 "settings: 127.0.0.1:8708)").size(), 1u)
            << ::testing::PrintToString(sink.Notes);
    }
    RemoveTree("C:\\KORVANT07");
    TInstallSteps bypassed{nullptr, BaseUrl, ManifestPublicKey};
    settings.Bypass = "<local>;127.0.0.1:8707";
    bypassed.SystemProxyLookup = {[settings] { return std::optional(settings); }, nullptr};
    TPeerLogs logs;
    ASSERT_EQ(bypassed.InstallProgram(TInstallChoices{}, sink), TStepResult::Done);
    EXPECT_EQ(logs.Proxy().find("korvant07"), std::string::npos);
    EXPECT_NE(logs.Server().find("GET /korvant07/main.zip"), std::string::npos);
}

TEST_F(SystemProxySteps, ATypedProxyIsUsedAsItIsAndWindowsIsNotAsked)
{
    bool asked = false;
    steps.SystemProxyLookup = {[&asked] {
                                   asked = true;
                                   return std::optional<platform::TUserProxySettings>();
                               },
                               nullptr};
    TInstallChoices choices;
    choices.UseProxy = true;
    choices.ProxyServer = "127.0.0.1";
    choices.ProxyPort = 8708;
    TPeerLogs logs;
    ASSERT_EQ(steps.InstallProgram(choices, sink), TStepResult::Done);
    EXPECT_FALSE(asked);
    EXPECT_NE(logs.Proxy().find("http://127.0.0.1:8707/korvant07/main.zip"), std::string::npos);
    // Unchecked on a later step: what was typed stays.
    TInstallChoices data;
    data.DataFolder = TInstallSteps::DefaultDataFolder('C');
    ASSERT_EQ(steps.InstallData(data, sink), TStepResult::Done);
    EXPECT_FALSE(asked);
    EXPECT_NE(logs.Proxy().find("/korvant07/globalbenl.zip"), std::string::npos);
}

} // namespace
