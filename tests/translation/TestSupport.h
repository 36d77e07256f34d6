#pragma once
// Files and catalogs for the translation tests.
#include "runtime/uText.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using TBytes = std::vector<std::uint8_t>;

// A build-tree path as the Windows side sees it (Z:\...).
AnsiString BuildPath(const std::string& relative);
AnsiString SourcePath(const std::string& relative);
// An empty folder of its own for one test, under the build tree.
AnsiString FreshFolder(const std::string& name);

TBytes ReadBytes(const AnsiString& path);
void WriteBytes(const AnsiString& path, const TBytes& bytes);
void MakeFolders(const AnsiString& path);

// A catalog image as msgfmt lays it out (sorted, descriptors, strings), for
// the cases msgfmt will not write. Entries are sorted here.
TBytes MakeMo(std::vector<std::pair<std::string, std::string>> entries, bool bigEndian = false);
void PutU32(TBytes& bytes, size_t at, std::uint32_t value, bool bigEndian = false);

// The msgid/msgstr pairs of a simple .po file (single-line strings, plus
// \n, \" and \\ escapes); the header entry is left out.
std::vector<std::pair<std::string, std::string>> ReadPoPairs(const AnsiString& path);

// A stand-in executable in a fresh folder "<test>\Prog\": some bytes, then
// the catalogs and a table as the build appends them; `pad` fills the names.
struct TProgram {
    AnsiString Folder; // with trailing backslash
    AnsiString Path;
    std::uint64_t Table = 0;
};
TProgram MakeProgram(const std::string& test, const std::vector<std::pair<std::string, TBytes>>& catalogs,
                     char pad = ' ');
