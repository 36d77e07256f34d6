#!/usr/bin/env python3
"""An HTTP proxy for the end-to-end tests that serves the demo download
content from disk and can misbehave on purpose for chosen file names.

    faultproxy.py PORT WWWROOT CONTROLFILE

CONTROLFILE holds lines "NAME MODE" read at every request, so a test can
change the behaviour between runs. Modes: close-mid-body (announces the full
length, sends half, closes), 404, from=PATH (serves that file instead),
flip-byte (the file with its middle byte changed, same length), slow (about
8 MB/s) and slow=RATE (RATE bytes a second), ok (the default). A slow answer
ends with a line "END NAME sent=N of M" in CONTROLFILE.log, so a test sees
how much the client took before it hung up. Modes ending in -once misbehave on the first
request for the file only and then answer Range requests whose If-Range
matches with 206: close-mid-body-once cuts the body halfway;
stall-mid-body-once sends half and then falls silent until the client gives
up; changed-once serves an older version (another ETag, other bytes) cut
halfway, so the resumed request no longer matches and gets the whole file
with 200; ignore-range-once cuts the first and then answers 200 with the
whole file whatever was asked; wrong-range-once cuts the first and then
answers 206 for a range that starts a byte later than asked. hold,MODE
(or hold alone, MODE ok) answers nothing until the file CONTROLFILE.release
exists (20 s at most) and then answers as MODE; it logs "HOLD NAME" when the
request came and "RELEASE NAME" when it answers, so a test sees that a
request was made before it let the answer go. bad-chunk
sends the file chunked, its second chunk followed by other bytes where
its line end must be. Every request line and its Range and If-Range
headers are appended to CONTROLFILE.log.
"""
import os
import socket
import socketserver
import sys
import time
import urllib.parse


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        request_line = self.rfile.readline(8192).decode("latin-1").strip()
        headers = {}
        while True:
            line = self.rfile.readline(8192)
            if not line or line in (b"\r\n", b"\n"):
                break
            name, _, value = line.decode("latin-1").partition(":")
            headers[name.strip().lower()] = value.strip()
        with open(self.server.control + ".log", "a") as log:
            log.write("%s|range=%s|if-range=%s\n" % (request_line, headers.get("range", ""), headers.get("if-range", "")))
        parts = request_line.split()
        if len(parts) != 3:
            return
        path = urllib.parse.urlsplit(parts[1]).path
        name = path.rsplit("/", 1)[-1]
        mode = self.server.modes().get(name, "ok")
        if mode == "hold" or mode.startswith("hold,"):
            mode = mode[len("hold,"):] or "ok"
            with open(self.server.control + ".log", "a") as log:
                log.write("HOLD %s\n" % name)
            deadline = time.monotonic() + 20
            while not os.path.exists(self.server.control + ".release") and time.monotonic() < deadline:
                time.sleep(0.02)
            with open(self.server.control + ".log", "a") as log:
                log.write("RELEASE %s\n" % name)
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
        etag = '"%x-%x"' % (len(data), int(os.path.getmtime(file_path)))
        first = self.server.first_request(name)
        if mode.endswith("-once") and first:
            if mode == "changed-once":
                etag = '"older"'
                data = bytes([data[0] ^ 0xFF]) + data[1:] if data else data
            mode = "stall-mid-body" if mode == "stall-mid-body-once" else "close-mid-body"
        elif mode.endswith("-once"):
            wanted = headers.get("range", "")
            if mode != "ignore-range-once" and wanted.startswith("bytes=") and headers.get("if-range") == etag:
                start = int(wanted[len("bytes="):].rstrip("-"))
                if mode == "wrong-range-once":
                    start += 1
                self.wfile.write(b"HTTP/1.1 206 Partial Content\r\nContent-Length: %d\r\n"
                                 b"Content-Range: bytes %d-%d/%d\r\nETag: %s\r\nConnection: close\r\n\r\n"
                                 % (len(data) - start, start, len(data) - 1, len(data), etag.encode()))
                self.wfile.write(data[start:])
                return
            mode = "ok"
        if mode == "bad-chunk":
            third = max(1, len(data) // 3)
            self.wfile.write(b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n")
            self.wfile.write(b"%x\r\n%s\r\n" % (third, data[:third]))
            self.wfile.write(b"%x\r\n%sXX\r\n0\r\n\r\n" % (third, data[third:2 * third]))
            self.wfile.flush()
            self.connection.shutdown(socket.SHUT_WR)
            self.wait_for_client_close(30)
            return
        if mode == "flip-byte" and data:
            middle = len(data) // 2
            data = data[:middle] + bytes([data[middle] ^ 0x01]) + data[middle + 1:]
        self.wfile.write(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\nETag: %s\r\nConnection: close\r\n\r\n"
                         % (len(data), etag.encode()))
        if mode in ("close-mid-body", "stall-mid-body"):
            self.wfile.write(data[: len(data) // 2])
            self.wfile.flush()
            if mode == "close-mid-body":
                # A half close, then the client's own: closing at once could
                # reset the connection and throw away what it has not read
                # yet, and the test would see no half body at all.
                self.connection.shutdown(socket.SHUT_WR)
            # Stalled, the line stays silent and open: only the client's read
            # time-out ends it.
            self.wait_for_client_close(60 if mode == "stall-mid-body" else 30)
            return
        if mode == "slow" or mode.startswith("slow="):
            rate = float(mode[len("slow="):]) if mode.startswith("slow=") else 8e6
            piece = max(4096, min(256 * 1024, int(rate / 20)))
            sent = 0
            try:
                for at in range(0, len(data), piece):
                    self.wfile.write(data[at:at + piece])
                    self.wfile.flush()
                    sent += len(data[at:at + piece])
                    time.sleep(piece / rate)
            except OSError:
                pass
            with open(self.server.control + ".log", "a") as log:
                log.write("END %s sent=%d of %d\n" % (name, sent, len(data)))
            return
        self.wfile.write(data)

    def wait_for_client_close(self, seconds):
        self.connection.settimeout(seconds)
        try:
            while self.connection.recv(4096):
                pass
        except OSError:
            pass


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True

    def __init__(self, port, root, control):
        super().__init__(("127.0.0.1", port), Handler)
        self.root = os.path.realpath(root)
        self.control = control
        self.seen = set()

    def first_request(self, name):
        # Per writing of the control file: every test writes it afresh, so a
        # new test's faults start afresh, also when a second run of a test
        # program writes the very same words as the first (its run marks
        # count from 1 again).
        try:
            st = os.stat(self.control)
            with open(self.control) as f:
                key = (name, st.st_ino, st.st_mtime_ns, f.read())
        except FileNotFoundError:
            key = (name, None, None, "")
        first = key not in self.seen
        self.seen.add(key)
        return first

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
