#include "uSysUtils.h"

#include "uException.h"
#include "platform/uSystem.h"

#include <cstdarg>
#include <cstdio>
#include <limits>

AnsiString Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    AnsiString result;
    if (n > 0) {
        result.resize(static_cast<size_t>(n));
        std::vsnprintf(result.data(), result.size() + 1, format, args);
    }
    va_end(args);
    return result;
}

AnsiString UpperCase(std::string_view text)
{
    AnsiString r(text);
    for (char& c : r)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return r;
}

AnsiString LowerCase(std::string_view text)
{
    AnsiString r(text);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return r;
}

AnsiString AnsiUpperCase(std::string_view text) { return platform::UpperCaseAnsi(text); }

int CompareText(std::string_view a, std::string_view b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(std::string_view a, std::string_view b) { return a.size() == b.size() && CompareText(a, b) == 0; }
int AnsiCompareText(std::string_view a, std::string_view b) { return platform::CompareAnsi(a, b, true); }
int AnsiCompareStr(std::string_view a, std::string_view b) { return platform::CompareAnsi(a, b, false); }

AnsiString Trim(std::string_view text)
{
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
    return AnsiString(text.substr(b, e - b));
}

AnsiString IntToStr(std::int64_t value) { return std::to_string(value); }

bool TryStrToInt64(std::string_view text, std::int64_t& value)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i == text.size())
        return false;
    std::uint64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        if (v > (static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) - 9) / 10)
            return false;
        v = v * 10 + static_cast<unsigned>(text[i] - '0');
    }
    value = negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
    return true;
}

bool TryStrToInt(std::string_view text, int& value)
{
    std::int64_t v = 0;
    if (!TryStrToInt64(text, v) || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return false;
    value = static_cast<int>(v);
    return true;
}

AnsiString IncludeTrailingBackslash(std::string_view path)
{
    AnsiString r(path);
    if (r.empty() || r.back() != '\\')
        r += '\\';
    return r;
}

AnsiString ExcludeTrailingBackslash(std::string_view path)
{
    AnsiString r(path);
    if (!r.empty() && r.back() == '\\')
        r.pop_back();
    return r;
}

AnsiString ExtractFilePath(std::string_view path)
{
    size_t cut = path.find_last_of("\\:/");
    return cut == std::string_view::npos ? AnsiString() : AnsiString(path.substr(0, cut + 1));
}

AnsiString ExtractFileName(std::string_view path)
{
    size_t cut = path.find_last_of("\\:/");
    return AnsiString(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

bool FileExists(const AnsiString& path) { return platform::FileExists(path); }
bool DirectoryExists(const AnsiString& path) { return platform::DirectoryExists(path); }
bool ForceDirectories(const AnsiString& path) { return platform::ForceDirectories(path); }
bool DeleteFile(const AnsiString& path) { return platform::RemoveFile(path); }

AnsiString SysErrorMessage(unsigned code) { return platform::SysErrorMessage(code); }
unsigned GetLastOSError() { return platform::LastError(); }

void RaiseLastOSError()
{
    unsigned code = platform::LastError();
    throw EOSError(Format("System Error.  Code: %u.\r\n%s", code, SysErrorMessage(code).c_str()));
}
