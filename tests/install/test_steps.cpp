// The installation steps with no window at all: a recording sink stands in
// for the wizard, nginx serves the demo content, the fault proxy misbehaves.
#include "setup/install/uInstallSteps.h"
#include "http/uNetStack.h"
#include "tests/install/uRecordingSink.h"
#include "tests/support/uTestPaths.h"

#include "manifest_key.h"

#include <windows.h>
#include <shellapi.h>

#include "../support/uInstallTestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

using namespace installtest;

namespace {

const std::string BaseUrl = "http://127.0.0.1:8707/korvant07/";

std::string BinaryDir() { return ProgramPath(std::getenv("KORVANT_BINARY_DIR")); }
std::string WwwFile(const std::string& name) { return BinaryDir() + "\\www\\korvant07\\" + name; }
int FaultProxyPort()
{
    const char* port = std::getenv("KORVANT_FAULT_PROXY_PORT");
    return port && std::atoi(port) > 0 ? std::atoi(port) : 8709;
}

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The fault proxy's control file: each call a new run with these faults.
void SetFaults(const std::string& lines)
{
    static int run = 0;
    const std::string control = BinaryDir() + "\\e2e\\faultproxy.control";
    DeleteFileA((control + ".release").c_str());
    WriteFileText(control, "#run-" + std::to_string(++run) + "-steps\n" + lines);
    WriteFileText(control + ".log", "");
}

// What the fault proxy saw: the request lines, and its HOLD and RELEASE marks.
std::string ProxyLog() { return ReadFileText(BinaryDir() + "\\e2e\\faultproxy.control.log"); }
// Lets answers held with "hold" go.
void ReleaseHeld() { WriteFileText(BinaryDir() + "\\e2e\\faultproxy.control.release", "go"); }

bool WaitFor(const std::function<bool()>& condition, unsigned ms = 15000)
{
    for (const auto until = GetTickCount64() + ms; GetTickCount64() < until; Sleep(20))
        if (condition())
            return true;
    return condition();
}

// The faults that serve a main.zip of 3000 small files (MANY\0000.TXT ...
// holding "file 0000" and a line end ...) with a signed list that names it.
std::string ManyFilesMain()
{
    // The proxy runs on the host: it reads the build folder's own path.
    const std::string e2e = std::string(std::getenv("KORVANT_BINARY_DIR")) + "/e2e/";
    return "main.zip from=" + e2e + "many-files.zip\nmanifest.txt from=" + e2e + "many-files.txt\nmanifest.sig from=" +
           e2e + "many-files.sig\n";
}

// Every file and folder under `folder`, relative, folders ending in "\\".
std::vector<std::string> TreeOf(const std::string& folder, const std::string& under = "")
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + under + "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            names.push_back(under + name + "\\");
            for (const std::string& inner : TreeOf(folder, under + name + "\\"))
                names.push_back(inner);
        } else {
            names.push_back(under + name);
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

// Where a line starting with `prefix` first stands among the notes (-1: nowhere).
int NoteAt(const std::vector<std::string>& notes, const std::string& prefix)
{
    for (std::size_t i = 0; i < notes.size(); ++i)
        if (notes[i].rfind(prefix, 0) == 0)
            return static_cast<int>(i);
    return -1;
}

class Steps : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveTree("C:\\KORVANT07");
        DeleteFileA(DesktopLink().c_str());
        SetFaults("");
    }
    void TearDown() override { SetFaults(""); }

    TInstallChoices ThroughFaultProxy()
    {
        TInstallChoices choices;
        choices.UseProxy = true;
        choices.ProxyServer = "127.0.0.1";
        choices.ProxyPort = FaultProxyPort();
        return choices;
    }

    TInstallSteps steps{nullptr, BaseUrl, ManifestPublicKey};
    TRecordingSink sink;
};

