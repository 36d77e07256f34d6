// The native build of the core has no security packages: every logon fails
// at its start, so the layers above fall back to what they are given.
#include "platform/uSspi.h"

#include <cstring>

namespace platform {

void WipeMemory(void* data, std::size_t size) noexcept
{
    if (data && size > 0)
        ::explicit_bzero(data, size);
}

void WipeText(std::string& text) noexcept
{
    text.resize(text.capacity());
    WipeMemory(text.data(), text.size());
    text.clear();
}

namespace sspi {

namespace {
constexpr std::int32_t NotAvailable = static_cast<std::int32_t>(0x80090302); // SEC_E_UNSUPPORTED_FUNCTION
} // namespace

struct TLogon::TImpl {};

TLogon::TLogon(const std::string&, const std::string&, const TIdentity*) : F(std::make_unique<TImpl>()) {}
TLogon::~TLogon() = default;

TLogonStep TLogon::Start(TBytes& out, std::int32_t& status)
{
    out.clear();
    status = NotAvailable;
    return TLogonStep::Failed;
}

TLogonStep TLogon::Step(const TBytes&, TBytes& out, std::int32_t& status)
{
    out.clear();
    status = NotAvailable;
    return TLogonStep::Failed;
}

} // namespace sspi
} // namespace platform
