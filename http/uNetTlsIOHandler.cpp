#include "uNetTlsIOHandler.h"

#include "uNetGlobal.h"
#include "uNetStack.h"
#include "platform/uTls.h"
#include "runtime/uSysUtils.h"

#include <algorithm>
#include <cstring>

namespace tls = platform::tls;

namespace {
unsigned Code(tls::TStatus status) { return static_cast<unsigned>(status); }

// Room behind a partial record for one receive block.
constexpr int CipherSlack = 64 * 1024;
} // namespace

TNetIOHandlerTls::TNetIOHandlerTls(TComponent* owner) : TNetIOHandlerStack(owner) {}

TNetIOHandlerTls::~TNetIOHandlerTls() = default;

AnsiString TNetIOHandlerTls::PeerName() const
{
    const AnsiString& name = ServerName.empty() ? Host : ServerName;
    const int port = ServerPort > 0 ? ServerPort : Port;
    return port > 0 ? name + ":" + IntToStr(port) : name;
}

void TNetIOHandlerTls::Open()
{
    FSession.reset();
    FCipherHead = FCipherEnd = 0;
    FPeerClosed = false;
    FRevocationUnchecked = false;
    FProtocolName.clear();
    TNetIOHandlerStack::Open();
}

void TNetIOHandlerTls::Close()
{
    // Tell the server the end is meant, so it does not see a cut.
    if (FSession && !FProtocolName.empty() && BindingAllocated() && !FPeerClosed && !FClosedGracefully) {
        try {
            tls::TBytes notify = FSession->Shutdown();
            if (!notify.empty())
                FBinding->Send(notify.data(), static_cast<int>(notify.size()));
        } catch (...) {
            // The connection is going away either way.
        }
    }
    FSession.reset();
    FCipherHead = FCipherEnd = 0;
    TNetIOHandlerStack::Close();
}

void TNetIOHandlerTls::ConnectClient()
{
    TNetIOHandlerStack::ConnectClient();
    if (!PassThrough)
        StartTls();
}

void TNetIOHandlerTls::StartTls()
{
    FSession = std::make_unique<tls::TClientSession>();
    FCipherHead = FCipherEnd = 0;
    FPeerClosed = false;
    FProtocolName.clear();
    FCipher.resize(static_cast<size_t>(CipherBlockSize + CipherSlack));
    const AnsiString name = ServerName.empty() ? Host : ServerName;
    tls::TBytes out;
    tls::TStatus status = 0;
    tls::THandshakeStep step = FSession->Start(name, out, status);
    if (step == tls::THandshakeStep::Failed)
        FailHandshake(status);
    SendAll(out.data(), static_cast<int>(out.size()));
    if (step != tls::THandshakeStep::Done)
        Handshake();
    // Some implementations let older protocols through although only 1.2
    // and 1.3 were asked for: such a connection is not used.
    const AnsiString protocol = FSession->ProtocolName();
    if (protocol != "TLS 1.2" && protocol != "TLS 1.3")
        throw ENetTlsHandshakeError(
            Format(netmsg::TlsOutdatedProtocol, PeerName().c_str(), protocol.empty() ? "an unknown protocol" : protocol.c_str()));
    CheckCertificate();
    FProtocolName = protocol;
}

void TNetIOHandlerTls::FailHandshake(std::int32_t status)
{
    // A server that is no TLS server answers with something other than a
    // TLS record (content types 20 to 23): say so rather than quote the
    // system's decoding error.
    const int have = FCipherEnd - FCipherHead;
    if (have > 0) {
        const std::uint8_t* p = FCipher.data() + FCipherHead;
        if (have >= 5 && std::memcmp(p, "HTTP/", 5) == 0)
            throw ENetTlsNotTls(Format(netmsg::TlsNotTls, PeerName().c_str()));
        if (p[0] < 20 || p[0] > 23)
            throw ENetTlsNotTls(Format(netmsg::TlsNotTlsAtAll, PeerName().c_str()));
    }
    throw ENetTlsHandshakeError(Format(netmsg::TlsHandshakeFailed, PeerName().c_str(), tls::StatusText(status).c_str(), Code(status)));
}