TEST_F(Steps, TheProgramStepInstallsWithoutAWindowAndReportsItsProgress)
{
    ASSERT_EQ(steps.InstallProgram(TInstallChoices{}, sink), TStepResult::Done);
    EXPECT_TRUE(sink.Failures.empty());
    EXPECT_TRUE(Exists(InstallFolder + "ZipEng179.dll"));
    EXPECT_EQ(ReadFileText(InstallFolder + "VERSION.TXT"), "KORVANT 07 demo\r\nversion 7.0.1\r\n");
    EXPECT_TRUE(Exists(InstallFolder + "HELP\\LEESMIJ.TXT"));
    EXPECT_FALSE(Exists(InstallFolder + "main.zip"));
    EXPECT_FALSE(Exists(InstallFolder + "upgrade.zip"));

    // Each download announces its size and ends; each archive ends its batch.
    const auto size = [](const char* name) {
        return "begin " + std::to_string(ReadFileText(WwwFile(name)).size());
    };
    const std::vector<std::string> expected = {size("manifest.txt"), "end", size("manifest.sig"), "end",
        size("ZipEng179.dll"), "end", size("main.zip"), "end", "unpacked", size("upgrade.zip"), "end", "unpacked"};
    std::vector<std::string> seen;
    for (const std::string& e : sink.Events)
        if (seen.empty() || e != "unpacked" || seen.back() != "unpacked")
            seen.push_back(e);
    EXPECT_EQ(seen, expected);
    EXPECT_GT(sink.ProgressReports.load(), 0);
    // The last line of each file says all of it arrived.
    bool mainLine = false;
    for (const std::string& line : sink.Lines)
        mainLine = mainLine || line.rfind("main.zip: ", 0) == 0;
    EXPECT_TRUE(mainLine);
}

TEST_F(Steps, TheDataStepInstallsTheDataSetConfigurationAndShortcut)
{
    ASSERT_EQ(steps.InstallProgram(TInstallChoices{}, sink), TStepResult::Done);
    TInstallChoices choices;
    choices.DataFolder = "C:\\KORVANT07\\DATA07";
    choices.VariantIndex = 1;
    choices.VariantCode = "nl";
    ASSERT_EQ(steps.InstallData(choices, sink), TStepResult::Done);
    EXPECT_TRUE(sink.Failures.empty());
    EXPECT_EQ(ReadFileText(DataFolder + "GLOBAL\\WINKEL.DAT"), "KORVANT data set\r\nvariant=nl\r\n");
    EXPECT_TRUE(Exists(DataFolder + "GLOBAL\\ADMINISTRATIE.DB"));
    EXPECT_TRUE(Exists(DataFolder + "MESSAGES\\MESSAGES.DB"));
    EXPECT_TRUE(Exists(DataFolder + "LEVLIST"));
    EXPECT_EQ(ReadFileText(DataFolder + "upgrade.txt"), "KORVANT 07 upgrade 7.0.1\r\n");
    EXPECT_EQ(ReadFileText(DataFolder + "upgrade.zip"), ReadFileText(WwwFile("upgrade.zip")));
    EXPECT_NE(ReadFileText(InstallFolder + "CONFIG07.INI").find("BEDRIJF_DIRECTORY=\"C:\\KORVANT07\\DATA07\\\""),
              std::string::npos);
    EXPECT_NE(ReadFileText(InstallFolder + "000\\CONFIG07.INI").find("KASKONTANT=01000"), std::string::npos);
    EXPECT_TRUE(sink.Saw("configured"));
    EXPECT_TRUE(Exists(DesktopLink()));
}

