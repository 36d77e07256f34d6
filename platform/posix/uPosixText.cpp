#include "uPosix.h"

#include "platform/uSystem.h"

#include <cerrno>
#include <iconv.h>
#include <string>

namespace platform::posix {

namespace {

// Windows-1252 0x80..0x9F; the five unassigned bytes map to the C1 controls
// of the same value, as MultiByteToWideChar maps them.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t FromCp1252(unsigned char c) { return c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c; }

int ToCp1252(char16_t w)
{
    if (w < 0x80 || (w >= 0xA0 && w <= 0xFF))
        return w;
    for (int k = 0; k < 32; ++k)
        if (kCp1252High[k] == w)
            return 0x80 + k;
    return -1;
}

constexpr char16_t kReplacement = 0xFFFD;

void DecodeUtf8(std::string_view text, std::u16string& out)
{
    size_t i = 0, n = text.size();
    auto at = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    while (i < n) {
        unsigned char c = at(i);
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        int extra = c >= 0xF0 && c <= 0xF4 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : -1;
        if (c >= 0xF5)
            extra = -1;
        std::uint32_t cp = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0F : c & 0x1F;
        size_t k = 1;
        bool ok = extra > 0;
        for (; ok && k <= static_cast<size_t>(extra); ++k) {
            if (i + k >= n || (at(i + k) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = cp << 6 | (at(i + k) & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are invalid.
        if (ok && ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
                   (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF))))
            ok = false;
        if (!ok) {
            out.push_back(kReplacement);
            i += k > 1 ? k : 1;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 | (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += static_cast<size_t>(extra) + 1;
    }
}

std::string EncodeUtf8(std::u16string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        std::uint32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (cp >= 0xD800 && cp <= 0xDFFF)
            cp = kReplacement;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | cp >> 6));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | cp >> 12));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | cp >> 18));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::string IconvName(unsigned codePage) { return "CP" + std::to_string(codePage); }

// One iconv conversion; a byte or unit it cannot convert becomes `fallback`.
template <class In, class Out>
bool Iconv(const char* to, const char* from, std::basic_string_view<In> text, std::basic_string<Out>& out,
           Out fallback)
{
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    char* in = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
    size_t inLeft = text.size() * sizeof(In);
    Out buffer[1024];
    while (inLeft > 0) {
        char* o = reinterpret_cast<char*>(buffer);
        size_t oLeft = sizeof buffer;
        size_t r = ::iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buffer, static_cast<size_t>(o - reinterpret_cast<char*>(buffer)) / sizeof(Out));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            out.push_back(fallback);
            size_t skip = inLeft < sizeof(In) ? inLeft : sizeof(In);
            in += skip;
            inLeft -= skip;
        }
    }
    ::iconv_close(cd);
    return true;
}

} // namespace

bool Decode(std::string_view text, unsigned codePage, std::u16string& result)
{
    result.clear();
    if (codePage == CP_ANSI)
        codePage = AnsiCodePage;
    else if (codePage == 1) // CP_OEMCP
        codePage = OemCodePage;
    if (codePage == 1252 || codePage == 28591) {
        result.reserve(text.size());
        for (unsigned char c : text)
            result.push_back(codePage == 1252 ? FromCp1252(c) : c);
        return true;
    }
    if (codePage == CP_UTF8_) {
        DecodeUtf8(text, result);
        return true;
    }
    return Iconv<char, char16_t>("UTF-16LE", IconvName(codePage).c_str(), text, result, kReplacement);
}

std::string Encode(std::u16string_view text, unsigned codePage)
{
    if (codePage == CP_ANSI)
        codePage = AnsiCodePage;
    else if (codePage == 1) // CP_OEMCP
        codePage = OemCodePage;
    if (codePage == CP_UTF8_)
        return EncodeUtf8(text);
    std::string out;
    if (codePage == 1252 || codePage == 28591) {
        for (char16_t w : text) {
            int c = codePage == 1252 ? ToCp1252(w) : (w <= 0xFF ? w : -1);
            out.push_back(c < 0 ? '?' : static_cast<char>(c));
        }
        return out;
    }
    Iconv<char16_t, char>(IconvName(codePage).c_str(), "UTF-16LE", text, out, '?');
    return out;
}

unsigned char UpperAnsi(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<unsigned char>(c - 0x20);
    switch (c) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    default: return c;
    }
}

unsigned char LowerAnsi(unsigned char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<unsigned char>(c + 0x20);
    switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return c;
    }
}

} // namespace platform::posix
