#pragma once
// Drives a running Setup.exe from outside, as a person would: through its real
// windows only. Controls are found by class and text, or by their position on
// the form; clicks are posted so that a long installation step does not block
// the driver.
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

using namespace std::chrono_literals;

// Page headings, as designed in Dutch.
inline const std::string HeadingData = "Gegevens installeren";
inline const std::string HeadingDone = "Installatie voltooid";
inline const std::string HeadingAbort = "Installatie is niet voltooid";

// Client-area positions of the fields on the form (the page container
// starts right of the 129-pixel picture strip).
inline constexpr int PageLeft = 129;
inline constexpr POINT DriveListAt{PageLeft + 20, 100};
inline constexpr POINT VariantListAt{PageLeft + 20, 228};
inline constexpr POINT ProxyServerAt{PageLeft + 76, 236};
inline constexpr POINT ProxyPortAt{PageLeft + 76, 260};
inline constexpr POINT DataFolderAt{PageLeft + 20, 292};

std::string BinaryDir();                    // the build tree, as a Windows path
std::string ToWindowsPath(const std::string& unixPath);
std::string ReadFileText(const std::string& path); // empty when missing
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

std::string WindowText(HWND window);
std::string ClassOf(HWND window);

class TWizard {
public:
    // Starts build/bin/PROGRAM (the wizard, or one of its variants).
    explicit TWizard(const std::string& program = "Setup.exe");
    ~TWizard();
    TWizard(const TWizard&) = delete;
    TWizard& operator=(const TWizard&) = delete;

    HWND Form() const { return FForm; }
    bool Running() const;
    // Exit code once the process ended, or STILL_ACTIVE.
    DWORD ExitCode() const;
    bool WaitForExit(std::chrono::milliseconds timeout);

    // A visible child control of the form with that window class and text.
    HWND Find(const char* windowClass, const std::string& text) const;
    // The visible control of that class whose client-area rectangle of the form
    // contains the point.
    HWND FindAt(const char* windowClass, int x, int y) const;
    // Texts of all visible static controls (labels) on the form.
    std::vector<std::string> VisibleLabels() const;
    // The same texts as the system holds them for a label, read without
    // asking the wizard's thread: they can be read while it is busy.
    std::vector<std::string> LabelCaptions() const;
    // Every visible control with class, text and place, for failure reports.
    std::string Describe() const;
    bool LabelVisible(const std::string& text) const;
    bool WaitForLabel(const std::string& text, std::chrono::milliseconds timeout = 120s) const;

    void Click(HWND control) const;
    void ClickButton(const std::string& caption) const;
    void SetText(HWND control, const std::string& text) const;
    void SelectComboItem(HWND combo, int index) const;

    // The control a person hits at that spot of the form: the topmost one.
    HWND TopmostAt(HWND control) const;

    // A dialog the wizard shows (message box or confirmation), by caption.
    HWND WaitForDialog(const std::string& caption, std::chrono::milliseconds timeout = 120s) const;
    std::string DialogMessage(HWND dialog) const;
    void PressDialogButton(HWND dialog, const std::string& caption) const;

private:
    PROCESS_INFORMATION FProcess{};
    HWND FForm = nullptr;
};

} // namespace e2e