TEST_F(Steps, AFolderWithoutADataSetIsRejectedAndNothingIsWritten)
{
    TInstallChoices choices;
    choices.InstallDataSet = false;
    choices.DataFolder = "C:\\KORVANT07\\ELSEWHERE\\";
    ASSERT_EQ(steps.InstallData(choices, sink), TStepResult::NoDataSet);
    EXPECT_TRUE(sink.Saw("rejected De opgegeven locatie bevat geen geldige gegevens."));
    EXPECT_FALSE(Exists(InstallFolder + "CONFIG07.INI"));
    EXPECT_FALSE(Exists(DesktopLink()));

    // With the marker the folder is taken as it is: only configuration and shortcut.
    CreateDirectoryA("C:\\KORVANT07", nullptr);
    CreateDirectoryA("C:\\KORVANT07\\ELSEWHERE", nullptr);
    CreateDirectoryA("C:\\KORVANT07\\ELSEWHERE\\GLOBAL", nullptr);
    WriteFileText("C:\\KORVANT07\\ELSEWHERE\\GLOBAL\\WINKEL.DAT", "shared data");
    TRecordingSink second;
    ASSERT_EQ(steps.InstallData(choices, second), TStepResult::Done);
    EXPECT_TRUE(second.Events == std::vector<std::string>{"configured"});
    EXPECT_FALSE(Exists("C:\\KORVANT07\\ELSEWHERE\\MESSAGES"));
    EXPECT_TRUE(Exists(InstallFolder + "CONFIG07.INI"));
}

TEST_F(Steps, AFailureReachesTheSinkWithTheMessage)
{
    TInstallSteps refused(nullptr, "http://127.0.0.1:9/korvant07/", ManifestPublicKey);
    ASSERT_EQ(refused.InstallProgram(TInstallChoices{}, sink), TStepResult::Failed);
    ASSERT_EQ(sink.Failures.size(), 1u);
    EXPECT_EQ(sink.Failures[0], "Socket Error # 10061\r\nConnection refused.");
    EXPECT_FALSE(Exists(InstallFolder + "ZipEng179.dll"));
}

TEST_F(Steps, ACancelFromAnotherThreadStopsTheDownloadAtOnceAndNothingFollows)
{
    SetFaults("main.zip slow=2000000\n");
    std::thread canceller;
    // Only once the engine library is in place: a cancel that lands during
    // its own download would be a different case.
    sink.OnProgress = [&](std::int32_t done) {
        if (done > 100000 && !canceller.joinable() && Exists(InstallFolder + "ZipEng179.dll"))
            canceller = std::thread([this] { steps.RequestCancel(); });
    };
    const auto started = GetTickCount64();
    EXPECT_EQ(steps.InstallProgram(ThroughFaultProxy(), sink), TStepResult::Cancelled);
    canceller.join();
    EXPECT_LT(GetTickCount64() - started, 20000u);
    EXPECT_TRUE(sink.Failures.empty());
    EXPECT_FALSE(Exists(InstallFolder + "KORVANT07.EXE"));
    EXPECT_TRUE(Exists(InstallFolder + "ZipEng179.dll"));
}

TEST_F(Steps, AHeldStepStandsStillUntilReleased)
{
    SetFaults("main.zip slow=2000000\n");
    std::thread holder;
    std::atomic<std::int32_t> atHold{0};
    sink.OnProgress = [&](std::int32_t done) {
        if (done > 100000 && !holder.joinable()) {
            steps.Hold(true);
            atHold = done;
            holder = std::thread([&] {
                Sleep(1500);
                // Held: no byte more was taken in.
                EXPECT_EQ(sink.LastDone.load(), atHold.load());
                steps.RequestCancel();
            });
        }
    };
    EXPECT_EQ(steps.InstallProgram(ThroughFaultProxy(), sink), TStepResult::Cancelled);
    holder.join();
}

// --- nothing unverified under a real name --------------------------------------

// A download that fails or is cancelled leaves no file of its name and keeps
// what lay at the target before; a good one replaces it.
struct TBrokenDownload {
    const char* Name;
    const char* Faults;
    bool Cancel;
};

class BrokenDownload : public Steps, public ::testing::WithParamInterface<TBrokenDownload> {};

