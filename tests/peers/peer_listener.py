"""The accept loop the small test peers share: every connection on PORT of
the loopback is served on a thread of its own, until the peer is killed; and
the reading of a request's head."""
import socket
import threading


def serve_forever(port, serve):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(16)
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve, args=(conn,), daemon=True).start()


def read_head(conn):
    """The request's bytes up to and including its blank line (and whatever
    came with them), or None when the client closed before it."""
    head = b""
    while b"\r\n\r\n" not in head:
        data = conn.recv(4096)
        if not data:
            return None
        head += data
    return head
