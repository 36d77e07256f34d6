#include "uManifest.h"

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1; // upper case is not what sha256sum or we write
}

bool NameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '-';
}

bool ParseLine(std::string_view line, std::string& name, TManifestEntry& entry, std::string& error)
{
    // 64 hex digits, one blank, the size, one blank, the name.
    if (line.size() < 64 + 1 + 1 + 1 + 1 || line[64] != ' ') {
        error = "a line is not \"SHA256 SIZE NAME\"";
        return false;
    }
    for (std::size_t i = 0; i < 32; ++i) {
        int high = HexValue(line[2 * i]), low = HexValue(line[2 * i + 1]);
        if (high < 0 || low < 0) {
            error = "a hash is not 64 lower-case hex digits";
            return false;
        }
        entry.Sha256[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    std::string_view rest = line.substr(65);
    std::size_t blank = rest.find(' ');
    if (blank == std::string_view::npos || blank == 0) {
        error = "a line has no size and name";
        return false;
    }
    std::string_view size = rest.substr(0, blank);
    if (size.size() > 1 && size[0] == '0') {
        error = "a size has a leading zero";
        return false;
    }
    entry.Size = 0;
    for (char c : size) {
        if (c < '0' || c > '9') {
            error = "a size is not a decimal number";
            return false;
        }
        entry.Size = entry.Size * 10 + std::uint64_t(c - '0');
        if (entry.Size > TManifest::MaxSize) {
            error = "a size is too large";
            return false;
        }
    }
    std::string_view nameText = rest.substr(blank + 1);
    if (nameText.empty() || nameText.size() > TManifest::MaxNameLength || nameText == "." || nameText == "..") {
        error = "a name is empty or too long";
        return false;
    }
    for (char c : nameText)
        if (!NameCharacter(c)) {
            error = "a name has a character outside A-Z a-z 0-9 . _ -";
            return false;
        }
    name.assign(nameText);
    return true;
}

// "serial N": one blank, 1 to 18 decimal digits, no leading zero.
bool ParseSerial(std::string_view line, std::uint64_t& serial, std::string& error)
{
    const std::string_view digits = line.substr(7);
    if (digits.empty() || digits.size() > TManifest::MaxSerialDigits || (digits.size() > 1 && digits[0] == '0')) {
        error = "the serial is not 1 to 18 digits without a leading zero";
        return false;
    }
    serial = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            error = "the serial is not a decimal number";
            return false;
        }
        serial = serial * 10 + std::uint64_t(c - '0');
    }
    return true;
}

} // namespace

bool ListSerialAcceptable(std::optional<std::uint64_t> serial, std::uint64_t minimum, std::uint64_t remembered)
{
    const std::uint64_t edition = serial.value_or(0);
    return edition >= minimum && edition >= remembered;
}

std::optional<TManifest> TManifest::Parse(std::string_view text, std::string& error)
{
    if (text.empty()) {
        error = "the list is empty";
        return std::nullopt;
    }
    if (text.size() > MaxBytes) {
        error = "the list is larger than " + std::to_string(MaxBytes) + " bytes";
        return std::nullopt;
    }
    if (text.back() != '\n') {
        error = "the last line has no line end";
        return std::nullopt;
    }
    TManifest manifest;
    std::size_t start = 0;
    if (text.starts_with("serial ")) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.back() == '\r')
            line.remove_suffix(1);
        std::uint64_t serial = 0;
        if (!ParseSerial(line, serial, error))
            return std::nullopt;
        manifest.FSerial = serial;
        start = end + 1;
    }
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (manifest.FEntries.size() == MaxLines) {
            error = "the list has more than " + std::to_string(MaxLines) + " lines";
            return std::nullopt;
        }
        std::string name;
        TManifestEntry entry;
        if (!ParseLine(line, name, entry, error))
            return std::nullopt;
        if (!manifest.FEntries.emplace(std::move(name), entry).second) {
            error = "a name is listed twice";
            return std::nullopt;
        }
        start = end + 1;
    }
    return manifest;
}

const TManifestEntry* TManifest::Find(std::string_view name) const
{
    auto it = FEntries.find(name);
    return it == FEntries.end() ? nullptr : &it->second;
}

std::optional<std::array<std::uint8_t, 64>> EcdsaSignatureFromDer(std::span<const std::uint8_t> der)
{
    // Short-form lengths only: a P-256 signature never needs more.
    if (der.size() < 8 || der[0] != 0x30 || der[1] >= 0x80 || std::size_t(der[1]) + 2 != der.size())
        return std::nullopt;
    std::array<std::uint8_t, 64> raw{};
    std::size_t at = 2;
    for (int part = 0; part < 2; ++part) {
        if (at + 2 > der.size() || der[at] != 0x02)
            return std::nullopt;
        std::size_t length = der[at + 1];
        at += 2;
        if (length == 0 || length > 33 || at + length > der.size())
            return std::nullopt;
        std::span<const std::uint8_t> value = der.subspan(at, length);
        // Positive and minimal: a leading zero only before a high bit.
        if (value[0] & 0x80)
            return std::nullopt;
        if (value[0] == 0 && (length == 1 || !(value[1] & 0x80)))
            return std::nullopt;
        if (value[0] == 0)
            value = value.subspan(1);
        if (value.size() > 32)
            return std::nullopt;
        std::copy(value.begin(), value.end(), raw.begin() + 32 * part + (32 - value.size()));
        at += length;
    }
    if (at != der.size())
        return std::nullopt;
    return raw;
}
