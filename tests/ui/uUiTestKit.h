#pragma once
// Helpers for tests that drive real windows: answering modal dialogs,
// reading window geometry, and saving a window's picture as PNG.
#include "ui/uDialogs.h"

#include <windows.h>
#include <commctrl.h>
#undef MessageBox
#undef GetObject

#include <deque>
#include <string>
#include <vector>

// Answers modal dialogs in order while it lives and records what was asked.
// An answer of 0 lets the dialog run (after `Prepare`, if set, has acted on it).
class TModalScript {
public:
    struct TAnswer {
        int Result = 0;
        std::string Folder; // for the folder browser
    };
    TModalScript(std::initializer_list<int> results = {});
    TModalScript(const TModalScript&) = delete;
    TModalScript& operator=(const TModalScript&) = delete;
    ~TModalScript();
    // Queues an answer for the folder browser: OK with that folder, or Cancel.
    void AnswerFolder(int result, std::string folder = "") { FAnswers.push_back({result, std::move(folder)}); }

    std::vector<TModalRequest> Requests;
    std::function<void(TModalRequest&)> Prepare;

private:
    std::deque<TAnswer> FAnswers;
    TModalResponder FPrevious;
};

// Presses a key as the keyboard does (SendInput: down, then up), with the
// modifier keys held around it, and lets the windows handle what came.
void PressKey(WORD key, std::initializer_list<WORD> modifiers = {});

// A window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND window);
std::string WindowText(HWND window);
// The font a window draws with.
LOGFONTA WindowFont(HWND window);
// The extent of `text` on one line in that font.
SIZE TextExtent(HWND window, const std::string& text);
// The metrics of the window's font.
TEXTMETRICA TextMetrics(HWND window);
// Lets the window paint, then writes its picture (frame included) as PNG.
bool SaveWindowPng(HWND window, const std::string& path);
// Folder for pictures the test run leaves behind.
std::string ScreenshotFolder();
