#!/usr/bin/env python3
"""Scripted HTTP peer for the client tests.

The client under test (a Windows program under Wine) tells this server over a
control port what to answer on its next data connections, then reads back the
exact bytes of the requests it sent. Ports go to the file named on the command
line as "data control blackhole refused".

Control commands, one per control connection:
  SCRIPT\n<n>\n then n replies, each
      REPLY <read_request> <close> <parts> <linger_ms>\n
      then per part "<length> <delay_ms>\n" and <length> bytes
  LOG\n   -> "<n>\n" then per recorded request "<length>\n" and its bytes;
             the log is emptied.
Every data connection takes the next reply; none left means close at once.
"""
import socket
import sys
import threading
import time

lock = threading.Lock()
replies = []
requests = []


def read_exact(stream, n):
    data = stream.read(n)
    if len(data) != n:
        raise EOFError("short control data")
    return data


def read_request(conn):
    """The head up to the empty line, plus a body of Content-Length bytes."""
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(65536)
        if not chunk:
            return data
        data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip() or 0)
    while len(body) < length:
        chunk = conn.recv(65536)
        if not chunk:
            break
        body += chunk
    return head + b"\r\n\r\n" + body


def serve_data(conn):
    with lock:
        reply = replies.pop(0) if replies else None
    try:
        if reply is None:
            return
        read_first, close, parts, linger_ms = reply
        if read_first:
            request = read_request(conn)
            with lock:
                requests.append(request)
        for data, delay_ms in parts:
            if delay_ms:
                time.sleep(delay_ms / 1000.0)
            conn.sendall(data)
        if not close:
            # Keep the connection until the client closes it or time is up.
            conn.settimeout(linger_ms / 1000.0 if linger_ms else 10.0)
            try:
                while conn.recv(65536):
                    pass
            except OSError:
                pass
    except OSError:
        pass
    finally:
        try:
            conn.shutdown(socket.SHUT_WR)
        except OSError:
            pass
        conn.close()


def serve_control(conn):
    stream = conn.makefile("rb")
    try:
        command = stream.readline().strip()
        if command == b"SCRIPT":
            count = int(stream.readline())
            script = []
            for _ in range(count):
                _, read_first, close, nparts, linger = stream.readline().split()
                parts = []
                for _ in range(int(nparts)):
                    length, delay = stream.readline().split()
                    parts.append((read_exact(stream, int(length)), int(delay)))
                script.append((read_first == b"1", close == b"1", parts, int(linger)))
            with lock:
                replies[:] = script
                requests.clear()
            conn.sendall(b"OK\n")
        elif command == b"LOG":
            with lock:
                log = list(requests)
                requests.clear()
            out = b"%d\n" % len(log)
            for request in log:
                out += b"%d\n" % len(request) + request
            conn.sendall(out)
    finally:
        stream.close()
        conn.close()


def listener(backlog=16):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", 0))
    s.listen(backlog)
    return s


def accept_loop(server, handler):
    while True:
        conn, _ = server.accept()
        threading.Thread(target=handler, args=(conn,), daemon=True).start()


def main():
    data, control = listener(), listener()
    # A port whose queue is full: connects to it hang, for connect time-outs.
    blackhole = listener(0)
    fillers = []
    for _ in range(4):
        f = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        f.setblocking(False)
        try:
            f.connect(blackhole.getsockname())
        except BlockingIOError:
            pass
        fillers.append(f)
    # A port nobody listens on: connects to it are refused.
    probe = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    probe.bind(("127.0.0.1", 0))
    refused = probe.getsockname()[1]
    probe.close()

    ports = "%d %d %d %d\n" % (data.getsockname()[1], control.getsockname()[1], blackhole.getsockname()[1], refused)
    with open(sys.argv[1] + ".tmp", "w") as f:
        f.write(ports)
    import os
    os.replace(sys.argv[1] + ".tmp", sys.argv[1])
    threading.Thread(target=accept_loop, args=(data, serve_data), daemon=True).start()
    accept_loop(control, serve_control)


if __name__ == "__main__":
    main()
