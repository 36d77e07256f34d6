#!/usr/bin/env python3
"""An HTTP proxy for the end-to-end tests that serves the demo download
content from disk and can misbehave on purpose for chosen file names.

    faultproxy.py PORT WWWROOT CONTROLFILE

CONTROLFILE holds lines "NAME MODE" read at every request, so a test can
change the behaviour between runs. Modes: close-mid-body (announces the full
length, sends half, closes), 404, from=PATH (serves that file instead),
flip-byte (the file with its middle byte changed, same length), ok (the
default).
"""
import os
import socket
import socketserver
import sys
import urllib.parse


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        request_line = self.rfile.readline(8192).decode("latin-1").strip()
        while True:
            line = self.rfile.readline(8192)
            if not line or line in (b"\r\n", b"\n"):
                break
        parts = request_line.split()
        if len(parts) != 3:
            return
        path = urllib.parse.urlsplit(parts[1]).path
        name = path.rsplit("/", 1)[-1]
        mode = self.server.modes().get(name, "ok")
        file_path = os.path.normpath(os.path.join(self.server.root, path.lstrip("/")))
        if not file_path.startswith(self.server.root + os.sep):
            file_path = ""
        if mode.startswith("from="):
            file_path = mode[len("from="):]
        if mode == "404" or not os.path.isfile(file_path):
            body = b"not found\n"
            self.wfile.write(b"HTTP/1.1 404 Not Found\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % len(body) + body)
            return
        with open(file_path, "rb") as f:
            data = f.read()
        if mode == "flip-byte" and data:
            middle = len(data) // 2
            data = data[:middle] + bytes([data[middle] ^ 0x01]) + data[middle + 1:]
        self.wfile.write(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % len(data))
        if mode == "close-mid-body":
            self.wfile.write(data[: len(data) // 2])
            self.wfile.flush()
            self.connection.shutdown(socket.SHUT_RDWR)
            return
        self.wfile.write(data)


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True

    def __init__(self, port, root, control):
        super().__init__(("127.0.0.1", port), Handler)
        self.root = os.path.realpath(root)
        self.control = control

    def modes(self):
        result = {}
        try:
            with open(self.control) as f:
                for line in f:
                    words = line.split()
                    if len(words) == 2:
                        result[words[0]] = words[1]
        except FileNotFoundError:
            pass
        return result


if __name__ == "__main__":
    port, root, control = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    Server(port, root, control).serve_forever()
