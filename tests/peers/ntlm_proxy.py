"""An HTTP proxy that wants an NTLM logon, as company proxies do: a request
without one gets a 407 offering NTLM; a type-1 message gets a proper type-2
challenge (with target information, so the client answers NTLMv2) on the
same connection; the type-3 answer is checked here with the password known to
the peer (NTOWFv2 and the NTProofStr through hashlib/hmac, MD4 from OpenSSL
or pycryptodome). Logged on, the connection is served: GET with an absolute
URL is fetched from the server, CONNECT opens a tunnel. With --always-407
every request is refused, whatever it carries.

Usage: ntlm_proxy.py PORT USER PASSWORD LOGFILE [--always-407]
Each request adds a line to LOGFILE: the request line, what logon it
carried, and the outcome (never the password or the raw messages)."""
import base64
import hashlib
import hmac
import os
import socket
import struct
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from peer_listener import read_head, serve_forever  # noqa: E402

PORT = int(sys.argv[1])
USER, PASSWORD, LOG = sys.argv[2], sys.argv[3], sys.argv[4]
ALWAYS_407 = "--always-407" in sys.argv[5:]
log_lock = threading.Lock()


def md4(data):
    try:
        return hashlib.new("md4", data).digest()
    except ValueError:
        try:
            from Crypto.Hash import MD4
        except ImportError:
            from Cryptodome.Hash import MD4
        return MD4.new(data).digest()


def note(line):
    with log_lock:
        with open(LOG, "a") as f:
            f.write(line + "\n")


def field(msg, at):
    length, _, offset = struct.unpack_from("<HHI", msg, at)
    return msg[offset:offset + length]


def av_pair(kind, value):
    return struct.pack("<HH", kind, len(value)) + value


def challenge_message(server_challenge):
    flags = (0x00000001 | 0x00000004 | 0x00000200 | 0x00008000 | 0x00010000 | 0x00080000 |
             0x00800000 | 0x02000000 | 0x20000000 | 0x80000000)
    target = "KORVANT".encode("utf-16-le")
    filetime = int((time.time() + 11644473600) * 10000000)
    info = (av_pair(2, "KORVANT".encode("utf-16-le")) + av_pair(1, "PROXY".encode("utf-16-le")) +
            av_pair(4, "korvant.test".encode("utf-16-le")) + av_pair(3, "proxy.korvant.test".encode("utf-16-le")) +
            av_pair(7, struct.pack("<Q", filetime)) + av_pair(0, b""))
    header = 56
    msg = b"NTLMSSP\0" + struct.pack("<I", 2)
    msg += struct.pack("<HHI", len(target), len(target), header)
    msg += struct.pack("<I", flags) + server_challenge + b"\0" * 8
    msg += struct.pack("<HHI", len(info), len(info), header + len(target))
    msg += bytes([6, 1]) + struct.pack("<H", 7601) + b"\0\0\0\x0f"
    return msg + target + info


def check_authenticate(msg, server_challenge):
    """(user, domain, verdict) of a type-3 message."""
    if len(msg) < 64 or msg[:8] != b"NTLMSSP\0" or struct.unpack_from("<I", msg, 8)[0] != 3:
        return "", "", "not a type-3 message"
    flags = struct.unpack_from("<I", msg, 60)[0]
    text = (lambda b: b.decode("utf-16-le", "replace")) if flags & 1 else (lambda b: b.decode("latin-1"))
    nt = field(msg, 20)
    domain, user = text(field(msg, 28)), text(field(msg, 36))
    if len(nt) <= 24:
        return user, domain, "not NTLMv2"
    if user.lower() != USER.lower():
        return user, domain, "unknown user"
    ntowf = hmac.new(md4(PASSWORD.encode("utf-16-le")), (user.upper() + domain).encode("utf-16-le"), "md5").digest()
    proof = hmac.new(ntowf, server_challenge + nt[16:], "md5").digest()
    return user, domain, "NTLMv2 ok" if hmac.compare_digest(proof, nt[:16]) else "NTLMv2 wrong"


