"""The accept loop the small test peers share: every connection on PORT of
the loopback is served on a thread of its own, until the peer is killed."""
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
