#pragma once
#include <string>

namespace platform {
// String-table entries of the executable; false when the id is absent.
bool LoadStringA(int id, std::string& text);
bool LoadStringW(int id, std::u16string& text);
} // namespace platform
