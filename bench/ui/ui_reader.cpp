// How fast the wizard's window answers another process while it works: reads
// the text of the form and of every control in it (WM_GETTEXT, as a screen
// reader or a test tool does) from this process, once with the wizard idle on
// the proxy page, then in the middle of a download, of an extraction and of
// the installed program's run. Prints the median time of one full read in
// each state and its ratio to the idle one (target: at most 2).
//   ui_reader.exe FAULT_PROXY_PORT CONTROL_FILE MANY_FILES_DIR
// MANY_FILES_DIR (a path the fault proxy reads) holds two archives of the
// same many small files under a folder MANY, each with its list and
// signature: many-files-folders.zip, a hundred files to a folder as the
// product's archives hold them, and many-files-one-folder.zip, all in MANY
// itself. Wine reads the whole folder for every name it creates, so the
// second costs the machine's processors far more per file than the first;
// the reads beside unpack.exe show what that costs a reader of any window.
#include "uWizardDriver.h"

#include "platform/uWinOwners.h"
#include "tests/support/uInstallTestFiles.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace e2e;
using installtest::Exists;

namespace {

const std::string Next = "Volgende >";
constexpr int Passes = 15;

struct TRead {
    double Ms;
    int Controls;
};

BOOL CALLBACK AddChild(HWND child, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

// One read of every control, the form first.
TRead ReadAll(HWND form)
{
    std::vector<HWND> windows{form};
    EnumChildWindows(form, AddChild, reinterpret_cast<LPARAM>(&windows));
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&a);
    for (HWND h : windows) {
        char text[512];
        DWORD_PTR got = 0;
        SendMessageTimeoutA(h, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 10000, &got);
    }
    QueryPerformanceCounter(&b);
    return {double(b.QuadPart - a.QuadPart) * 1000.0 / double(f.QuadPart), int(windows.size())};
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Reads while `busy` holds, up to Passes times; only reads that ended while
// the wizard was still busy count.
std::vector<double> ReadWhile(HWND form, const std::function<bool()>& busy, int& controls)
{
    std::vector<double> times;
    while (int(times.size()) < Passes && busy()) {
        const TRead read = ReadAll(form);
        if (!busy())
            break;
        times.push_back(read.Ms);
        controls = read.Controls;
        Sleep(20);
    }
    return times;
}

void SetFaults(const std::string& controlFile, const std::string& lines)
{
    static int run = 0;
    std::ofstream(controlFile, std::ios::binary | std::ios::trunc) << "#ui-" << ++run << "\n" << lines;
}

void ToProxyPage(TWizard& w, int proxyPort)
{
    w.ClickButton(Next);
    if (!WaitUntil([&] { return w.Find("Button", Next) != nullptr; }, 30s))
        throw std::runtime_error("the wizard did not leave its first page");
    w.ClickButton(Next);
    w.ClickButton(Next);
    if (!WaitUntil([&] { return w.FindAt("Edit", ProxyServerAt.x, ProxyServerAt.y) != nullptr; }, 30s))
        throw std::runtime_error("no proxy page:\n" + w.Describe());
    w.Click(w.FindAt("Button", PageLeft + 20, 204));
    w.SetText(w.FindAt("Edit", ProxyServerAt.x, ProxyServerAt.y), "127.0.0.1");
    w.SetText(w.FindAt("Edit", ProxyPortAt.x, ProxyPortAt.y), std::to_string(proxyPort));
}

bool ProgressLineShows(const TWizard& w, const std::string& prefix)
{
    for (const std::string& text : w.LabelCaptions())
        if (text.rfind(prefix, 0) == 0)
            return true;
    return false;
}

// Idle reads of each wizard started, so that the idle figure spans the run
// as the busy ones do.
void MoreIdle(HWND form, std::vector<double>& idle, int& controls)
{
    Sleep(500);
    const std::vector<double> more = ReadWhile(form, [] { return true; }, controls);
    idle.insert(idle.end(), more.begin(), more.end());
}

// Reads the idle wizard while unpack.exe extracts an archive of many files
// in its own process.
std::vector<double> ReadBesideUnpack(HWND form, const std::string& manyDir, const std::string& layout, int& controls)
{
    const std::string folder = "C:\\KORVANT07-UNPACK\\", archive = folder + "many.zip";
    installtest::RemoveTree("C:\\KORVANT07-UNPACK");
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string source = "Z:" + manyDir + "/many-files-" + layout + ".zip";
    std::replace(source.begin(), source.end(), '/', '\\');
    if (!CopyFileA(source.c_str(), archive.c_str(), FALSE))
        throw std::runtime_error("cannot copy " + source);
    const std::string bin = BinaryDir() + "\\bin\\";
    // The folder's last backslash doubled: before a quote it would escape it.
    std::string command = "\"" + bin + "unpack.exe\" \"" + archive + "\" --password \"mirabel \" --engine-dir \"" + bin + "\\\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        throw std::runtime_error("cannot start unpack.exe");
    const platform::win::TKernelHandle process(pi.hProcess), thread(pi.hThread);
    WaitUntil([&] { return Exists(folder + "MANY"); }, 60s);
    auto running = [&] { return WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT; };
    std::vector<double> times = ReadWhile(form, running, controls);
    WaitForSingleObject(process.Get(), INFINITE);
    return times;
}

void Report(const char* state, const std::vector<double>& times, double idle, int controls)
{
    const double median = Median(times);
    std::printf("%-34s %2zu reads of %d windows, median %8.2f ms", state, times.size(), controls, median);
    if (!times.empty())
        std::printf(" (%.1f..%.1f)", *std::min_element(times.begin(), times.end()),
                    *std::max_element(times.begin(), times.end()));
    if (idle > 0 && state[0] != 'i')
        std::printf(", ratio to idle %.2f (target <= 2: %s)", median / idle, median <= 2 * idle ? "met" : "missed");
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: ui_reader FAULT_PROXY_PORT CONTROL_FILE MANY_FILES_DIR\n");
        return 2;
    }
    const int proxyPort = std::atoi(argv[1]);
    const std::string control = argv[2], many = argv[3];
    try {
        int controls = 0;
        // Idle and mid-download: main.zip drips at 3 MB/s.
        SetFaults(control, "main.zip slow=3000000\n");
        std::vector<double> idle, download, extraction, program;
        {
            TWizard w;
            ToProxyPage(w, proxyPort);
            MoreIdle(w.Form(), idle, controls);
            w.ClickButton(Next);
            if (!WaitUntil([&] { return ProgressLineShows(w, "main.zip: "); }, 120s))
                throw std::runtime_error("no download progress:\n" + w.Describe());
            download = ReadWhile(w.Form(), [&] { return ProgressLineShows(w, "main.zip: "); }, controls);
        }
        // Mid-extraction: main.zip is an archive of many small files, in
        // either layout.
        auto midExtraction = [&](const std::string& layout) {
            const std::string name = many + "/many-files-" + layout;
            SetFaults(control, "main.zip from=" + name + ".zip\nmanifest.txt from=" + name +
                                   ".txt\nmanifest.sig from=" + name + ".sig\n");
            installtest::RemoveTree("C:\\KORVANT07");
            TWizard w;
            ToProxyPage(w, proxyPort);
            MoreIdle(w.Form(), idle, controls);
            w.ClickButton(Next);
            // The archive is deleted once it is unpacked.
            const std::string folder = "C:\\KORVANT07\\MANY", archive = "C:\\KORVANT07\\main.zip";
            if (!WaitUntil([&] { return Exists(folder); }, 120s))
                throw std::runtime_error("no extraction:\n" + w.Describe());
            return ReadWhile(w.Form(), [&] { return Exists(archive); }, controls);
        };
        extraction = midExtraction("folders");
        const std::vector<double> extractionOneFolder = midExtraction("one-folder");
        // Mid-program-run: the demo program takes 5 s for its database.
        SetFaults(control, "");
        SetEnvironmentVariableA("KORVANT07_DEMO_DELAY_MS", "5000");
        {
            TWizard w;
            SetEnvironmentVariableA("KORVANT07_DEMO_DELAY_MS", nullptr);
            ToProxyPage(w, proxyPort);
            MoreIdle(w.Form(), idle, controls);
            w.ClickButton(Next);
            if (!w.WaitForLabel(HeadingData, 300s))
                throw std::runtime_error("no data page:\n" + w.Describe());
            DeleteFileA("C:\\KORVANT07\\KORVANT07.LOG");
            w.ClickButton(Next);
            const std::string db = "C:\\KORVANT07\\DATA07\\GLOBAL\\ADMINISTRATIE.DB";
            if (!WaitUntil([&] { return Exists("C:\\KORVANT07\\KORVANT07.LOG"); }, 120s))
                throw std::runtime_error("the program did not start:\n" + w.Describe());
            program = ReadWhile(w.Form(), [&] { return !Exists(db); }, controls);
        }
        // The same extraction in another process (unpack.exe) beside an idle
        // wizard: what the machine itself costs a reader while files are made.
        std::vector<double> beside, besideOneFolder;
        {
            TWizard w;
            ToProxyPage(w, proxyPort);
            beside = ReadBesideUnpack(w.Form(), many, "folders", controls);
            besideOneFolder = ReadBesideUnpack(w.Form(), many, "one-folder", controls);
        }
        const double idleMedian = Median(idle);
        Report("idle", idle, idleMedian, controls);
        Report("mid-download", download, idleMedian, controls);
        Report("mid-extraction", extraction, idleMedian, controls);
        Report("mid-extraction, one folder", extractionOneFolder, idleMedian, controls);
        Report("mid-program-run", program, idleMedian, controls);
        Report("beside unpack.exe", beside, idleMedian, controls);
        Report("beside unpack.exe, one folder", besideOneFolder, idleMedian, controls);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
