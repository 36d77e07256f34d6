#include "uTls.h"

#define SECURITY_WIN32
#define SCHANNEL_USE_BLACKLISTS
#include <windows.h>
#include <subauth.h>
#include <wincrypt.h>
#include <security.h>
#include <schannel.h>
#include <sspi.h>

#include "uOwner.h"
#include "uWinText.h"
#include "uSecurityOwners.h"
#include "uWinOwners.h"

#include <algorithm>
#include <cstring>

namespace platform::tls {

namespace {

constexpr DWORD ClientProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
// The certificate is checked by us, through the store, with the URL's host.
constexpr DWORD ContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                 ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR |
                                 ISC_REQ_MANUAL_CRED_VALIDATION;

bool IsRevocationUnknown(DWORD error)
{
    return error == static_cast<DWORD>(CRYPT_E_REVOCATION_OFFLINE) || error == static_cast<DWORD>(CRYPT_E_NO_REVOCATION_CHECK) ||
           error == static_cast<DWORD>(CERT_E_REVOCATION_FAILURE);
}

TCertificateProblem ProblemOf(DWORD error)
{
    switch (error) {
    case 0: return TCertificateProblem::None;
    case static_cast<DWORD>(CERT_E_EXPIRED): return TCertificateProblem::Expired;
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
    case static_cast<DWORD>(CERT_E_CHAINING):
    case static_cast<DWORD>(CERT_E_UNTRUSTEDCA):
    case static_cast<DWORD>(TRUST_E_CERT_SIGNATURE):
    case static_cast<DWORD>(CERT_E_UNTRUSTEDTESTROOT): return TCertificateProblem::Untrusted;
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH): return TCertificateProblem::WrongHost;
    case static_cast<DWORD>(CRYPT_E_REVOKED): return TCertificateProblem::Revoked;
    case static_cast<DWORD>(CERT_E_WRONG_USAGE): return TCertificateProblem::WrongUsage;
    default: return TCertificateProblem::Other;
    }
}

// The policy error that a fault of the chain itself stands for.
DWORD ChainError(DWORD trust)
{
    if (trust == 0)
        return 0;
    if (trust & CERT_TRUST_IS_REVOKED)
        return static_cast<DWORD>(CRYPT_E_REVOKED);
    if (trust & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_CYCLIC))
        return static_cast<DWORD>(CERT_E_UNTRUSTEDROOT);
    if (trust & CERT_TRUST_IS_NOT_SIGNATURE_VALID)
        return static_cast<DWORD>(TRUST_E_CERT_SIGNATURE);
    if (trust & CERT_TRUST_IS_NOT_TIME_VALID)
        return static_cast<DWORD>(CERT_E_EXPIRED);
    if (trust & CERT_TRUST_IS_NOT_VALID_FOR_USAGE)
        return static_cast<DWORD>(CERT_E_WRONG_USAGE);
    return static_cast<DWORD>(CERT_E_CHAINING);
}

// Takes over an output token the package allocated.
void MoveToken(SecBuffer& buffer, TBytes& out)
{
    if (buffer.pvBuffer && buffer.cbBuffer > 0) {
        auto* p = static_cast<const std::uint8_t*>(buffer.pvBuffer);
        out.insert(out.end(), p, p + buffer.cbBuffer);
    }
    if (buffer.pvBuffer)
        ::FreeContextBuffer(buffer.pvBuffer);
    buffer.pvBuffer = nullptr;
    buffer.cbBuffer = 0;
}

using win::TContextTraits;
using win::TCredentialsTraits;

using TCertificate = win::TCertContext;
using TChain = win::TCertChain;

} // namespace

struct TClientSession::TImpl {
    CredHandle Credentials{};
    CtxtHandle Context{};
    bool Ready = false;
    std::wstring ServerName;
    SecPkgContext_StreamSizes Sizes{};
    // Declared after the records they release, so they end first.
    TOwner<TCredentialsTraits> OwnedCredentials;
    TOwner<TContextTraits> OwnedContext;