TEST_P(BrokenDownload, LeavesNoPartFileAndTheEarlierFileUntouched)
{
    const TBrokenDownload& broken = GetParam();
    SetFaults(broken.Faults);
    CreateDirectoryA("C:\\KORVANT07", nullptr);
    const std::string earlier = "an earlier good main.zip";
    WriteFileText(InstallFolder + "main.zip", earlier);
    std::thread canceller;
    if (broken.Cancel)
        sink.OnProgress = [&](std::int32_t done) {
            if (done > 100000 && !canceller.joinable())
                canceller = std::thread([this] { steps.RequestCancel(); });
        };
    steps.SetSink(&sink);
    TNetWaitHookScope checks([this] { steps.CheckCancelled(); });
    steps.NetHTTP->ProxyParams().SetProxyServer("127.0.0.1");
    steps.NetHTTP->ProxyParams().SetProxyPort(FaultProxyPort());
    bool failed = false, cancelled = false;
    try {
        steps.FetchFile("main.zip", InstallFolder + "main.zip");
    } catch (const Exception& e) {
        failed = true;
        std::printf("%s: %s\n", broken.Name, e.Message().c_str());
    } catch (const EStepCancelled&) {
        cancelled = true;
    }
    if (canceller.joinable())
        canceller.join();
    EXPECT_EQ(failed, !broken.Cancel);
    EXPECT_EQ(cancelled, broken.Cancel);
    EXPECT_FALSE(Exists(InstallFolder + "main.zip.part"));
    EXPECT_EQ(ReadFileText(InstallFolder + "main.zip"), earlier);

    // The same fetch that succeeds replaces the earlier file whole.
    SetFaults("");
    steps.ClearCancel();
    sink.OnProgress = nullptr;
    steps.FetchFile("main.zip", InstallFolder + "main.zip");
    EXPECT_EQ(ReadFileText(InstallFolder + "main.zip"), ReadFileText(WwwFile("main.zip")));
    EXPECT_FALSE(Exists(InstallFolder + "main.zip.part"));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BrokenDownload,
    ::testing::Values(TBrokenDownload{"Cut", "main.zip close-mid-body\n", false},
                      TBrokenDownload{"WrongRange", "main.zip wrong-range-once\n", false},
                      TBrokenDownload{"BadChunk", "main.zip bad-chunk\n", false},
                      TBrokenDownload{"Changed", "main.zip flip-byte\n", false},
                      TBrokenDownload{"Cancel", "main.zip slow=2000000\n", true}),
    [](const ::testing::TestParamInfo<TBrokenDownload>& info) { return std::string(info.param.Name); });

TEST_F(Steps, AResumedDownloadContinuesItsPartFile)
{
    SetFaults("main.zip close-mid-body-once\n");
    TInstallChoices choices = ThroughFaultProxy();
    ASSERT_EQ(steps.InstallProgram(choices, sink), TStepResult::Done);
    EXPECT_TRUE(sink.Saw("reconnecting 2/4"));
    EXPECT_TRUE(Exists(InstallFolder + "KORVANT07.EXE"));
    EXPECT_FALSE(Exists(InstallFolder + "main.zip.part"));
    EXPECT_FALSE(Exists(InstallFolder + "main.zip"));
}

// A list the server refuses is an HTTP error like any other; "not genuine"
// is kept for a list that arrived and fails its checks.
TEST_F(Steps, ARefusedListIsAnHttpErrorAndAnEditedOneIsNotGenuine)
{
    SetFaults("manifest.sig 404\n");
    EXPECT_EQ(steps.InstallProgram(ThroughFaultProxy(), sink), TStepResult::Failed);
    ASSERT_EQ(sink.Failures.size(), 1u);
    EXPECT_EQ(sink.Failures[0], "HTTP/1.1 404 Not Found");

    TInstallSteps second(nullptr, BaseUrl, ManifestPublicKey);
    TRecordingSink edited;
    SetFaults("manifest.txt flip-byte\n");
    EXPECT_EQ(second.InstallProgram(ThroughFaultProxy(), edited), TStepResult::Failed);
    ASSERT_EQ(edited.Failures.size(), 1u);
    EXPECT_EQ(edited.Failures[0], "Controle mislukt: manifest.txt is niet echt.");
    EXPECT_FALSE(Exists(InstallFolder + "ZipEng179.dll"));
}

