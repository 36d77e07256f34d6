#!/usr/bin/env bash
# fetch.exe against peers nobody here wrote: every file under www/files from
# nginx, directly and through tinyproxy, must arrive byte for byte; a refused
# connection and a missing file must fail with the client's own messages.
set -euo pipefail
fetch=$1
run() { "$KORVANT_ROOT/scripts/wine-run" "$fetch" "$@"; }
www="$KORVANT_BUILD/www/files"
out="$KORVANT_BUILD/peers/downloads"
server=http://127.0.0.1:8707
proxy=127.0.0.1:8708

if ! curl -sf -o /dev/null "$server/files/f0.bin" || ! curl -sf -o /dev/null -x "$proxy" "$server/files/f0.bin"; then
  echo "nginx on :8707 or tinyproxy on :8708 is not running (scripts/test starts them)"
  exit 77
fi

mkdir -p "$out"
trap 'rm -rf "$out"' EXIT
source "$(dirname "$0")/fetch-checks.sh"

for f in "$www"/*.bin; do
  name=$(basename "$f")
  check "$server/files/$name" "$f" "$name (direct)"
  check "$server/files/$name" "$f" "$name (tinyproxy)" --proxy "$proxy"
done

# A port with nobody listening: pick a free one and leave it closed.
closed=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
# One try: the retries after a refusal have their own test.
if run "http://127.0.0.1:$closed/x" "$out/refused" --tries 1 >/dev/null 2>"$out/stderr"; then
  fail "refused connection: fetch succeeded"
elif [ "$(tr -d '\r' <"$out/stderr")" != "$(printf 'ENetSocketError: Socket Error # 10061\nConnection refused.')" ]; then
  fail "refused connection: $(cat "$out/stderr")"
else
  echo "ok   refused connection: $(tr -d '\r' <"$out/stderr" | tr '\n' ' ')"
fi

if run "$server/files/missing.bin" "$out/missing" >/dev/null 2>"$out/stderr" ||
  [ "$(tr -d '\r' <"$out/stderr")" != "ENetHTTPProtocolException: HTTP/1.1 404 Not Found" ]; then
  fail "missing file: $(cat "$out/stderr")"
else
  echo "ok   missing file: $(cat "$out/stderr")"
fi

[ "$failures" -eq 0 ]
