#!/usr/bin/env python3
"""A TLS server that answers every request with a short body and
"Connection: close", then waits for the client to end the connection, and
appends to LOG how it ended: "close_notify" when the client said goodbye in
TLS before closing, "cut" when the connection just went away.
   tls_notify.py PORT CERT KEY LOG"""
import ssl
import sys

from peer_listener import serve_forever

ANSWER = b"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello"


def serve(context, conn, log):
    ending = "cut"
    try:
        conn.settimeout(20)
        with context.wrap_socket(conn, server_side=True, suppress_ragged_eofs=False) as tls:
            data = b""
            while b"\r\n\r\n" not in data:
                chunk = tls.recv(65536)
                if not chunk:
                    break
                data += chunk
            tls.sendall(ANSWER)
            try:
                while tls.recv(65536):
                    pass
                # An empty read from the TLS layer is the peer's close_notify.
                ending = "close_notify"
            except (ssl.SSLEOFError, ssl.SSLZeroReturnError) as error:
                ending = "close_notify" if isinstance(error, ssl.SSLZeroReturnError) else "cut"
    except (OSError, ssl.SSLError):
        pass
    with open(log, "a") as out:
        out.write(ending + "\n")


def main():
    port, cert, key, log = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    # An unclean end must raise, not read as empty.
    context.options &= ~getattr(ssl, "OP_IGNORE_UNEXPECTED_EOF", 0)
    serve_forever(port, lambda conn: serve(context, conn, log))


if __name__ == "__main__":
    main()
