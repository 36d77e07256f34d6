#pragma once
// The header lines of one request or response: an ordered list of
// "Name: value" lines with name lookups, continuation lines and folding.
#include "runtime/uClasses.h"

class TNetHeaderList : public TStringList {
    RT_CLASS(TNetHeaderList, TStringList)
public:
    explicit TNetHeaderList(int foldLinesLength = 78);

    // The part before the first ":" (upper case unless case-sensitive).
    AnsiString Names(int index) const;
    // The trimmed value, continued by the lines that begin with a blank or tab.
    AnsiString Value(int index) const;
    // First line with that name, ignoring case; -1 when there is none.
    int IndexOfName(const AnsiString& name) const;
    AnsiString Values(const AnsiString& name) const;
    // Replaces the first line of that name in place, appends a new name, and
    // removes the line when the value is empty.
    void SetValues(const AnsiString& name, const AnsiString& value);
    // Appends the value of every line of that name, in line order.
    void Extract(const AnsiString& name, TStrings* destination) const;
    // Splits "name: value" into pieces no longer than the fold length where a
    // blank, tab or comma outside quotes allows it; later pieces start with " ".
    std::vector<AnsiString> FoldLine(const AnsiString& line) const;

    AnsiString NameValueSeparator = ": ";
    bool UnfoldLines = true;
    bool FoldLines = true;
    int FoldLinesLength;

private:
    bool IsContinuation(int index) const;
    void DeleteContinuations(int index);
};