    SECURITY_STATUS Acquire()
    {
        TimeStamp expiry;
        // The newer form first: it is the only one that offers TLS 1.3 on
        // current Windows. Older systems take the classic record.
        TLS_PARAMETERS parameters{};
        parameters.grbitDisabledProtocols = SP_PROT_PCT1_CLIENT | SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT |
                                            SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
        SCH_CREDENTIALS modern{};
        modern.dwVersion = SCH_CREDENTIALS_VERSION;
        modern.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
        modern.cTlsParameters = 1;
        modern.pTlsParameters = &parameters;
        SECURITY_STATUS s = ::AcquireCredentialsHandleW(nullptr, const_cast<SEC_WCHAR*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND,
                                                        nullptr, &modern, nullptr, nullptr, &Credentials, &expiry);
        if (s != SEC_E_OK) {
            SCHANNEL_CRED classic{};
            classic.dwVersion = SCHANNEL_CRED_VERSION;
            classic.grbitEnabledProtocols = ClientProtocols;
            classic.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
            s = ::AcquireCredentialsHandleW(nullptr, const_cast<SEC_WCHAR*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
                                            &classic, nullptr, nullptr, &Credentials, &expiry);
        }
        if (s == SEC_E_OK)
            OwnedCredentials.Reset(&Credentials);
        return s;
    }

    THandshakeStep Finish(TStatus& status)
    {
        SECURITY_STATUS s = ::QueryContextAttributesW(&Context, SECPKG_ATTR_STREAM_SIZES, &Sizes);
        if (s != SEC_E_OK) {
            status = s;
            return THandshakeStep::Failed;
        }
        Ready = true;
        status = 0;
        return THandshakeStep::Done;
    }
};

TClientSession::TClientSession() : F(std::make_unique<TImpl>()) {}
TClientSession::~TClientSession() = default;

THandshakeStep TClientSession::Start(const std::string& serverName, TBytes& out, TStatus& status)
{
    status = F->Acquire();
    if (status != SEC_E_OK)
        return THandshakeStep::Failed;
    F->ServerName = AnsiToWin(serverName);
    SecBuffer outBuffer{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &outBuffer};
    ULONG attributes = 0;
    TimeStamp expiry;
    SECURITY_STATUS s = ::InitializeSecurityContextW(&F->Credentials, nullptr, F->ServerName.data(), ContextRequest, 0, 0,
                                                     nullptr, 0, &F->Context, &outDesc, &attributes, &expiry);
    if (s == SEC_I_CONTINUE_NEEDED || s == SEC_E_OK)
        F->OwnedContext.Reset(&F->Context);
    MoveToken(outBuffer, out);
    status = s;
    if (s == SEC_I_CONTINUE_NEEDED)
        return THandshakeStep::Continue;
    return s == SEC_E_OK ? F->Finish(status) : THandshakeStep::Failed;
}

