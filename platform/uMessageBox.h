#pragma once
// A plain message box without owner window and with an OK button only, for
// reports from layers below the user interface.
#include <string>

namespace platform {
void ShowOkMessageBox(const std::string& caption, const std::string& text);
} // namespace platform
