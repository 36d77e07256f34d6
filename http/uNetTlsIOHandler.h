#pragma once
// The socket handler with TLS on top: after the TCP connect (or, through a
// proxy, after the tunnel is open) it runs the system's TLS handshake, checks
// the server's certificate against the system's store, and from then on
// encrypts what is written and decrypts what is read. The layers above see
// the same input buffer, lines and work events as on a plain connection.
#include "uNetIOHandler.h"

#include <memory>

namespace platform::tls {
class TClientSession;
}

class TNetIOHandlerTls : public TNetIOHandlerStack {
    RT_CLASS(TNetIOHandlerTls, TNetIOHandlerStack)
public:
    explicit TNetIOHandlerTls(TComponent* owner);
    ~TNetIOHandlerTls() override;

    void Open() override;
    void Close() override;
    void ConnectClient() override;
    int ReadFromSource(bool raiseExceptionIfDisconnected, int timeout, bool raiseOnTimeout) override;
    void WriteDirect(const std::uint8_t* bytes, int count) override;

    // Runs the handshake on the open connection (after a proxy's tunnel).
    void StartTls();
    bool TlsActive() const { return FSession != nullptr; }

    // Plain bytes: the connection is not (yet) a TLS one.
    bool PassThrough = false;
    // The name sent to the server and checked in its certificate; the
    // handler's Host when empty.
    AnsiString ServerName;
    // The server's port for messages (through a proxy, Port is the proxy's).
    int ServerPort = 0;
    // The protocol agreed on, such as "TLS 1.3"; empty on a plain connection.
    const AnsiString& ProtocolName() const { return FProtocolName; }
    // The certificate was accepted without knowing whether it was revoked.
    bool RevocationUnchecked() const { return FRevocationUnchecked; }

    // The most ciphertext one receive asks the system for.
    static constexpr int CipherBlockSize = 1 << 20;

private:
    AnsiString PeerName() const;
    // With stepFirst the system is asked once before any read, even with
    // nothing buffered (a renegotiation may need no more from the server).
    void Handshake(bool stepFirst = false);
    void CheckCertificate();
    // Decrypts every whole record buffered; the plain bytes go to the input
    // buffer. Returns their count.
    int DecryptBuffered();
    // Reads more ciphertext; 0 when the peer closed, -1 on time-out.
    int ReceiveCipher(int timeout, bool raiseOnTimeout);
    void SendAll(const std::uint8_t* bytes, int count);
    [[noreturn]] void FailHandshake(std::int32_t status);

    std::unique_ptr<platform::tls::TClientSession> FSession;
    TNetBytes FCipher; // received, not yet decrypted: [FCipherHead, FCipherEnd)
    int FCipherHead = 0, FCipherEnd = 0;
    bool FPeerClosed = false;    // close notification received
    bool FRevocationUnchecked = false;
    AnsiString FProtocolName;
};