// A data step that failed before its data set was made writes neither
// configuration nor shortcut; one whose data set stands writes both.
TEST_F(Steps, AFailedDataStepConfiguresOnlyAMadeDataSet)
{
    ASSERT_EQ(steps.InstallProgram(TInstallChoices{}, sink), TStepResult::Done);
    TInstallChoices choices = ThroughFaultProxy();
    choices.DataFolder = "C:\\KORVANT07\\DATA07";
    SetFaults("globalbenl.zip flip-byte\n");
    TRecordingSink early;
    EXPECT_EQ(steps.InstallData(choices, early), TStepResult::Failed);
    EXPECT_EQ(early.Failures, std::vector<std::string>{"Controle mislukt: globalbenl.zip is beschadigd of gewijzigd."});
    EXPECT_FALSE(Exists(DataFolder + "GLOBAL\\global.zip"));
    EXPECT_FALSE(Exists(DataFolder + "GLOBAL\\global.zip.part"));
    EXPECT_FALSE(Exists(InstallFolder + "CONFIG07.INI"));
    EXPECT_FALSE(Exists(DesktopLink()));

    SetFaults("upgrade.zip close-mid-body\n");
    TRecordingSink late;
    EXPECT_EQ(steps.InstallData(choices, late), TStepResult::Failed);
    EXPECT_EQ(late.Failures, std::vector<std::string>{"Connection Closed Gracefully."});
    EXPECT_TRUE(Exists(DataFolder + "upgrade.txt"));
    EXPECT_FALSE(Exists(DataFolder + "upgrade.zip"));
    EXPECT_FALSE(Exists(DataFolder + "upgrade.zip.part"));
    EXPECT_TRUE(Exists(InstallFolder + "CONFIG07.INI"));
    EXPECT_TRUE(Exists(DesktopLink()));
}

// --- upgrade.zip arrives while main.zip is unpacked ----------------------------

// The proxy answers upgrade.zip only once main.zip's unpack has begun: the
// request must be on its way by then. The sink sees what it always saw, in
// the same order and on the step's own thread, and the wire the same
// requests in the same order.
TEST_F(Steps, UpgradeIsFetchedWhileMainIsUnpackedAndUnpackedAfterIt)
{
    SetFaults("upgrade.zip hold\n");
    bool unpackBegun = false, requestedMeanwhile = false;
    sink.OnUnpack = [&](int percent) {
        if (unpackBegun || percent > 100)
            return;
        unpackBegun = true;
        requestedMeanwhile = WaitFor([] { return ProxyLog().find("HOLD upgrade.zip") != std::string::npos; });
        ReleaseHeld();
    };
    ASSERT_EQ(steps.InstallProgram(ThroughFaultProxy(), sink), TStepResult::Done);
    EXPECT_TRUE(requestedMeanwhile) << "upgrade.zip was not asked for while main.zip was unpacked";
    EXPECT_TRUE(sink.Failures.empty());
    EXPECT_EQ(ReadFileText(InstallFolder + "VERSION.TXT"), "KORVANT 07 demo\r\nversion 7.0.1\r\n");
    EXPECT_TRUE(Exists(InstallFolder + "UPGRADE.TXT"));
    EXPECT_TRUE(Exists(InstallFolder + "HELP\\HANDLEIDING.DAT"));
    EXPECT_FALSE(Exists(InstallFolder + "main.zip"));
    EXPECT_FALSE(Exists(InstallFolder + "upgrade.zip"));

    std::vector<std::string> requested;
    const std::string log = ProxyLog();
    for (std::size_t at = log.find("GET "); at != std::string::npos; at = log.find("GET ", at + 1))
        requested.push_back(log.substr(at, log.find('|', at) - at));
    const std::string base = "GET " + BaseUrl;
    EXPECT_EQ(requested, (std::vector<std::string>{base + "manifest.txt HTTP/1.1", base + "manifest.sig HTTP/1.1",
                                                    base + "ZipEng179.dll HTTP/1.1", base + "main.zip HTTP/1.1",
                                                    base + "upgrade.zip HTTP/1.1"}));

    const auto size = [](const char* name) { return "begin " + std::to_string(ReadFileText(WwwFile(name)).size()); };
    const std::vector<std::string> expected = {size("manifest.txt"), "end", size("manifest.sig"), "end",
        size("ZipEng179.dll"), "end", size("main.zip"), "end", "unpacked", size("upgrade.zip"), "end", "unpacked"};
    std::vector<std::string> seen;
    for (const std::string& e : sink.Events)
        if (seen.empty() || e != "unpacked" || seen.back() != "unpacked")
            seen.push_back(e);
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(sink.CallsOffThread.load(), 0);

    // The log: the fetch begins beside main.zip's unpack, and upgrade.zip is
    // verified before it is unpacked, after main.zip.
    const auto& notes = sink.Notes;
    const int fetching = NoteAt(notes, "Fetching upgrade.zip while unpacking");
    const int got = NoteAt(notes, "GET " + BaseUrl + "upgrade.zip: HTTP/1.1 200 OK");
    const int verified = NoteAt(notes, "Verified upgrade.zip: ");
    const int mainDone = NoteAt(notes, "Unpacked main.zip ");
    const int upgradeDone = NoteAt(notes, "Unpacked upgrade.zip ");
    EXPECT_TRUE(fetching >= 0 && fetching < got && got < verified && verified < upgradeDone && mainDone < upgradeDone)
        << fetching << " " << got << " " << verified << " " << mainDone << " " << upgradeDone;
    EXPECT_LT(NoteAt(notes, "Free space on C: "), fetching);
}

