#pragma once
// The exception family of the download client. Every failure of a download
// reaches the caller as one of these, with a fixed English message.
#include "runtime/uException.h"

RT_EXCEPTION(ENetException, Exception)
RT_EXCEPTION(ENetSilentException, ENetException)
RT_EXCEPTION(ENetConnClosedGracefully, ENetSilentException)

// Transport and buffer failures.
RT_EXCEPTION(ENetNoDataToRead, ENetException)
RT_EXCEPTION(ENetNotConnected, ENetException)
RT_EXCEPTION(ENetAlreadyConnected, ENetException)
RT_EXCEPTION(ENetClosedSocket, ENetException)
RT_EXCEPTION(ENetReadTimeout, ENetException)
RT_EXCEPTION(ENetReadLnMaxLineLengthExceeded, ENetException)
RT_EXCEPTION(ENetNotEnoughDataInBuffer, ENetException)
RT_EXCEPTION(ENetTooMuchDataInBuffer, ENetException)
RT_EXCEPTION(ENetTCPConnectionError, ENetException)
RT_EXCEPTION(ENetConnectException, ENetException)
RT_EXCEPTION(ENetIOHandlerPropInvalid, ENetException)

// The secure connection: its handshake, and the server's certificate.
RT_EXCEPTION(ENetTlsError, ENetException)
RT_EXCEPTION(ENetTlsHandshakeError, ENetTlsError)
RT_EXCEPTION(ENetTlsNotTls, ENetTlsHandshakeError)
RT_EXCEPTION(ENetTunnelNotClean, ENetTlsError)
RT_EXCEPTION(ENetTlsCertificateError, ENetTlsError)
RT_EXCEPTION(ENetTlsCertificateExpired, ENetTlsCertificateError)
RT_EXCEPTION(ENetTlsCertificateUntrusted, ENetTlsCertificateError)
RT_EXCEPTION(ENetTlsCertificateWrongHost, ENetTlsCertificateError)

// Socket binding.
RT_EXCEPTION(ENetSocketHandleError, ENetException)
RT_EXCEPTION(ENetCouldNotBindSocket, ENetSocketHandleError)
RT_EXCEPTION(ENetInvalidPortRange, ENetSocketHandleError)
RT_EXCEPTION(ENetCanNotBindPortInRange, ENetSocketHandleError)
RT_EXCEPTION(ENetCannotSetIPVersionWhenConnected, ENetSocketHandleError)

// The socket layer itself.
RT_EXCEPTION(ENetStackError, ENetException)
RT_EXCEPTION(ENetStackInitializationFailed, ENetStackError)
RT_EXCEPTION(ENetIPVersionUnsupported, ENetStackError)
RT_EXCEPTION(ENetIPv6Unavailable, ENetStackError)
RT_EXCEPTION(ENetConnectTimeout, ENetStackError)

// A failed call of the platform's socket library, with its error code.
class ENetSocketError : public ENetException {
    RT_CLASS(ENetSocketError, ENetException)
public:
    ENetSocketError(int lastError, AnsiString message) : ENetException(std::move(message)), FLastError(lastError) {}
    int LastError() const { return FLastError; }

private:
    int FLastError;
};
RT_EXCEPTION(ENetNotASocket, ENetSocketError)

// The socket library could not be loaded, or a function of it was missing.
class ENetWinsockStubError : public ENetStackError {
    RT_CLASS(ENetWinsockStubError, ENetStackError)
public:
    ENetWinsockStubError(unsigned win32Error, AnsiString title, AnsiString message)
        : ENetStackError(std::move(message)), FWin32Error(win32Error), FTitle(std::move(title)) {}
    unsigned Win32Error() const { return FWin32Error; }
    const AnsiString& Title() const { return FTitle; }

private:
    unsigned FWin32Error;
    AnsiString FTitle;
};

// URLs and the HTTP protocol.
RT_EXCEPTION(ENetURIException, ENetException)
RT_EXCEPTION(ENetUnknownProtocol, ENetException)
RT_EXCEPTION(ENetMaxHeaderLinesExceeded, ENetException)
RT_EXCEPTION(ENetInvalidChunkSize, ENetException)
RT_EXCEPTION(ENetInvalidChunkEnd, ENetException)
RT_EXCEPTION(ENetInvalidContentLength, ENetException)
RT_EXCEPTION(ENetMaxInterimResponsesExceeded, ENetException)
RT_EXCEPTION(ENetCookieLimitExceeded, ENetException)

class ENetReplyError : public ENetException {
    RT_CLASS(ENetReplyError, ENetException)
public:
    ENetReplyError(int errorCode, AnsiString message, AnsiString errorMessage = {})
        : ENetException(std::move(message)), FErrorCode(errorCode), FErrorMessage(std::move(errorMessage)) {}
    int ErrorCode() const { return FErrorCode; }
    // The response body that came with the failure, as text.
    const AnsiString& ErrorMessage() const { return FErrorMessage; }

private:
    int FErrorCode;
    AnsiString FErrorMessage;
};

class ENetReplyRFCError : public ENetReplyError {
    RT_CLASS(ENetReplyRFCError, ENetReplyError)
public:
    using ENetReplyError::ENetReplyError;
};

class ENetHTTPProtocolException : public ENetReplyRFCError {
    RT_CLASS(ENetHTTPProtocolException, ENetReplyRFCError)
public:
    using ENetReplyRFCError::ENetReplyRFCError;
};

