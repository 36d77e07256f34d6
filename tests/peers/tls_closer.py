#!/usr/bin/env python3
"""A server that takes the client's first TLS message and closes: the test
of a handshake cut short. Runs until killed.
   tls_closer.py PORT"""
import socket
import sys
import threading


def serve(conn):
    with conn:
        conn.settimeout(10)
        try:
            conn.recv(65536)
        except OSError:
            pass


def main():
    port = int(sys.argv[1])
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(16)
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    main()
