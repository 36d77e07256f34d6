#include "uZipPaths.h"

#include <vector>

namespace ziprec {

namespace {

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

bool IsPortDigit(char16_t c)
{
    // Windows also reserves COM and LPT with a superscript one, two or three.
    return (c >= u'1' && c <= u'9') || c == u'\u00B9' || c == u'\u00B2' || c == u'\u00B3';
}

} // namespace

bool IsReservedDeviceName(std::u16string_view component)
{
    // Windows compares what comes before the first dot, trailing blanks cut.
    std::u16string_view base = component.substr(0, component.find(u'.'));
    while (!base.empty() && base.back() == u' ')
        base.remove_suffix(1);
    std::u16string up;
    for (char16_t c : base)
        up += Upper(c);
    if (up == u"CON" || up == u"PRN" || up == u"AUX" || up == u"NUL" || up == u"CONIN$" || up == u"CONOUT$")
        return true;
    return up.size() == 4 && (up.compare(0, 3, u"COM") == 0 || up.compare(0, 3, u"LPT") == 0) && IsPortDigit(up[3]);
}

std::u16string SafeRelativePath(std::u16string_view name, bool keepFolders)
{
    if (name.empty() || name[0] == u'/' || name[0] == u'\\')
        return {};
    std::vector<std::u16string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        char16_t c = i < name.size() ? name[i] : u'/';
        if (c == u':' || c < 32)
            return {};
        if (c != u'/' && c != u'\\')
            continue;
        std::u16string_view part = name.substr(start, i - start);
        start = i + 1;
        if (part.empty() || part == u".")
            continue;
        if (part == u".." || part.back() == u'.' || part.back() == u' ' || IsReservedDeviceName(part))
            return {};
        parts.push_back(part);
    }
    if (parts.empty())
        return {};
    if (!keepFolders)
        return std::u16string(parts.back());
    std::u16string result;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i)
            result += u'\\';
        result += parts[i];
    }
    return result;
}

} // namespace ziprec
