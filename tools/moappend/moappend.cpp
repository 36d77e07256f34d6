// moappend: carries message catalogs inside a linked Windows executable.
//
//   moappend PROGRAM.exe NAME=CATALOG.mo [NAME=CATALOG.mo ...]
//
// Appends each catalog's bytes, zero padding to a multiple of 256, one
// 256-byte table record per catalog and an 8-byte end mark, then writes the
// table's file offset behind every occurrence of the marker in the program's
// data. NAME is the catalog's path relative to the program's folder, e.g.
// locale\fr\lc_messages\default.mo; it is stored in lower case with
// backslashes. Runs on the build host; the result is written to a temporary
// file and renamed over the program, so a failure leaves it untouched.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

const std::string Marker = "136FC5C1-77F9-4C46-B1CB-FA7E032E77CE";
constexpr std::size_t RecordSize = 256;
constexpr std::size_t NameField = RecordSize - 24;
constexpr std::uint64_t MaxOffset = 0x7FFFFFFF; // the reader seeks with 32-bit positions

bool ReadWhole(const std::string& path, std::vector<unsigned char>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

void PutU64(std::vector<unsigned char>& out, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

int Fail(const std::string& message)
{
    std::cerr << "moappend: " << message << "\n";
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Fail("usage: moappend PROGRAM.exe NAME=CATALOG.mo [NAME=CATALOG.mo ...]");
    std::string program = argv[1];
    std::vector<unsigned char> image;
    if (!ReadWhole(program, image))
        return Fail("cannot read " + program);

    // Find the field first: a program without it cannot use what we append.
    std::vector<std::size_t> fields;
    for (auto it = image.begin();
         (it = std::search(it, image.end(), Marker.begin(), Marker.end())) != image.end(); ++it) {
        std::size_t at = static_cast<std::size_t>(it - image.begin()) + Marker.size();
        if (image.size() - at < 8)
            return Fail("the marker in " + program + " has no room for the table offset");
        for (std::size_t i = 0; i < 8; ++i)
            if (image[at + i] != 0)
                return Fail(program + " already carries catalogs");
        fields.push_back(at);
    }
    if (fields.empty())
        return Fail("no catalog marker in " + program + "; is the translation library linked?");

    struct TCatalog {
        std::string Name;
        std::uint64_t Offset, Size;
    };
    std::vector<TCatalog> catalogs;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        std::size_t eq = arg.find('=');
        if (eq == std::string::npos || eq == 0)
            return Fail("expected NAME=CATALOG.mo, got " + arg);
        std::string name = arg.substr(0, eq);
        for (char& c : name) {
            if (c == '/')
                c = '\\';
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
        if (name.size() > NameField)
            return Fail("catalog name longer than " + std::to_string(NameField) + " characters: " + name);
        std::vector<unsigned char> bytes;
        if (!ReadWhole(arg.substr(eq + 1), bytes))
            return Fail("cannot read " + arg.substr(eq + 1));
        catalogs.push_back({name, image.size(), bytes.size()});
        image.insert(image.end(), bytes.begin(), bytes.end());
    }
    image.resize((image.size() + RecordSize - 1) / RecordSize * RecordSize, 0);
    std::uint64_t table = image.size();
    for (const TCatalog& c : catalogs) {
        std::uint64_t start = image.size();
        PutU64(image, start + RecordSize);
        PutU64(image, c.Offset);
        PutU64(image, c.Size);
        std::string name = c.Name;
        name.resize(NameField, ' ');
        image.insert(image.end(), name.begin(), name.end());
    }
    PutU64(image, 0);
    if (image.size() > MaxOffset)
        return Fail(program + " would grow beyond 2 GB");
    for (std::size_t at : fields)
        for (int i = 0; i < 8; ++i)
            image[at + i] = static_cast<unsigned char>(table >> (8 * i));

    std::string temporary = program + ".moappend";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        if (!out.flush())
            return std::remove(temporary.c_str()), Fail("cannot write " + temporary);
    }
    struct stat mode;
    if (stat(program.c_str(), &mode) == 0)
        chmod(temporary.c_str(), mode.st_mode & 07777); // keep the program executable
    if (std::rename(temporary.c_str(), program.c_str()) != 0)
        return std::remove(temporary.c_str()), Fail("cannot replace " + program);
    return 0;
}
