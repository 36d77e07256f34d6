#!/usr/bin/env python3
"""A server that takes the client's first TLS message and closes: the test
of a handshake cut short. Runs until killed.
   tls_closer.py PORT"""
import sys

from peer_listener import serve_forever


def serve(conn):
    with conn:
        conn.settimeout(10)
        try:
            conn.recv(65536)
        except OSError:
            pass


def main():
    serve_forever(int(sys.argv[1]), serve)


if __name__ == "__main__":
    main()
