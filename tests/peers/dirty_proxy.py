#!/usr/bin/env python3
"""A proxy that answers CONNECT with 200 and, in the same segment, an HTTP
answer of its own ("forged"), then tunnels to the asked host as a proxy
would. A client that reads those bytes as the server's reply downloads the
forgery without any certificate. Runs until killed.
   dirty_proxy.py PORT"""
import socket
import sys
import threading

from peer_listener import read_head, serve_forever

FORGED = b"HTTP/1.1 200 OK\r\nContent-Length: 6\r\nConnection: close\r\n\r\nforged"


def pump(source, sink):
    try:
        while True:
            data = source.recv(65536)
            if not data:
                break
            sink.sendall(data)
    except OSError:
        pass
    try:
        sink.shutdown(socket.SHUT_WR)
    except OSError:
        pass


def serve(conn):
    with conn:
        conn.settimeout(30)
        head = read_head(conn)
        if head is None:
            return
        words = head.split(b"\r\n", 1)[0].split()
        if len(words) < 2 or words[0] != b"CONNECT":
            conn.sendall(b"HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n\r\n")
            return
        host, _, port = words[1].decode().rpartition(":")
        try:
            upstream = socket.create_connection((host.strip("[]"), int(port)), timeout=30)
        except OSError:
            conn.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n")
            return
        with upstream:
            conn.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n" + FORGED)
            back = threading.Thread(target=pump, args=(upstream, conn), daemon=True)
            back.start()
            pump(conn, upstream)
            back.join(30)


def main():
    serve_forever(int(sys.argv[1]), serve)


if __name__ == "__main__":
    main()
