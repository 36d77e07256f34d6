// Any bytes as a program with catalogs appended: the table offset is read
// behind the marker, as the program reads its own patched field, then the
// table is scanned and its catalogs opened from inside the file.
#include "translation/uFileLocator.h"

#include "runtime/uException.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {
// The program's own spelling of its path has backslashes, which the native
// platform layer reads as separators.
const std::string& ScratchProgram()
{
    static const std::string path = "/tmp/korvant-fuzz-table-" + std::to_string(::getpid()) + ".exe";
    return path;
}

std::string ProgramSpelling(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::uint8_t* end = data + size;
    const std::size_t markerLength = std::strlen(EmbeddedTableMarker);
    const std::uint8_t* marker = std::search(data, end, EmbeddedTableMarker, EmbeddedTableMarker + markerLength);
    if (marker == end || end - marker < std::ptrdiff_t(markerLength + 8))
        return 0;
    std::uint64_t offset = 0;
    for (int i = 7; i >= 0; --i)
        offset = offset << 8 | marker[markerLength + i];

    const std::string& path = ScratchProgram();
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    TFileLocator locator(ProgramSpelling(path));
    locator.ScanEmbeddedTable(offset);
    const AnsiString folder = locator.BaseDirectory();
    for (const char* name : {"locale\\fr\\lc_messages\\default.mo", "nl.mo", ""}) {
        try {
            TMoFile* catalog = locator.AcquireCatalog(folder + name);
            catalog->Lookup("Volgende >");
            locator.ReleaseCatalog(catalog);
        } catch (const Exception&) {
            // A catalog that cannot be read is reported, which is fine.
        }
    }
    std::remove(path.c_str());
    return 0;
}