void TNetIOHandlerTls::Handshake(bool stepFirst)
{
    for (;;) {
        const int have = FCipherEnd - FCipherHead;
        if (have > 0 || stepFirst) {
            stepFirst = false;
            // Not a TLS record: no need to wait for a "record" of a length
            // made of text.
            if (have > 0) {
                const std::uint8_t first = FCipher[static_cast<size_t>(FCipherHead)];
                if (first < 20 || first > 23)
                    FailHandshake(0);
            }
            int consumed = 0;
            tls::TBytes out;
            tls::TStatus status = 0;
            tls::THandshakeStep step = FSession->Step(FCipher.data() + FCipherHead, have, consumed, out, status);
            if (step == tls::THandshakeStep::Failed) {
                try {
                    SendAll(out.data(), static_cast<int>(out.size()));
                } catch (...) {
                    // The alert is a courtesy; the failure is what counts.
                }
                FailHandshake(status);
            }
            SendAll(out.data(), static_cast<int>(out.size()));
            if (step != tls::THandshakeStep::NeedMore)
                FCipherHead += consumed;
            if (step == tls::THandshakeStep::Done) {
                return;
            }
            if (step == tls::THandshakeStep::Continue && FCipherEnd > FCipherHead)
                continue;
        }
        if (ReceiveCipher(TimeoutDefault, true) == 0) {
            if (FCipherEnd > FCipherHead)
                FailHandshake(0);
            throw ENetTlsHandshakeError(Format(netmsg::TlsClosedInHandshake, PeerName().c_str()));
        }
    }
}

void TNetIOHandlerTls::CheckCertificate()
{
    const AnsiString name = ServerName.empty() ? Host : ServerName;
    tls::TCertificateCheck check = FSession->CheckServerCertificate(name);
    FRevocationUnchecked = check.RevocationUnchecked;
    const AnsiString peer = PeerName();
    const unsigned code = Code(check.Status);
    switch (check.Problem) {
    case tls::TCertificateProblem::None:
        return;
    case tls::TCertificateProblem::Expired:
        throw ENetTlsCertificateExpired(Format(netmsg::TlsCertificateExpired, peer.c_str(), code));
    case tls::TCertificateProblem::Untrusted:
        throw ENetTlsCertificateUntrusted(Format(netmsg::TlsCertificateUntrusted, peer.c_str(), code));
    case tls::TCertificateProblem::WrongHost:
        throw ENetTlsCertificateWrongHost(Format(netmsg::TlsCertificateWrongHost, peer.c_str(), code));
    case tls::TCertificateProblem::Revoked:
        throw ENetTlsCertificateError(Format(netmsg::TlsCertificateRevoked, peer.c_str(), code));
    case tls::TCertificateProblem::WrongUsage:
        throw ENetTlsCertificateError(Format(netmsg::TlsCertificateWrongUsage, peer.c_str(), code));
    case tls::TCertificateProblem::Other:
        break;
    }
    throw ENetTlsCertificateError(
        Format(netmsg::TlsCertificateRejected, peer.c_str(), tls::StatusText(check.Status).c_str(), code));
}

int TNetIOHandlerTls::ReceiveCipher(int timeout, bool raiseOnTimeout)
{
    if (timeout == TimeoutDefault)
        timeout = ReadTimeout > 0 ? ReadTimeout : NetTimeoutInfinite;
    if (!BindingAllocated())
        throw ENetClosedSocket(netmsg::Disconnected);
    // What is left is at most a partial record: move it to the front.
    if (FCipherHead == FCipherEnd) {
        FCipherHead = FCipherEnd = 0;
    } else if (FCipherHead > 0) {
        std::memmove(FCipher.data(), FCipher.data() + FCipherHead, static_cast<size_t>(FCipherEnd - FCipherHead));
        FCipherEnd -= FCipherHead;
        FCipherHead = 0;
    }
    if (static_cast<int>(FCipher.size()) - FCipherEnd < CipherSlack)
        FCipher.resize(static_cast<size_t>(FCipherEnd + CipherBlockSize + CipherSlack));
    const int room = std::min(static_cast<int>(FCipher.size()) - FCipherEnd, CipherBlockSize);
    const int received = ReceiveWithin(FCipher.data() + FCipherEnd, room, timeout, raiseOnTimeout);
    FCipherEnd += std::max(received, 0);
    return received;
}

