#include "uNetAuthentication.h"

#include "platform/uSspi.h"
#include "runtime/uSysUtils.h"

#include <cctype>

namespace {

constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool IsTokenChar(char c)
{
    // RFC 7230's tchar.
    return std::isalnum(static_cast<unsigned char>(c)) || std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool IsToken68Char(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || std::string_view("-._~+/").find(c) != std::string_view::npos;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimView(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// token68: its characters, then only "=" padding.
bool IsToken68(std::string_view s)
{
    size_t i = 0;
    while (i < s.size() && IsToken68Char(s[i]))
        ++i;
    if (i == 0)
        return false;
    while (i < s.size() && s[i] == '=')
        ++i;
    return i == s.size();
}

// Splits at commas outside quoted strings; empty elements are left out.
std::vector<std::string_view> SplitList(std::string_view line)
{
    std::vector<std::string_view> items;
    size_t start = 0;
    bool quoted = false;
    for (size_t i = 0; i <= line.size(); ++i) {
        if (i < line.size()) {
            char c = line[i];
            if (quoted && c == '\\') {
                ++i;
                continue;
            }
            if (c == '"')
                quoted = !quoted;
            if (quoted || c != ',')
                continue;
        }
        std::string_view item = TrimView(line.substr(start, i - start));
        if (!item.empty())
            items.push_back(item);
        start = i + 1;
    }
    return items;
}

// "name=value" or "name = \"value\"": false when it is not a parameter.
bool ParseParam(std::string_view item, std::pair<AnsiString, AnsiString>& param)
{
    size_t eq = item.find('=');
    if (eq == std::string_view::npos)
        return false;
    std::string_view name = TrimView(item.substr(0, eq));
    if (name.empty())
        return false;
    for (char c : name)
        if (!IsTokenChar(c))
            return false;
    std::string_view value = TrimView(item.substr(eq + 1));
    AnsiString text;
    if (!value.empty() && value.front() == '"') {
        for (size_t i = 1; i < value.size() && value[i] != '"'; ++i) {
            if (value[i] == '\\' && i + 1 < value.size())
                ++i;
            text += value[i];
        }
    } else {
        text.assign(value);
    }
    param = {AnsiString(name), text};
    return true;
}

} // namespace

AnsiString Base64Encode(std::string_view bytes)
{
    AnsiString r;
    r.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                     static_cast<unsigned char>(bytes[i + 2]);
        r += Alphabet[(v >> 18) & 63];
        r += Alphabet[(v >> 12) & 63];
        r += Alphabet[(v >> 6) & 63];
        r += Alphabet[v & 63];
    }
    if (i < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        r += Alphabet[(v >> 18) & 63];
        r += Alphabet[(v >> 12) & 63];
        r += i + 1 < bytes.size() ? Alphabet[(v >> 6) & 63] : '=';
        r += '=';
    }
    return r;
}

bool Base64Decode(std::string_view text, AnsiString& bytes)
{
    bytes.clear();
    while (!text.empty() && text.back() == '=')
        text.remove_suffix(1);
    if (text.size() % 4 == 1)
        return false;
    unsigned v = 0;
    int bits = 0;
    for (char c : text) {
        const char* p = c ? std::char_traits<char>::find(Alphabet, 64, c) : nullptr;
        if (!p) {
            bytes.clear();
            return false;
        }
        v = (v << 6) | static_cast<unsigned>(p - Alphabet);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>((v >> bits) & 0xFF);
        }
    }
    return true;
}

// --- TNetAuthentication -----------------------------------------------------------------

TNetAuthentication::~TNetAuthentication() { WipeCredentials(); }

void TNetAuthentication::WipeCredentials()
{
    platform::WipeText(Username);
    platform::WipeText(Password);
}

AnsiString TNetBasicAuthentication::Authentication()
{
    AnsiString pair = Username + ":" + Password;
    AnsiString value = "Basic " + Base64Encode(pair);
    platform::WipeText(pair);
    return value;
}

TNetAuthWhatsNext TNetBasicAuthentication::Next()
{
    // One step; the client's retry limit ends a run of refusals.
    return Trim(Password).empty() ? TNetAuthWhatsNext::wnAskTheProgram : TNetAuthWhatsNext::wnDoRequest;
}

// --- TNetSspiAuthentication -------------------------------------------------------------

TNetSspiAuthentication::TNetSspiAuthentication(const AnsiString& scheme, const AnsiString& target, bool defaultCredentials)
    : FScheme(scheme), FTarget(target), FDefault(defaultCredentials)
{
}

TNetSspiAuthentication::~TNetSspiAuthentication() = default;

void TNetSspiAuthentication::Reset()
{
    TNetAuthentication::Reset();
    FLogon.reset();
    FHeader.clear();
    FInHandshake = false;
}

bool TNetSspiAuthentication::Start()
{
    Reset();
    std::unique_ptr<platform::sspi::TLogon> logon;
    if (FDefault) {
        logon = std::make_unique<platform::sspi::TLogon>(FScheme, "HTTP/" + FTarget, nullptr);
    } else {
        // "DOMAIN\user" as Windows writes it; "user@domain" goes whole to the package.
        platform::sspi::TIdentity identity;
        size_t slash = Username.find('\\');
        if (slash != AnsiString::npos) {
            identity.Domain = Username.substr(0, slash);
            identity.User = Username.substr(slash + 1);
        } else {
            identity.User = Username;
        }
        identity.Password = Password;
        logon = std::make_unique<platform::sspi::TLogon>(FScheme, "HTTP/" + FTarget, &identity);
        platform::WipeText(identity.Password);
    }
    platform::sspi::TBytes token;
    std::int32_t status = 0;
    platform::sspi::TLogonStep step = logon->Start(token, status);
    if (step == platform::sspi::TLogonStep::Failed || token.empty())
        return false;
    FLogon = std::move(logon);
    FInHandshake = step == platform::sspi::TLogonStep::Continue;
    FHeader = FScheme + " " + Base64Encode(std::string_view(reinterpret_cast<const char*>(token.data()), token.size()));
    return true;
}

bool TNetSspiAuthentication::Continue(const AnsiString& token)
{
    AnsiString bytes;
    if (!FLogon || !FInHandshake || !Base64Decode(token, bytes) || bytes.empty())
        return false;
    platform::sspi::TBytes in(bytes.begin(), bytes.end()), out;
    std::int32_t status = 0;
    platform::sspi::TLogonStep step = FLogon->Step(in, out, status);
    if (step == platform::sspi::TLogonStep::Failed || out.empty()) {
        FInHandshake = false;
        FHeader.clear();
        return false;
    }
    FInHandshake = step == platform::sspi::TLogonStep::Continue;
    FHeader = FScheme + " " + Base64Encode(std::string_view(reinterpret_cast<const char*>(out.data()), out.size()));
    return true;
}

// --- Challenges ----------------------------------------------------------------------------

AnsiString TNetChallenge::Param(std::string_view name) const
{
    for (const auto& [key, value] : Params)
        if (SameText(key, AnsiString(name)))
            return value;
    return {};
}

std::vector<TNetChallenge> ParseChallenges(const TStrings& values)
{
    std::vector<TNetChallenge> challenges;
    for (int i = 0; i < values.Count(); ++i) {
        const AnsiString line = values[i];
        // A challenge starts with a scheme: a token followed by a blank, or
        // standing alone; a "name=value" item is a parameter of the last one.
        bool open = false; // a challenge that takes parameters is open
        for (std::string_view item : SplitList(line)) {
            size_t blank = 0;
            while (blank < item.size() && IsTokenChar(item[blank]))
                ++blank;
            const bool startsScheme = blank > 0 && (blank == item.size() || IsBlank(item[blank]));
            std::pair<AnsiString, AnsiString> param;
            if (!startsScheme) {
                // Leftover parameters after a token, or rubbish: not ours to guess.
                if (open && ParseParam(item, param))
                    challenges.back().Params.push_back(std::move(param));
                continue;
            }
            TNetChallenge challenge;
            challenge.Scheme.assign(item.substr(0, blank));
            std::string_view rest = TrimView(item.substr(blank));
            open = true;
            if (!rest.empty()) {
                if (ParseParam(rest, param) && !IsToken68(rest)) {
                    challenge.Params.push_back(std::move(param));
                } else if (IsToken68(rest)) {
                    challenge.Token.assign(rest);
                    open = false;
                } else {
                    open = false;
                }
            }
            challenges.push_back(std::move(challenge));
        }
    }
    return challenges;
}

const TNetChallenge* FindChallenge(const std::vector<TNetChallenge>& challenges, std::string_view scheme)
{
    for (const TNetChallenge& challenge : challenges)
        if (SameText(challenge.Scheme, AnsiString(scheme)))
            return &challenge;
    return nullptr;
}

TNetAuthenticationClass FindAuthClass(const AnsiString& scheme)
{
    if (SameText(scheme, "Basic"))
        return [] { return std::unique_ptr<TNetAuthentication>(new TNetBasicAuthentication()); };
    return nullptr;
}
