#include "uMessageBox.h"

#include <windows.h>

namespace platform {

void ShowOkMessageBox(const std::string& caption, const std::string& text)
{
    ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK);
}

} // namespace platform
