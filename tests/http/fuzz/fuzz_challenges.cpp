// Any text as the "Proxy-Authenticate" lines of a 407, one per line: every
// challenge read has a scheme made of token characters, a token only where
// no parameters are, and a token that base64 decodes re-encodes to itself.
#include "http/uNetAuthentication.h"
#include "http/uNetGlobal.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    AnsiString text(reinterpret_cast<const char*>(data), size);
    TStringList lines;
    for (int n = 0; !text.empty() && n < 64; ++n)
        lines.Add(net::Fetch(text, "\n"));
    for (const TNetChallenge& challenge : ParseChallenges(lines)) {
        if (challenge.Scheme.empty() || challenge.Scheme.find_first_of(" \t,=\"") != AnsiString::npos)
            std::abort();
        if (!challenge.Token.empty() && !challenge.Params.empty())
            std::abort();
        (void)challenge.Param("realm");
        AnsiString bytes;
        if (Base64Decode(challenge.Token, bytes)) {
            AnsiString again;
            if (!Base64Decode(Base64Encode(bytes), again) || again != bytes)
                std::abort();
        }
        if (FindChallenge(ParseChallenges(lines), challenge.Scheme) == nullptr)
            std::abort();
    }
    return 0;
}