// The fixed texts, one place for all of them.
namespace netmsg {
inline constexpr const char* NotConnected = "Not Connected";
inline constexpr const char* AlreadyConnected = "Already connected.";
inline constexpr const char* ClosedGracefully = "Connection Closed Gracefully.";
inline constexpr const char* Disconnected = "Disconnected.";
inline constexpr const char* ReadTimeout = "Read Timeout";
inline constexpr const char* MaxLineLengthExceeded = "Max line length exceeded.";
inline constexpr const char* NotEnoughDataInBuffer = "Not enough data in buffer.";
inline constexpr const char* TooMuchDataInBuffer = "Too much data in buffer.";
inline constexpr const char* NoDataToRead = "No data to read.";
inline constexpr const char* BufferTerminatorMissing = "Buffer terminator must be specified.";
inline constexpr const char* BufferStartInvalid = "Buffer start position is invalid.";
inline constexpr const char* StatusResolving = "Resolving hostname %s.";
inline constexpr const char* StatusConnecting = "Connecting to %s.";
inline constexpr const char* StatusConnected = "Connected.";
inline constexpr const char* StatusDisconnecting = "Disconnecting.";
inline constexpr const char* StatusDisconnected = "Disconnected.";
inline constexpr const char* StatusText = "%s";
inline constexpr const char* ChunkStarted = "Chunk Started";
inline constexpr const char* StackInitFailed = "Winsock Initialization Error.";
inline constexpr const char* StubLoadFailed = "Error on loading Winsock2 library (%s)";
inline constexpr const char* StubCallFailed = "Error on call Winsock2 library function %s";
inline constexpr const char* SocketError = "Socket Error # %d\r\n%s";
inline constexpr const char* ConnectTimeout = "Connect timed out.";
inline constexpr const char* CouldNotBind = "Could not bind socket. Address and port are already in use.";
inline constexpr const char* InvalidPortRange = "Invalid Port Range (%d - %d)";
inline constexpr const char* CanNotBindRange = "Can not bind in port range (%d - %d)";
inline constexpr const char* CannotSetIPVersion = "Cannot change IPVersion when connected";
inline constexpr const char* IPVersionUnsupported = "The requested IPVersion / Address family is not supported.";
inline constexpr const char* IPv6Unavailable = "IPv6 unavailable";
inline constexpr const char* ProtocolFieldEmpty = "Protocol field is empty";
inline constexpr const char* HostFieldEmpty = "Host field is empty";
inline constexpr const char* InvalidIPv6Address = "Invalid IPv6 address: %s";
inline constexpr const char* IOHandlerPropInvalid = "IOHandler value is not valid";
inline constexpr const char* MethodRequiresVersion = "Request method requires HTTP version 1.1";
inline constexpr const char* MaxHeaderLinesExceeded = "Max header lines exceeded (%d).";
inline constexpr const char* InvalidChunkSize = "Invalid chunk size: %s";
inline constexpr const char* InvalidChunkEnd = "Chunk data not followed by a line end.";
inline constexpr const char* MaxTrailerLinesExceeded = "Max trailer lines exceeded (%d).";
inline constexpr const char* InvalidContentLength = "Invalid Content-Length: %s";
inline constexpr const char* ConflictingContentLength = "Conflicting Content-Length values: %s";
inline constexpr const char* MaxInterimResponsesExceeded = "Max interim responses exceeded (%d).";
inline constexpr const char* MaxCookiesPerDomainExceeded = "Too many cookies for %s (%d).";
inline constexpr const char* MaxCookiesExceeded = "Too many cookies (%d).";
inline constexpr const char* TlsClosedInHandshake =
    "The server %s closed the connection during the secure (TLS) handshake.";
inline constexpr const char* TlsNotTls = "The server %s does not answer in TLS: it answered as a plain HTTP server.";
inline constexpr const char* TlsNotTlsAtAll = "The server %s does not answer in TLS.";
inline constexpr const char* TunnelNotClean =
    "The proxy sent data for %s before the secure (TLS) connection was made; the connection is not used.";
inline constexpr const char* TlsOutdatedProtocol =
    "The server %s offers only %s, an outdated protocol; TLS 1.2 or 1.3 is needed.";
inline constexpr const char* TlsHandshakeFailed = "The secure (TLS) connection to %s could not be made: %s (0x%08X).";
inline constexpr const char* TlsFailed = "The secure (TLS) connection to %s failed: %s (0x%08X).";
inline constexpr const char* TlsCertificateExpired =
    "The certificate of %s has expired or is not valid yet (0x%08X).";
inline constexpr const char* TlsCertificateUntrusted =
    "The certificate of %s is not issued by a trusted certification authority (0x%08X).";
inline constexpr const char* TlsCertificateWrongHost =
    "The certificate of %s is made out for another host name (0x%08X).";
inline constexpr const char* TlsCertificateRevoked = "The certificate of %s has been revoked (0x%08X).";
inline constexpr const char* TlsCertificateWrongUsage =
    "The certificate of %s is not meant for a server (0x%08X).";
inline constexpr const char* TlsCertificateRejected = "The certificate of %s was rejected: %s (0x%08X).";
inline constexpr const char* TlsRevocationUnchecked =
    " (Whether the server's certificate was revoked could not be checked.)";
} // namespace netmsg
