#pragma once
// Date-times as days since 30 December 1899 (the fraction is the time of day),
// and the HTTP forms of them.
#include "runtime/uText.h"

using TDateTime = double;

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second);
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second, int& dayOfWeek);
TDateTime NetNow();    // local time
TDateTime NetNowUTC();
// "Sun, 06 Nov 1994 08:49:37 GMT": the value is written as it is, no zone conversion.
AnsiString DateTimeToHttpStr(TDateTime value);
// Reads RFC 1123, RFC 850 and asctime dates (and a numeric zone); the result
// is local time. False when the text is no date.
bool HttpStrToLocalDateTime(const AnsiString& text, TDateTime& value);