// Every file the unpack left under a real name is whole: no temporary file,
// no part file, each of main.zip's small files with its own text.
void ExpectNoHalfFiles(int& manyFiles)
{
    manyFiles = 0;
    for (const std::string& name : TreeOf(InstallFolder)) {
        EXPECT_EQ(name.find(".~zetmp"), std::string::npos) << name;
        EXPECT_EQ(name.find(".part"), std::string::npos) << name;
        if (name.rfind("MANY\\", 0) == 0 && name.back() != '\\') {
            ++manyFiles;
            EXPECT_EQ(ReadFileText(InstallFolder + name), "file " + name.substr(5, 4) + "\r\n") << name;
        }
    }
}

// upgrade.zip fails its check while main.zip is still being unpacked: the
// unpack goes on to its end (no program left half replaced), then the step
// fails with the message a failed upgrade.zip always had.
TEST_F(Steps, AFailedUpgradeLetsMainsUnpackEndThenFailsWithItsOwnMessage)
{
    SetFaults(ManyFilesMain() + "upgrade.zip hold,flip-byte\n");
    bool unpackBegun = false, failedMeanwhile = false;
    sink.OnUnpack = [&](int percent) {
        if (unpackBegun || percent > 100)
            return;
        unpackBegun = true;
        ReleaseHeld();
        failedMeanwhile = WaitFor([] {
            return ProxyLog().find("RELEASE upgrade.zip") != std::string::npos &&
                   !Exists(InstallFolder + "upgrade.zip.part");
        });
        Sleep(200);
    };
    ASSERT_EQ(steps.InstallProgram(ThroughFaultProxy(), sink), TStepResult::Failed);
    EXPECT_TRUE(failedMeanwhile);
    EXPECT_EQ(sink.Failures, std::vector<std::string>{"Controle mislukt: upgrade.zip is beschadigd of gewijzigd."});
    EXPECT_FALSE(Exists(InstallFolder + "upgrade.zip"));
    EXPECT_FALSE(Exists(InstallFolder + "upgrade.zip.part"));
    // main.zip was unpacked whole and removed, as after any unpack that ended.
    EXPECT_FALSE(Exists(InstallFolder + "main.zip"));
    int manyFiles = 0;
    ExpectNoHalfFiles(manyFiles);
    EXPECT_EQ(manyFiles, 3000) << "main.zip's unpack stopped halfway when upgrade.zip failed";
    EXPECT_EQ(sink.CallsOffThread.load(), 0);
    EXPECT_GE(NoteAt(sink.Notes, "Verified upgrade.zip: 321 bytes"), 0);
    EXPECT_GE(NoteAt(sink.Notes, "Program step failed: Controle mislukt: upgrade.zip"), 0);
}