int TNetIOHandlerTls::DecryptBuffered()
{
    int total = 0;
    while (FCipherEnd > FCipherHead && !FPeerClosed) {
        const std::uint8_t* plain = nullptr;
        int plainCount = 0, consumed = 0;
        tls::TStatus status = 0;
        tls::TDecryptStep step =
            FSession->Decrypt(FCipher.data() + FCipherHead, FCipherEnd - FCipherHead, plain, plainCount, consumed, status);
        if (step == tls::TDecryptStep::NeedMore)
            break;
        if (step == tls::TDecryptStep::Failed)
            throw ENetTlsError(Format(netmsg::TlsFailed, PeerName().c_str(), tls::StatusText(status).c_str(), Code(status)));
        if (plain && plainCount > 0) {
            FInputBuffer->Write(plain, plainCount);
            total += plainCount;
        }
        FCipherHead += std::max(consumed, 0);
        if (step == tls::TDecryptStep::Closed) {
            FPeerClosed = true;
            break;
        }
        if (step == tls::TDecryptStep::Renegotiate) {
            // The bytes left (perhaps none) are the server's handshake
            // message: the system sees them before anything is waited for.
            Handshake(true);
        }
        if (consumed <= 0 && step == tls::TDecryptStep::Data)
            break;
    }
    if (FCipherHead == FCipherEnd)
        FCipherHead = FCipherEnd = 0;
    return total;
}

int TNetIOHandlerTls::ReadFromSource(bool raiseExceptionIfDisconnected, int timeout, bool raiseOnTimeout)
{
    if (!FSession)
        return TNetIOHandlerStack::ReadFromSource(raiseExceptionIfDisconnected, timeout, raiseOnTimeout);
    CheckForDisconnect(raiseExceptionIfDisconnected, false);
    if (!BindingAllocated() || !FOpened) {
        if (raiseExceptionIfDisconnected)
            throw ENetException(netmsg::NotConnected);
        return 0;
    }
    for (;;) {
        const int plain = DecryptBuffered();
        if (plain > 0)
            return plain;
        int received = 0;
        if (!FPeerClosed) {
            received = ReceiveCipher(timeout, raiseOnTimeout);
            if (received < 0)
                return -1;
        }
        if (received == 0) {
            FClosedGracefully = true;
            CheckForDisconnect(raiseExceptionIfDisconnected, false);
            return 0;
        }
    }
}

void TNetIOHandlerTls::SendAll(const std::uint8_t* bytes, int count)
{
    int offset = 0;
    while (offset < count) {
        if (!BindingAllocated())
            throw ENetNotConnected(netmsg::NotConnected);
        const int sent = FBinding->Send(bytes + offset, count - offset);
        FClosedGracefully = sent == 0;
        CheckForDisconnect(true, false);
        offset += sent;
    }
}

void TNetIOHandlerTls::WriteDirect(const std::uint8_t* bytes, int count)
{
    if (!FSession) {
        TNetIOHandlerStack::WriteDirect(bytes, count);
        return;
    }
    CheckForDisconnect(true, true);
    if (!BindingAllocated())
        throw ENetNotConnected(netmsg::NotConnected);
    tls::TBytes records;
    tls::TStatus status = FSession->Encrypt(bytes, count, records);
    if (status != 0)
        throw ENetTlsError(Format(netmsg::TlsFailed, PeerName().c_str(), tls::StatusText(status).c_str(), Code(status)));
    SendAll(records.data(), static_cast<int>(records.size()));
    DoWork(TWorkMode::WorkWrite, count);
}
