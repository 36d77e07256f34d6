#include "uNetHeaderList.h"

#include "uNetGlobal.h"
#include "platform/uNetPlatform.h"
#include "runtime/uSysUtils.h"

TNetHeaderList::TNetHeaderList(int foldLinesLength) : FoldLinesLength(foldLinesLength) {}

namespace {
// Reading ends a name at the separator without its trailing blanks.
AnsiString ReadSeparator(const AnsiString& separator)
{
    AnsiString s = net::TrimRight(separator);
    return s.empty() ? AnsiString(":") : s;
}
} // namespace

AnsiString TNetHeaderList::Names(int index) const
{
    AnsiString line = Get(index);
    size_t at = net::Pos(ReadSeparator(NameValueSeparator), line);
    if (at == net::npos)
        return {};
    AnsiString name = line.substr(0, at);
    return CaseSensitive() ? name : UpperCase(name);
}

bool TNetHeaderList::IsContinuation(int index) const
{
    if (index < 0 || index >= Count())
        return false;
    AnsiString line = Get(index);
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

AnsiString TNetHeaderList::Value(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    AnsiString line = Get(index);
    AnsiString separator = ReadSeparator(NameValueSeparator);
    size_t at = net::Pos(separator, line);
    AnsiString value = at == net::npos ? AnsiString() : line.substr(at + separator.size());
    if (UnfoldLines)
        for (int next = index + 1; IsContinuation(next); ++next)
            value = Trim(value) + " " + Trim(Get(next));
    return Trim(value);
}

int TNetHeaderList::IndexOfName(const AnsiString& name) const
{
    if (name.empty())
        return -1;
    AnsiString separator = ReadSeparator(NameValueSeparator);
    for (int i = 0; i < Count(); ++i) {
        AnsiString line = Get(i);
        size_t at = net::Pos(separator, line);
        if (at != net::npos && SameText(std::string_view(line).substr(0, at), name))
            return i;
    }
    return -1;
}

AnsiString TNetHeaderList::Values(const AnsiString& name) const { return Value(IndexOfName(name)); }

void TNetHeaderList::DeleteContinuations(int index)
{
    while (IsContinuation(index + 1))
        Delete(index + 1);
}

void TNetHeaderList::SetValues(const AnsiString& name, const AnsiString& value)
{
    int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0) {
            if (FoldLines)
                DeleteContinuations(i);
            Delete(i);
        }
        return;
    }
    if (i < 0)
        i = Add("");
    AnsiString line = name + NameValueSeparator + value;
    if (!FoldLines) {
        Put(i, line);
        return;
    }
    DeleteContinuations(i);
    std::vector<AnsiString> pieces = FoldLine(line);
    Put(i, pieces[0]);
    for (size_t k = 1; k < pieces.size(); ++k)
        Insert(i + static_cast<int>(k), pieces[k]);
}

void TNetHeaderList::Extract(const AnsiString& name, TStrings* destination) const
{
    if (!destination)
        return;
    AnsiString separator = ReadSeparator(NameValueSeparator);
    for (int i = 0; i < Count(); ++i) {
        AnsiString line = Get(i);
        size_t at = net::Pos(separator, line);
        if (at != net::npos && SameText(std::string_view(line).substr(0, at), name))
            destination->Add(Value(i));
    }
}

std::vector<AnsiString> TNetHeaderList::FoldLine(const AnsiString& line) const
{
    auto isBreak = [](char c) { return c == ' ' || c == '\t' || c == ','; };
    std::vector<AnsiString> pieces;
    size_t start = 0, n = line.size();
    while (start < n) {
        // Columns count from 1; a continuation piece begins with its blank.
        int column = pieces.empty() ? 0 : 1;
        size_t lastBreak = net::npos, end = n;
        bool quoted = false;
        for (size_t i = start; i < n; ++i) {
            char c = line[i];
            bool lead = platform::IsAnsiLeadByte(static_cast<unsigned char>(c));
            if (c == '"')
                quoted = !quoted;
            else if (!quoted && isBreak(c))
                lastBreak = i;
            column += lead ? 2 : 1;
            if (lead)
                ++i;
            if (column > FoldLinesLength && lastBreak != net::npos && lastBreak > start) {
                end = lastBreak + 1;
                break;
            }
        }
        AnsiString piece = net::TrimRight(std::string_view(line).substr(start, end - start));
        pieces.push_back(pieces.empty() ? piece : " " + piece);
        start = end;
        while (start < n && (isBreak(line[start]) || line[start] == '\r' || line[start] == '\n'))
            ++start;
    }
    if (pieces.empty())
        pieces.emplace_back();
    return pieces;
}
