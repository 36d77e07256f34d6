#pragma once
// A client's side of a logon to an HTTP proxy through the system's security
// packages (secur32's NTLM and Negotiate): the caller carries the tokens in
// "Proxy-Authorization" and "Proxy-Authenticate"; nothing here touches a
// socket or does any cryptography itself. Also the wiping of secrets.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Overwrites memory in a way the compiler may not leave out.
void WipeMemory(void* data, std::size_t size) noexcept;
// Overwrites every byte the text holds, then empties it.
void WipeText(std::string& text) noexcept;

namespace sspi {

using TBytes = std::vector<std::uint8_t>;

// Explicit credentials; "DOMAIN\user" and "user@domain" are split by the
// package, a plain name has no domain. In the ANSI code page.
struct TIdentity {
    std::string User, Domain, Password;
};

enum class TLogonStep {
    Continue, // send `out`; the server answers with its next token
    Done,     // `out` (perhaps empty) is the last message
    Failed,   // the package or the credentials are not usable; `status` says why
};

class TLogon {
public:
    // `package` is "NTLM" or "Negotiate"; `target` names the service, such as
    // "HTTP/proxy.example". Without an identity the logged-on user's own
    // credentials are used.
    TLogon(const std::string& package, const std::string& target, const TIdentity* identity);
    ~TLogon();
    TLogon(const TLogon&) = delete;
    TLogon& operator=(const TLogon&) = delete;

    // The first message.
    TLogonStep Start(TBytes& out, std::int32_t& status);
    // The answer to the server's token.
    TLogonStep Step(const TBytes& in, TBytes& out, std::int32_t& status);

private:
    struct TImpl;
    std::unique_ptr<TImpl> F;
};

} // namespace sspi
} // namespace platform
