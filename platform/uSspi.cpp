#define SECURITY_WIN32
#include "uSspi.h"

#include "uOwner.h"
#include "uWinText.h"
#include "uSecurityOwners.h"

#include <windows.h>

#include <security.h>

namespace platform {

void WipeMemory(void* data, std::size_t size) noexcept
{
    if (data && size > 0)
        ::SecureZeroMemory(data, size);
}

void WipeText(std::string& text) noexcept
{
    // The whole buffer: a shorter text may have left a longer one behind it.
    text.resize(text.capacity());
    WipeMemory(text.data(), text.size());
    text.clear();
}

namespace sspi {

namespace {

// Integrity and nothing else: the proxy only needs to know who we are.
// Our own buffer for the token: not every package allocates one (Wine's
// Kerberos does not), and none makes one larger than Windows' largest
// configurable token size.
constexpr ULONG ContextRequest = ISC_REQ_CONNECTION;
constexpr ULONG MaxTokenBytes = 65535;

void Wipe(std::wstring& text)
{
    text.resize(text.capacity());
    WipeMemory(text.data(), text.size() * sizeof(wchar_t));
    text.clear();
}

void MoveToken(SecBuffer& buffer, TBytes& out)
{
    if (buffer.pvBuffer && buffer.cbBuffer > 0) {
        auto* p = static_cast<const std::uint8_t*>(buffer.pvBuffer);
        out.assign(p, p + buffer.cbBuffer);
    }
    buffer.cbBuffer = 0;
}

using win::TContextTraits;
using win::TCredentialsTraits;

} // namespace

struct TLogon::TImpl {
    std::wstring Package, Target;
    bool HasIdentity = false;
    std::wstring User, Domain, Password;
    CredHandle Credentials{};
    CtxtHandle Context{};
    TBytes Token = TBytes(MaxTokenBytes);
    // Declared after the records they release, so they end first.
    TOwner<TCredentialsTraits> OwnedCredentials;
    TOwner<TContextTraits> OwnedContext;

    ~TImpl()
    {
        Wipe(User);
        Wipe(Domain);
        Wipe(Password);
    }

    TLogonStep Result(SECURITY_STATUS s, SecBuffer& token, TBytes& out, std::int32_t& status)
    {
        status = s;
        // A package that wants its token completed (Negotiate may) does so here.
        if (s == SEC_I_COMPLETE_NEEDED || s == SEC_I_COMPLETE_AND_CONTINUE) {
            SecBufferDesc desc{SECBUFFER_VERSION, 1, &token};
            ::CompleteAuthToken(&Context, &desc);
            s = s == SEC_I_COMPLETE_NEEDED ? SEC_E_OK : SEC_I_CONTINUE_NEEDED;
        }
        out.clear();
        MoveToken(token, out);
        if (s == SEC_I_CONTINUE_NEEDED)
            return TLogonStep::Continue;
        return s == SEC_E_OK ? TLogonStep::Done : TLogonStep::Failed;
    }
};

TLogon::TLogon(const std::string& package, const std::string& target, const TIdentity* identity)
    : F(std::make_unique<TImpl>())
{
    F->Package = AnsiToWin(package);
    F->Target = AnsiToWin(target);
    if (identity) {
        F->HasIdentity = true;
        F->User = AnsiToWin(identity->User);
        F->Domain = AnsiToWin(identity->Domain);
        F->Password = AnsiToWin(identity->Password);
    }
}

TLogon::~TLogon() = default;

TLogonStep TLogon::Start(TBytes& out, std::int32_t& status)
{
    SEC_WINNT_AUTH_IDENTITY_W identity{};
    if (F->HasIdentity) {
        identity.User = reinterpret_cast<unsigned short*>(F->User.data());
        identity.UserLength = static_cast<unsigned long>(F->User.size());
        identity.Domain = reinterpret_cast<unsigned short*>(F->Domain.data());
        identity.DomainLength = static_cast<unsigned long>(F->Domain.size());
        identity.Password = reinterpret_cast<unsigned short*>(F->Password.data());
        identity.PasswordLength = static_cast<unsigned long>(F->Password.size());
        identity.Flags = SEC_WINNT_AUTH_IDENTITY_UNICODE;
    }
    TimeStamp expiry;
    SECURITY_STATUS s = ::AcquireCredentialsHandleW(nullptr, F->Package.data(), SECPKG_CRED_OUTBOUND, nullptr,
                                                    F->HasIdentity ? &identity : nullptr, nullptr, nullptr,
                                                    &F->Credentials, &expiry);
    // The package keeps its own copy: ours goes at once.
    Wipe(F->Password);
    if (s != SEC_E_OK) {
        status = s;
        out.clear();
        return TLogonStep::Failed;
    }
    F->OwnedCredentials.Reset(&F->Credentials);
    SecBuffer token{MaxTokenBytes, SECBUFFER_TOKEN, F->Token.data()};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &token};
    ULONG attributes = 0;
    s = ::InitializeSecurityContextW(&F->Credentials, nullptr, F->Target.empty() ? nullptr : F->Target.data(),
                                     ContextRequest, 0, SECURITY_NATIVE_DREP, nullptr, 0, &F->Context, &outDesc,
                                     &attributes, &expiry);
    if (s == SEC_E_OK || s == SEC_I_CONTINUE_NEEDED || s == SEC_I_COMPLETE_NEEDED || s == SEC_I_COMPLETE_AND_CONTINUE)
        F->OwnedContext.Reset(&F->Context);
    return F->Result(s, token, out, status);
}

TLogonStep TLogon::Step(const TBytes& in, TBytes& out, std::int32_t& status)
{
    if (!F->OwnedContext.Get()) {
        status = SEC_E_INVALID_HANDLE;
        out.clear();
        return TLogonStep::Failed;
    }
    SecBuffer input{static_cast<ULONG>(in.size()), SECBUFFER_TOKEN, const_cast<std::uint8_t*>(in.data())};
    SecBufferDesc inDesc{SECBUFFER_VERSION, 1, &input};
    SecBuffer token{MaxTokenBytes, SECBUFFER_TOKEN, F->Token.data()};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &token};
    ULONG attributes = 0;
    TimeStamp expiry;
    // The context is updated in place (Wine's packages want it named again).
    SECURITY_STATUS s = ::InitializeSecurityContextW(&F->Credentials, &F->Context,
                                                     F->Target.empty() ? nullptr : F->Target.data(), ContextRequest, 0,
                                                     SECURITY_NATIVE_DREP, &inDesc, 0, &F->Context, &outDesc,
                                                     &attributes, &expiry);
    return F->Result(s, token, out, status);
}

} // namespace sspi
} // namespace platform
