#include "uNetAuthentication.h"

#include "runtime/uSysUtils.h"

AnsiString Base64Encode(std::string_view bytes)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    AnsiString r;
    r.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                     static_cast<unsigned char>(bytes[i + 2]);
        r += alphabet[(v >> 18) & 63];
        r += alphabet[(v >> 12) & 63];
        r += alphabet[(v >> 6) & 63];
        r += alphabet[v & 63];
    }
    if (i < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        r += alphabet[(v >> 18) & 63];
        r += alphabet[(v >> 12) & 63];
        r += i + 1 < bytes.size() ? alphabet[(v >> 6) & 63] : '=';
        r += '=';
    }
    return r;
}

AnsiString TNetBasicAuthentication::Authentication()
{
    return "Basic " + Base64Encode(Username + ":" + Password);
}

TNetAuthWhatsNext TNetBasicAuthentication::Next()
{
    // One step; the client's retry limit ends a run of refusals.
    return Trim(Password).empty() ? TNetAuthWhatsNext::wnAskTheProgram : TNetAuthWhatsNext::wnDoRequest;
}

TNetAuthenticationClass FindAuthClass(const AnsiString& scheme)
{
    if (SameText(scheme, "Basic"))
        return [] { return std::unique_ptr<TNetAuthentication>(new TNetBasicAuthentication()); };
    return nullptr;
}
