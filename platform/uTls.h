#pragma once
// A TLS client session through the system's own TLS (Windows SChannel), and
// the check of the server's certificate as Windows checks it (crypt32). The
// caller moves the bytes; nothing here touches a socket or does any
// cryptography itself.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::tls {

using TBytes = std::vector<std::uint8_t>;
// A SECURITY_STATUS or HRESULT as the system returned it.
using TStatus = std::int32_t;

enum class THandshakeStep {
    Done,     // the session is ready (or renegotiated)
    Continue, // send `out`, then read more from the server
    NeedMore, // the input holds no whole message yet
    Failed,   // `status` says why; `out` may hold an alert to send
};

enum class TDecryptStep {
    Data,        // `plain` holds the next decrypted bytes (possibly none)
    NeedMore,    // no whole record in the input
    Closed,      // the server sent its close notification
    Renegotiate, // the server asks for a new handshake; continue with Step
    Failed,
};

enum class TCertificateProblem { None, Expired, Untrusted, WrongHost, Revoked, WrongUsage, Other };

struct TCertificateCheck {
    TCertificateProblem Problem = TCertificateProblem::None;
    TStatus Status = 0;
    // Revocation could not be found out (no answer, no list); accepted.
    bool RevocationUnchecked = false;
};

class TClientSession {
public:
    TClientSession();
    ~TClientSession();
    TClientSession(const TClientSession&) = delete;
    TClientSession& operator=(const TClientSession&) = delete;

    // Acquires credentials for TLS 1.2 and 1.3 with the server name for
    // SNI, and makes the first handshake message into `out`.
    THandshakeStep Start(const std::string& serverName, TBytes& out, TStatus& status);
    // Feeds the server's handshake bytes: `consumed` tells how many of them
    // were used (the rest belongs to the next message or to data).
    THandshakeStep Step(const std::uint8_t* in, int count, int& consumed, TBytes& out, TStatus& status);

    TCertificateCheck CheckServerCertificate(const std::string& hostName);

    // Appends the records for `count` plain bytes (any amount) to `out`.
    TStatus Encrypt(const std::uint8_t* plain, int count, TBytes& out);
    // Decrypts the first record of data[0, count) in place: `plain` and
    // `plainCount` point into `data`, `consumed` is the record's length.
    TDecryptStep Decrypt(std::uint8_t* data, int count, const std::uint8_t*& plain, int& plainCount, int& consumed,
                         TStatus& status);
    // The close notification to send, empty when there is none.
    TBytes Shutdown();

    // "TLS 1.2", "TLS 1.3" once the handshake is done.
    std::string ProtocolName() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> F;
};

// The system's description of a status code, without a trailing line break.
std::string StatusText(TStatus status);

} // namespace platform::tls