THandshakeStep TClientSession::Step(const std::uint8_t* in, int count, int& consumed, TBytes& out, TStatus& status)
{
    consumed = 0;
    SecBuffer inBuffers[2] = {{static_cast<ULONG>(count), SECBUFFER_TOKEN, const_cast<std::uint8_t*>(in)},
                              {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inDesc{SECBUFFER_VERSION, 2, inBuffers};
    SecBuffer outBuffers[2] = {{0, SECBUFFER_TOKEN, nullptr}, {0, SECBUFFER_ALERT, nullptr}};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 2, outBuffers};
    ULONG attributes = 0;
    TimeStamp expiry;
    SECURITY_STATUS s = ::InitializeSecurityContextW(&F->Credentials, &F->Context, F->ServerName.data(), ContextRequest, 0, 0,
                                                     &inDesc, 0, nullptr, &outDesc, &attributes, &expiry);
    status = s;
    if (s == SEC_E_INCOMPLETE_MESSAGE) {
        MoveToken(outBuffers[0], out);
        MoveToken(outBuffers[1], out);
        return THandshakeStep::NeedMore;
    }
    MoveToken(outBuffers[0], out);
    if (FAILED(s)) {
        // An alert for the server is worth sending before giving up.
        MoveToken(outBuffers[1], out);
        return THandshakeStep::Failed;
    }
    if (outBuffers[1].pvBuffer)
        ::FreeContextBuffer(outBuffers[1].pvBuffer);
    const int extra = inBuffers[1].BufferType == SECBUFFER_EXTRA ? static_cast<int>(inBuffers[1].cbBuffer) : 0;
    consumed = count - std::min(extra, count);
    if (s == SEC_E_OK)
        return F->Finish(status);
    // A server asking for a client certificate gets none: go on without.
    if (s == SEC_I_CONTINUE_NEEDED || s == SEC_I_INCOMPLETE_CREDENTIALS)
        return THandshakeStep::Continue;
    return THandshakeStep::Failed;
}

TCertificateCheck TClientSession::CheckServerCertificate(const std::string& hostName)
{
    TCertificateCheck check;
    TCertificate certificate;
    SECURITY_STATUS s = ::QueryContextAttributesW(&F->Context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, certificate.Receive());
    if (s != SEC_E_OK || !certificate) {
        check.Problem = TCertificateProblem::Other;
        check.Status = s != SEC_E_OK ? s : static_cast<TStatus>(SEC_E_NO_CREDENTIALS);
        return check;
    }
    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    TChain chain;
    if (!::CertGetCertificateChain(HCCE_CURRENT_USER, certificate.Get(), nullptr, certificate->hCertStore, &chainPara,
                                   CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT, nullptr, chain.Receive())) {
        check.Problem = TCertificateProblem::Other;
        check.Status = static_cast<TStatus>(HRESULT_FROM_WIN32(::GetLastError()));
        return check;
    }
    std::wstring host = AnsiToWin(hostName);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = host.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS result{};
    result.cbSize = sizeof result;
    DWORD error = static_cast<DWORD>(CERT_E_CHAINING);
    if (::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.Get(), &policy, &result))
        error = result.dwError;
    // Revocation is best effort: a list or responder that cannot be reached,
    // or a chain that names none, does not stop the download when it is the
    // only thing wrong.
    constexpr DWORD revocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
    const DWORD trust = chain->TrustStatus.dwErrorStatus;
    if ((IsRevocationUnknown(error) || (error == 0 && (trust & revocationUnknown))) && (trust & ~revocationUnknown) == 0) {
        check.RevocationUnchecked = true;
        if (error != 0) {
            policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
            ssl.fdwChecks = 0x00000080; // SECURITY_FLAG_IGNORE_REVOCATION
            result = CERT_CHAIN_POLICY_STATUS{};
            result.cbSize = sizeof result;
            error = ::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.Get(), &policy, &result) ? result.dwError
                                                                                                        : static_cast<DWORD>(CERT_E_CHAINING);
        }
    }
    // The chain's own verdict counts too: a policy that lets a fault of the
    // chain pass (as some implementations do for an incomplete one) must not
    // make it trusted.
    if (error == 0)
        error = ChainError(trust & ~revocationUnknown);
    check.Status = static_cast<TStatus>(error);
    check.Problem = ProblemOf(error);
    return check;
}

