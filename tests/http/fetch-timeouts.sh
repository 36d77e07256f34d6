#!/usr/bin/env bash
# fetch.exe makes its downloads with the wizard's time-outs: it reports the
# ones its client holds, and shorter ones from the command line end a
# download from a silent server, or to a port that never answers, with the
# client's own errors instead of a hang.
#   fetch-timeouts.sh FETCH.EXE PORTS-FILE   (the scripted server's ports)
set -euo pipefail
fetch=$1 ports=$2
run() { "$KORVANT_ROOT/scripts/wine-run" "$fetch" "$@"; }
read -r data control blackhole _ <"$ports"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
source "$(dirname "$0")/fetch-checks.sh"

# The next data connection gets the head of a 10-byte body, three bytes of
# it, and then silence for eight seconds.
python3 - "$control" <<'EOF'
import socket, sys
head = b"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"
script = b"SCRIPT\n1\nREPLY 1 0 1 8000\n%d 0\n" % len(head) + head
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])))
s.sendall(script)
s.shutdown(socket.SHUT_WR)
assert s.recv(16) == b"OK\n", "the scripted server refused the script"
EOF

settings=$(run --settings | tr -d '\r')
[ "$settings" = "$(printf 'connect timeout: 15000 ms\nread timeout: 30000 ms\nlow speed: 1024 bytes in 30000 ms\nproxy: none')" ] ||
  fail "wizard settings: $settings"
settings=$(run --settings --connect-timeout 250 --read-timeout 400 --low-speed 20:1000 --proxy 127.0.0.1:8708 | tr -d '\r')
[ "$settings" = "$(printf 'connect timeout: 250 ms\nread timeout: 400 ms\nlow speed: 20 bytes in 1000 ms\nproxy: 127.0.0.1:8708')" ] ||
  fail "settings from the command line: $settings"
if run --settings --read-timeout 0 >/dev/null 2>"$out/stderr" ||
  [ "$(tr -d '\r' <"$out/stderr")" != "fetch: --read-timeout wants milliseconds above 0, not 0" ]; then
  fail "a zero time-out was taken: $(cat "$out/stderr")"
fi

# One try each: what a retry does is tested against the fault proxy.
if run "http://127.0.0.1:$data/stalled" "$out/stalled" --read-timeout 400 --tries 1 >/dev/null 2>"$out/stderr"; then
  fail "a stalled download succeeded"
elif [ "$(tr -d '\r' <"$out/stderr")" != "ENetReadTimeout: Read Timeout" ]; then
  fail "stalled download: $(cat "$out/stderr")"
elif [ "$(cat "$out/stalled")" != "abc" ]; then
  fail "stalled download kept '$(cat "$out/stalled")', not the three bytes that came"
else
  echo "ok   stalled download: $(tr -d '\r' <"$out/stderr")"
fi

if run "http://127.0.0.1:$blackhole/x" "$out/unanswered" --connect-timeout 400 --tries 1 >/dev/null 2>"$out/stderr"; then
  fail "an unanswered connect succeeded"
elif [ "$(tr -d '\r' <"$out/stderr")" != "ENetConnectTimeout: Connect timed out." ]; then
  fail "unanswered connect: $(cat "$out/stderr")"
else
  echo "ok   unanswered connect: $(tr -d '\r' <"$out/stderr")"
fi

[ "$failures" -eq 0 ]
