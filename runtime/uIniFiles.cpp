#include "uIniFiles.h"

#include "uResStrings.h"
#include "uSysUtils.h"
#include "platform/uProfileApi.h"


TIniFile::TIniFile(AnsiString fileName) : FFileName(std::move(fileName)) {}

TIniFile::~TIniFile()
{
    platform::FlushProfile(FFileName);
}

void TIniFile::WriteError() const
{
    throw EIniFileException(Format(LoadResString(rs::SIniFileWriteError).c_str(), FFileName.c_str()));
}

// A line break inside a name or value would end the line early and let the
// rest pass for keys or sections of its own: refuse it rather than corrupt the file.
void TIniFile::CheckLine(const AnsiString& text) const
{
    if (text.find_first_of("\r\n", 0) != AnsiString::npos || text.find('\0') != AnsiString::npos)
        WriteError();
}

void TIniFile::WriteString(const AnsiString& section, const AnsiString& ident, const AnsiString& value)
{
    CheckLine(section);
    CheckLine(ident);
    CheckLine(value);
    if (!platform::WriteProfileValue(FFileName, section, ident, value))
        WriteError();
}

void TIniFile::WriteInteger(const AnsiString& section, const AnsiString& ident, std::int32_t value)
{
    WriteString(section, ident, IntToStr(value));
}

void TIniFile::WriteBool(const AnsiString& section, const AnsiString& ident, bool value)
{
    WriteString(section, ident, value ? "1" : "0");
}

void TIniFile::DeleteKey(const AnsiString& section, const AnsiString& ident)
{
    if (!platform::DeleteProfileKey(FFileName, section, ident))
        WriteError();
}

void TIniFile::EraseSection(const AnsiString& section)
{
    if (!platform::EraseProfileSection(FFileName, section))
        WriteError();
}

AnsiString TIniFile::ReadString(const AnsiString& section, const AnsiString& ident,
                                const AnsiString& defaultValue) const
{
    return platform::ReadProfileValue(FFileName, section, ident, defaultValue);
}

std::int32_t TIniFile::ReadInteger(const AnsiString& section, const AnsiString& ident,
                                   std::int32_t defaultValue) const
{
    AnsiString text = Trim(ReadString(section, ident, ""));
    int value = 0;
    if (TryStrToInt(text, value))
        return value;
    if (text.size() <= 2 || text.size() > 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return defaultValue;
    std::uint32_t hex = 0;
    for (size_t i = 2; i < text.size(); ++i) {
        char c = text[i];
        unsigned digit = c >= '0' && c <= '9' ? unsigned(c - '0')
                         : c >= 'a' && c <= 'f' ? unsigned(c - 'a' + 10)
                         : c >= 'A' && c <= 'F' ? unsigned(c - 'A' + 10)
                                                : 16u;
        if (digit > 15)
            return defaultValue;
        hex = hex * 16 + digit;
    }
    return static_cast<std::int32_t>(hex);
}

bool TIniFile::ReadBool(const AnsiString& section, const AnsiString& ident, bool defaultValue) const
{
    return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

namespace {
bool ListContains(const AnsiString& list, const AnsiString& name)
{
    for (size_t start = 0; start < list.size();) {
        size_t end = list.find('\0', start);
        if (end == AnsiString::npos)
            end = list.size();
        if (SameText(std::string_view(list).substr(start, end - start), name))
            return true;
        start = end + 1;
    }
    return false;
}
} // namespace

bool TIniFile::SectionExists(const AnsiString& section) const
{
    return ListContains(platform::ReadProfileNames(FFileName, ""), section);
}

bool TIniFile::ValueExists(const AnsiString& section, const AnsiString& ident) const
{
    return ListContains(platform::ReadProfileNames(FFileName, section), ident);
}

void TIniFile::UpdateFile()
{
    platform::FlushProfile(FFileName);
}