def reply(conn, status, headers=(), body=b"denied\n"):
    head = "HTTP/1.1 %s\r\n" % status
    for h in headers:
        head += h + "\r\n"
    head += "Content-Length: %d\r\n\r\n" % len(body)
    conn.sendall(head.encode() + body)


def pipe(src, dst):
    try:
        while True:
            data = src.recv(65536)
            if not data:
                break
            dst.sendall(data)
    except OSError:
        pass
    for s in (src, dst):
        try:
            s.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


def forward(conn, line, headers):
    method, target, _ = line.split(" ", 2)
    if method == "CONNECT":
        host, port = target.rsplit(":", 1)
        upstream = socket.create_connection((host, int(port)))
        conn.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
        threading.Thread(target=pipe, args=(upstream, conn), daemon=True).start()
        pipe(conn, upstream)
        return
    rest = target.split("://", 1)[1]
    hostport, _, path = rest.partition("/")
    host, _, port = hostport.partition(":")
    upstream = socket.create_connection((host, int(port or 80)))
    # Passed on as they came, so the server's log shows what the client sent
    # beyond the proxy's own logon, which a proxy keeps.
    out = "%s /%s HTTP/1.1\r\n" % (method, path)
    for name, value in headers:
        if name.lower() not in ("proxy-authorization", "proxy-connection", "connection"):
            out += "%s: %s\r\n" % (name, value)
    out += "Connection: close\r\n\r\n"
    upstream.sendall(out.encode("latin-1"))
    pipe(upstream, conn)


def serve(conn):
    challenge = None
    try:
        while True:
            head = read_head(conn)
            if head is None:
                return
            lines = head.split(b"\r\n\r\n", 1)[0].decode("latin-1").split("\r\n")
            line, headers = lines[0], []
            for h in lines[1:]:
                name, _, value = h.partition(":")
                headers.append((name.strip(), value.strip()))
            logon = next((v for n, v in headers if n.lower() == "proxy-authorization"), "")
            scheme, _, token = logon.partition(" ")
            if ALWAYS_407:
                note("%s | %s | 407 always" % (line, scheme or "-"))
                reply(conn, "407 Proxy Authentication Required", ["Proxy-Authenticate: NTLM"])
                continue
            if scheme.upper() != "NTLM" or not token:
                note("%s | %s | 407 challenge" % (line, scheme or "-"))
                reply(conn, "407 Proxy Authentication Required", ["Proxy-Authenticate: NTLM"])
                continue
            msg = base64.b64decode(token + "==")
            kind = struct.unpack_from("<I", msg, 8)[0] if len(msg) >= 12 and msg[:8] == b"NTLMSSP\0" else 0
            if kind == 1:
                challenge = os.urandom(8)
                note("%s | NTLM type 1 | 407 type 2" % line)
                reply(conn, "407 Proxy Authentication Required",
                      ["Proxy-Authenticate: NTLM " + base64.b64encode(challenge_message(challenge)).decode()])
                continue
            if kind == 3 and challenge is not None:
                user, domain, verdict = check_authenticate(msg, challenge)
                challenge = None
                note("%s | NTLM type 3 user=%s domain=%s | %s" % (line, user, domain, verdict))
                if verdict == "NTLMv2 ok":
                    forward(conn, line, headers)
                    return
                reply(conn, "407 Proxy Authentication Required", ["Proxy-Authenticate: NTLM"])
                continue
            note("%s | NTLM type %d out of turn | 407" % (line, kind))
            reply(conn, "407 Proxy Authentication Required", ["Proxy-Authenticate: NTLM"])
    except (OSError, ValueError) as e:
        note("connection error: %s" % e)
    finally:
        conn.close()


serve_forever(PORT, serve)
