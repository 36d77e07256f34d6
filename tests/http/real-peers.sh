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
failures=0
check() { # name, then fetch arguments after URL OUTFILE
  local name=$1 via=$2 file="$out/$1"
  shift 2
  local started=$SECONDS status=0
  run "$server/files/$name" "$file" "$@" >"$out/stdout" 2>"$out/stderr" || status=$?
  if [ "$status" -ne 0 ]; then
    # The exit status too: a run that printed nothing still says how it ended.
    echo "FAIL $name ($via): exit $status: $(cat "$out/stderr" "$out/stdout")"
    failures=$((failures + 1))
  elif ! cmp -s "$file" "$www/$name"; then
    echo "FAIL $name ($via): the download differs from the served file"
    failures=$((failures + 1))
  else
    echo "ok   $name ($via, $(stat -c %s "$file") bytes, $((SECONDS - started)) s)"
  fi
  rm -f "$file"
}

for f in "$www"/*.bin; do
  name=$(basename "$f")
  check "$name" direct
  check "$name" tinyproxy --proxy "$proxy"
done

# A port with nobody listening: pick a free one and leave it closed.
closed=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
# One try: the retries after a refusal have their own test.
if run "http://127.0.0.1:$closed/x" "$out/refused" --tries 1 >/dev/null 2>"$out/stderr"; then
  echo "FAIL refused connection: fetch succeeded"
  failures=$((failures + 1))
elif [ "$(tr -d '\r' <"$out/stderr")" != "$(printf 'ENetSocketError: Socket Error # 10061\nConnection refused.')" ]; then
  echo "FAIL refused connection: $(cat "$out/stderr")"
  failures=$((failures + 1))
else
  echo "ok   refused connection: $(tr -d '\r' <"$out/stderr" | tr '\n' ' ')"
fi

if run "$server/files/missing.bin" "$out/missing" >/dev/null 2>"$out/stderr" ||
  [ "$(tr -d '\r' <"$out/stderr")" != "ENetHTTPProtocolException: HTTP/1.1 404 Not Found" ]; then
  echo "FAIL missing file: $(cat "$out/stderr")"
  failures=$((failures + 1))
else
  echo "ok   missing file: $(cat "$out/stderr")"
fi

[ "$failures" -eq 0 ]
