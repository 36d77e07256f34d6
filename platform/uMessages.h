#pragma once
// The window-message side of long operations on the UI thread: processing
// pending messages, the hourglass, and the few modal prompts a non-visual
// component may show.
#include <cstdint>
#include <string>

namespace platform {

// True on the thread that started the process.
bool IsMainThread();
// Dispatches every message waiting in this thread's queue, then returns.
void ProcessMessages();
// Milliseconds since the system started (GetTickCount64).
std::uint64_t TickCount();
// The window that has the focus on this thread, or null.
void* ActiveWindow();

// Nested hourglass: the first Begin saves the cursor, the last End restores it.
void BeginWaitCursor();
void EndWaitCursor();

// MB_OK message box with an information, warning or error icon.
enum class TBoxKind { Information, Warning, Error };
void ShowMessageBox(void* owner, const std::string& caption, const std::string& text, TBoxKind kind);

// Modal prompt for a hidden text; false when cancelled.
bool InputPassword(void* owner, const std::string& caption, const std::string& prompt, std::string& value,
                   unsigned maxLength);

} // namespace platform
