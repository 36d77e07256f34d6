#!/usr/bin/env python3
"""A server that sends its file one byte at a time with a pause between, and
honours a resume (Range with a matching If-Range), so that a client's speed
floor, its retries and its resumes can be watched. Every request is logged
as "PATH RANGE IF-RANGE". Runs until killed.
   slow_drip.py PORT LOGFILE
GET /drip/SIZE/PAUSE_MS sends SIZE bytes ("0123456789" repeated), one per
PAUSE_MS; /etag-cr/SIZE/PAUSE_MS does the same with an ETag holding a bare
CR and no Last-Modified, so no resume may be asked for."""
import sys
import time

from peer_listener import read_head, serve_forever

LOG = None


def body(size):
    return (b"0123456789" * (size // 10 + 1))[:size]


def serve(conn):
    with conn:
        conn.settimeout(60)
        head = read_head(conn)
        if head is None:
            return
        lines = head.split(b"\r\n")
        path = lines[0].split()[1].decode()
        headers = {}
        for line in lines[1:]:
            name, _, value = line.partition(b":")
            headers[name.strip().lower()] = value.strip()
        ranged = headers.get(b"range", b"").decode()
        if_range = headers.get(b"if-range", b"").decode("latin-1")
        with open(LOG, "a") as log:
            log.write("%s %s %s\n" % (path, ranged or "-", if_range.replace("\r", "\\r") or "-"))
        parts = path.split("/")
        size, pause = int(parts[2]), int(parts[3]) / 1000.0
        tag = b'"v1"' if parts[1] == "drip" else b'"v\rx"'
        data = body(size)
        start = 0
        if ranged.startswith("bytes=") and if_range.encode("latin-1") == tag:
            start = int(ranged[6:].rstrip("-"))
            conn.sendall(b"HTTP/1.1 206 Partial Content\r\nETag: %s\r\nContent-Length: %d\r\n"
                         b"Content-Range: bytes %d-%d/%d\r\n\r\n" % (tag, size - start, start, size - 1, size))
        else:
            conn.sendall(b"HTTP/1.1 200 OK\r\nETag: %s\r\nContent-Length: %d\r\n\r\n" % (tag, size))
        try:
            for i in range(start, size):
                conn.sendall(data[i:i + 1])
                time.sleep(pause)
        except OSError:
            pass


def main():
    global LOG
    LOG = sys.argv[2]
    serve_forever(int(sys.argv[1]), serve)


if __name__ == "__main__":
    main()
