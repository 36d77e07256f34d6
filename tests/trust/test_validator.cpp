// What a resumed download sends back in If-Range: the first whole answer's
// ETag, else its Last-Modified, and never a value with a control character,
// which would split the request's header line or bend it.
#include "trust/uResumingGet.h"

#include <gtest/gtest.h>

TEST(ResumeValidator, TheEtagOrElseTheDateAndNeverOneWithAControlCharacter)
{
    const AnsiString date = "Wed, 10 Dec 2025 00:00:00 GMT";
    EXPECT_EQ(TResumingGet::Validator("\"v1\"", date), "\"v1\"");
    EXPECT_EQ(TResumingGet::Validator("", date), date);
    EXPECT_EQ(TResumingGet::Validator("\"v\r1\"", date), date);
    EXPECT_EQ(TResumingGet::Validator("\"v\n1\"", ""), "");
    EXPECT_EQ(TResumingGet::Validator("\"v\x7F\"", "Wed,\t10 Dec"), "");
    EXPECT_EQ(TResumingGet::Validator(AnsiString("\"v\0\"", 4), ""), "");
    EXPECT_EQ(TResumingGet::Validator("", ""), "");
    // Bytes above 0x7F are not control characters (an ETag is opaque).
    EXPECT_EQ(TResumingGet::Validator("\"caf\xE9\"", ""), "\"caf\xE9\"");
}
