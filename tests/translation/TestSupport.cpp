#include "TestSupport.h"

#include "platform/uSystem.h"
#include "tests/support/uTestPaths.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

AnsiString BuildPath(const std::string& relative)
{
    return ProgramPath(platform::GetEnvVar("KORVANT_BINARY_DIR") + "/" + relative);
}

AnsiString SourcePath(const std::string& relative)
{
    return ProgramPath(platform::GetEnvVar("KORVANT_SOURCE_DIR") + "/" + relative);
}

void MakeFolders(const AnsiString& path)
{
    if (!platform::ForceDirectories(path))
        throw std::runtime_error("cannot create " + path);
}

AnsiString FreshFolder(const std::string& name)
{
    AnsiString folder = BuildPath("tests/translation-work/" + name);
    std::error_code ignored;
    std::filesystem::remove_all(HostPath(folder), ignored);
    MakeFolders(folder);
    return folder + "\\";
}

TBytes ReadBytes(const AnsiString& path)
{
    std::ifstream in(HostPath(path), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return TBytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const AnsiString& path, const TBytes& bytes)
{
    std::ofstream out(HostPath(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write " + path);
}

void PutU32(TBytes& bytes, size_t at, std::uint32_t value, bool bigEndian)
{
    if (bytes.size() < at + 4)
        bytes.resize(at + 4);
    for (int i = 0; i < 4; ++i)
        bytes[at + (bigEndian ? 3 - i : i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

TBytes MakeMo(std::vector<std::pair<std::string, std::string>> entries, bool bigEndian)
{
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return std::lexicographical_compare(a.first.begin(), a.first.end(), b.first.begin(), b.first.end(),
                                            [](char x, char y) { return (unsigned char)x < (unsigned char)y; });
    });
    const std::uint32_t n = static_cast<std::uint32_t>(entries.size());
    const std::uint32_t o = 28, t = o + 8 * n;
    TBytes mo(t + 8 * n, 0);
    PutU32(mo, 0, 0x950412DE, bigEndian);
    PutU32(mo, 8, n, bigEndian);
    PutU32(mo, 12, o, bigEndian);
    PutU32(mo, 16, t, bigEndian);
    auto add = [&](std::uint32_t descriptor, const std::string& text) {
        PutU32(mo, descriptor, static_cast<std::uint32_t>(text.size()), bigEndian);
        PutU32(mo, descriptor + 4, static_cast<std::uint32_t>(mo.size()), bigEndian);
        mo.insert(mo.end(), text.begin(), text.end());
        mo.push_back(0);
    };
    for (std::uint32_t i = 0; i < n; ++i)
        add(o + 8 * i, entries[i].first);
    for (std::uint32_t i = 0; i < n; ++i)
        add(t + 8 * i, entries[i].second);
    return mo;
}

std::vector<std::pair<std::string, std::string>> ReadPoPairs(const AnsiString& path)
{
    std::ifstream in(HostPath(path), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    auto unquote = [](const std::string& line, size_t from) {
        std::string text;
        for (size_t i = line.find('"', from) + 1; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                char c = line[++i];
                text += c == 'n' ? '\n' : c;
            } else
                text += line[i];
        }
        return text;
    };
    std::vector<std::pair<std::string, std::string>> pairs;
    std::string line, msgid;
    while (std::getline(in, line)) {
        if (line.rfind("msgid ", 0) == 0)
            msgid = unquote(line, 5);
        else if (line.rfind("msgstr ", 0) == 0 && !msgid.empty())
            pairs.emplace_back(msgid, unquote(line, 6));
    }
    return pairs;
}

namespace {
void PutU64(TBytes& bytes, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
} // namespace

TProgram MakeProgram(const std::string& test, const std::vector<std::pair<std::string, TBytes>>& catalogs, char pad)
{
    TProgram p;
    p.Folder = FreshFolder(test) + "Prog\\";
    MakeFolders(p.Folder);
    p.Path = p.Folder + "Setup.exe";
    TBytes image(3000, 0x90);
    std::vector<std::uint64_t> offsets;
    for (const auto& [name, bytes] : catalogs) {
        offsets.push_back(image.size());
        image.insert(image.end(), bytes.begin(), bytes.end());
    }
    image.resize((image.size() + 255) / 256 * 256, 0);
    p.Table = image.size();
    for (size_t i = 0; i < catalogs.size(); ++i) {
        PutU64(image, image.size() + 256);
        PutU64(image, offsets[i]);
        PutU64(image, catalogs[i].second.size());
        std::string name = catalogs[i].first;
        name.resize(232, pad);
        image.insert(image.end(), name.begin(), name.end());
    }
    PutU64(image, 0);
    WriteBytes(p.Path, image);
    return p;
}
