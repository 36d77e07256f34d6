#pragma once
// INI files through the platform's private-profile calls. Opening remembers
// only the name: the platform creates the file, adds sections and keys and
// replaces values in place on each write, and keeps everything else.
#include "uException.h"
#include "uObject.h"

#include <cstdint>

class TIniFile : public TObject {
    RT_CLASS(TIniFile, TObject)
public:
    explicit TIniFile(AnsiString fileName);
    // Flushes the platform's cached copy of the file.
    ~TIniFile() override;
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    const AnsiString& FileName() const { return FFileName; }

    // Writes raise EIniFileException "Unable to write to <file>".
    void WriteString(const AnsiString& section, const AnsiString& ident, const AnsiString& value);
    void WriteInteger(const AnsiString& section, const AnsiString& ident, std::int32_t value);
    void WriteBool(const AnsiString& section, const AnsiString& ident, bool value);
    void DeleteKey(const AnsiString& section, const AnsiString& ident);
    void EraseSection(const AnsiString& section);

    AnsiString ReadString(const AnsiString& section, const AnsiString& ident, const AnsiString& defaultValue) const;
    // Decimal, or hexadecimal after "0x"; the default for anything else.
    std::int32_t ReadInteger(const AnsiString& section, const AnsiString& ident, std::int32_t defaultValue) const;
    // "0" is false, any other number true; the default for anything else.
    bool ReadBool(const AnsiString& section, const AnsiString& ident, bool defaultValue) const;
    bool SectionExists(const AnsiString& section) const;
    bool ValueExists(const AnsiString& section, const AnsiString& ident) const;

    // Writes the platform's cached copy to disk now.
    void UpdateFile();

private:
    [[noreturn]] void WriteError() const;
    void CheckLine(const AnsiString& text) const;

    AnsiString FFileName;
};
