// The native build of the core has no system TLS: every session fails at
// its start, so the layers above build and report it as any other failure.
#include "platform/uTls.h"

namespace platform::tls {

namespace {
constexpr TStatus NotAvailable = static_cast<TStatus>(0x80090302); // SEC_E_UNSUPPORTED_FUNCTION
} // namespace

struct TClientSession::TImpl {};

TClientSession::TClientSession() : F(std::make_unique<TImpl>()) {}
TClientSession::~TClientSession() = default;

THandshakeStep TClientSession::Start(const std::string&, TBytes&, TStatus& status)
{
    status = NotAvailable;
    return THandshakeStep::Failed;
}

THandshakeStep TClientSession::Step(const std::uint8_t*, int, int& consumed, TBytes&, TStatus& status)
{
    consumed = 0;
    status = NotAvailable;
    return THandshakeStep::Failed;
}

TCertificateCheck TClientSession::CheckServerCertificate(const std::string&)
{
    return {TCertificateProblem::Other, NotAvailable, false};
}

TStatus TClientSession::Encrypt(const std::uint8_t*, int, TBytes&) { return NotAvailable; }

TDecryptStep TClientSession::Decrypt(std::uint8_t*, int, const std::uint8_t*& plain, int& plainCount, int& consumed,
                                     TStatus& status)
{
    plain = nullptr;
    plainCount = consumed = 0;
    status = NotAvailable;
    return TDecryptStep::Failed;
}

TBytes TClientSession::Shutdown() { return {}; }
std::string TClientSession::ProtocolName() const { return {}; }
std::string StatusText(TStatus) { return "TLS is not available in this build"; }

} // namespace platform::tls