TStatus TClientSession::Encrypt(const std::uint8_t* plain, int count, TBytes& out)
{
    const SecPkgContext_StreamSizes& sizes = F->Sizes;
    const int maxPlain = static_cast<int>(std::max<ULONG>(sizes.cbMaximumMessage, 1));
    while (count > 0) {
        const int n = std::min(count, maxPlain);
        const size_t at = out.size();
        out.resize(at + sizes.cbHeader + static_cast<size_t>(n) + sizes.cbTrailer);
        std::uint8_t* record = out.data() + at;
        std::memcpy(record + sizes.cbHeader, plain, static_cast<size_t>(n));
        SecBuffer buffers[4] = {{sizes.cbHeader, SECBUFFER_STREAM_HEADER, record},
                                {static_cast<ULONG>(n), SECBUFFER_DATA, record + sizes.cbHeader},
                                {sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record + sizes.cbHeader + n},
                                {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        SECURITY_STATUS s = ::EncryptMessage(&F->Context, 0, &desc, 0);
        if (s != SEC_E_OK) {
            out.resize(at);
            return s;
        }
        // The trailer may come out shorter than its room.
        out.resize(at + buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
        plain += n;
        count -= n;
    }
    return 0;
}

TDecryptStep TClientSession::Decrypt(std::uint8_t* data, int count, const std::uint8_t*& plain, int& plainCount, int& consumed,
                                     TStatus& status)
{
    plain = nullptr;
    plainCount = 0;
    consumed = 0;
    if (count <= 0)
        return TDecryptStep::NeedMore;
    SecBuffer buffers[4] = {{static_cast<ULONG>(count), SECBUFFER_DATA, data},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
    SECURITY_STATUS s = ::DecryptMessage(&F->Context, &desc, 0, nullptr);
    status = s;
    if (s == SEC_E_INCOMPLETE_MESSAGE)
        return TDecryptStep::NeedMore;
    if (s != SEC_E_OK && s != SEC_I_RENEGOTIATE && s != SEC_I_CONTEXT_EXPIRED)
        return TDecryptStep::Failed;
    int extra = 0;
    for (SecBuffer& b : buffers) {
        if (b.BufferType == SECBUFFER_DATA && b.pvBuffer) {
            plain = static_cast<const std::uint8_t*>(b.pvBuffer);
            plainCount = static_cast<int>(b.cbBuffer);
        } else if (b.BufferType == SECBUFFER_EXTRA) {
            extra = static_cast<int>(b.cbBuffer);
        }
    }
    consumed = count - std::min(extra, count);
    if (s == SEC_I_CONTEXT_EXPIRED)
        return TDecryptStep::Closed;
    return s == SEC_I_RENEGOTIATE ? TDecryptStep::Renegotiate : TDecryptStep::Data;
}

TBytes TClientSession::Shutdown()
{
    TBytes out;
    if (!F->OwnedContext)
        return out;
    DWORD type = SCHANNEL_SHUTDOWN;
    SecBuffer control{sizeof type, SECBUFFER_TOKEN, &type};
    SecBufferDesc controlDesc{SECBUFFER_VERSION, 1, &control};
    if (::ApplyControlToken(&F->Context, &controlDesc) != SEC_E_OK)
        return out;
    SecBuffer outBuffer{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &outBuffer};
    ULONG attributes = 0;
    TimeStamp expiry;
    ::InitializeSecurityContextW(&F->Credentials, &F->Context, F->ServerName.data(), ContextRequest, 0, 0, nullptr, 0, nullptr,
                                 &outDesc, &attributes, &expiry);
    MoveToken(outBuffer, out);
    F->Ready = false;
    return out;
}

std::string TClientSession::ProtocolName() const
{
    SecPkgContext_ConnectionInfo info{};
    if (!F->Ready || ::QueryContextAttributesW(&F->Context, SECPKG_ATTR_CONNECTION_INFO, &info) != SEC_E_OK)
        return {};
    if (info.dwProtocol & SP_PROT_TLS1_3)
        return "TLS 1.3";
    if (info.dwProtocol & SP_PROT_TLS1_2)
        return "TLS 1.2";
    if (info.dwProtocol & SP_PROT_TLS1_1)
        return "TLS 1.1";
    if (info.dwProtocol & SP_PROT_TLS1_0)
        return "TLS 1.0";
    if (info.dwProtocol & SP_PROT_SSL3)
        return "SSL 3.0";
    return {};
}

std::string StatusText(TStatus status)
{
    win::TLocalMem<char> text;
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<LPSTR>(text.Receive()), 0, nullptr);
    std::string result = n && text ? std::string(text.Get(), n) : std::string();
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' ' || result.back() == '.'))
        result.pop_back();
    return result;
}

} // namespace platform::tls