// main.zip cannot replace a file a program holds open: the step fails with
// that message at once, and upgrade.zip's download, still held by the
// server, is broken off and leaves nothing.
TEST_F(Steps, AFailedUnpackStopsTheUpgradesDownload)
{
    ASSERT_EQ(steps.InstallProgram(TInstallChoices{}, sink), TStepResult::Done);
    const std::string before = ReadFileText(InstallFolder + "VERSION.TXT");
    SetFaults("upgrade.zip hold\n");
    TRecordingSink second;
    HANDLE held = INVALID_HANDLE_VALUE;
    second.OnUnpack = [&](int percent) {
        if (held != INVALID_HANDLE_VALUE || percent > 100)
            return;
        // Taken after the check for held files, as a program started meanwhile would.
        held = CreateFileA((InstallFolder + "VERSION.TXT").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    };
    const auto started = GetTickCount64();
    EXPECT_EQ(steps.InstallProgram(ThroughFaultProxy(), second), TStepResult::Failed);
    const auto took = GetTickCount64() - started;
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);
    EXPECT_EQ(second.Failures,
              std::vector<std::string>{"Het bestand C:\\KORVANT07\\VERSION.TXT kan niet vervangen worden."});
    EXPECT_NE(ProxyLog().find("HOLD upgrade.zip"), std::string::npos);
    EXPECT_LT(took, 15000u) << "the step waited for the held download";
    EXPECT_FALSE(Exists(InstallFolder + "upgrade.zip"));
    EXPECT_FALSE(Exists(InstallFolder + "upgrade.zip.part"));
    EXPECT_EQ(ReadFileText(InstallFolder + "VERSION.TXT"), before);
    int manyFiles = 0;
    ExpectNoHalfFiles(manyFiles);
    EXPECT_EQ(second.CallsOffThread.load(), 0);
    EXPECT_GE(NoteAt(second.Notes, "GET " + BaseUrl + "upgrade.zip: stopped"), 0);
    // Nothing of upgrade.zip's download reached the window.
    EXPECT_FALSE(second.Saw("begin 321"));
}

// A cancel while both run ends both: nothing of upgrade.zip stays, main.zip's
// unpack ends between two entries, and no failure is reported.
TEST_F(Steps, ACancelWhileBothRunStopsBoth)
{
    SetFaults(ManyFilesMain() + "upgrade.zip hold\n");
    bool unpackBegun = false, overlapped = false;
    sink.OnUnpack = [&](int percent) {
        if (unpackBegun || percent > 100)
            return;
        unpackBegun = true;
        overlapped = WaitFor([] { return ProxyLog().find("HOLD upgrade.zip") != std::string::npos; });
        std::thread([this] { steps.RequestCancel(); }).join();
    };
    const auto started = GetTickCount64();
    EXPECT_EQ(steps.InstallProgram(ThroughFaultProxy(), sink), TStepResult::Cancelled);
    EXPECT_LT(GetTickCount64() - started, 15000u);
    EXPECT_TRUE(overlapped);
    EXPECT_TRUE(sink.Failures.empty());
    EXPECT_FALSE(Exists(InstallFolder + "upgrade.zip"));
    EXPECT_FALSE(Exists(InstallFolder + "upgrade.zip.part"));
    EXPECT_TRUE(Exists(InstallFolder + "main.zip"));
    int manyFiles = 0;
    ExpectNoHalfFiles(manyFiles);
    EXPECT_LT(manyFiles, 3000);
    EXPECT_EQ(sink.CallsOffThread.load(), 0);
    EXPECT_GE(NoteAt(sink.Notes, "GET " + BaseUrl + "upgrade.zip: cancelled"), 0);
    EXPECT_GE(NoteAt(sink.Notes, "Program step cancelled"), 0);
}

} // namespace
