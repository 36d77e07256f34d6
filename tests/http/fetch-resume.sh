#!/usr/bin/env bash
# fetch.exe after a drop, as the wizard: against the fault proxy (serving a
# file of its own), a body cut halfway, a silent server, a file that changed
# and a server that ignores Range must each end in the whole file, byte for
# byte, with the requests on the wire that resuming implies; an HTTP error
# is not retried; --sha256 keeps a matching file and deletes any other.
#   fetch-resume.sh FETCH.EXE
set -euo pipefail
fetch=$1
run() { "$KORVANT_ROOT/scripts/wine-run" "$fetch" "$@"; }
work=$(mktemp -d)
proxy_pid=
trap '[ -n "$proxy_pid" ] && kill "$proxy_pid" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/www/files"
head -c 3000000 /dev/urandom >"$work/www/files/body.bin"
served="$work/www/files/body.bin"
half=$(($(stat -c %s "$served") / 2))
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
control="$work/control"
python3 "$KORVANT_ROOT/tests/e2e/faultproxy.py" "$port" "$work/www" "$control" &
proxy_pid=$!
for _ in $(seq 50); do
  curl -s -o /dev/null "http://127.0.0.1:$port/" && break
  sleep 0.1
done
url="http://127.0.0.1:$port/files/body.bin"
source "$(dirname "$0")/fetch-checks.sh"
run_no=0
faults() { # the proxy's mode for the file; a fresh run and an empty request log
  run_no=$((run_no + 1))
  printf '#run-%d\n%s\n' "$run_no" "${1:+body.bin $1}" >"$control"
  : >"$control.log"
}
requests() { grep -c ' /files/body.bin ' "$control.log" || true; }

# mode, expected requests, what the second request's headers must hold, fetch options
resumes() {
  local mode=$1 count=$2 second=$3
  shift 3
  faults "$mode"
  rm -f "$work/out"
  if ! run "$url" "$work/out" "$@" >/dev/null 2>"$work/stderr"; then
    fail "$mode: $(tr -d '\r' <"$work/stderr")"
  elif ! cmp -s "$work/out" "$served"; then
    fail "$mode: the file differs from the served one"
  elif [ "$(requests)" != "$count" ]; then
    fail "$mode: $(requests) requests, not $count: $(cat "$control.log")"
  elif [ "$(sed -n 1p "$control.log")" != "GET /files/body.bin HTTP/1.1|range=|if-range=" ]; then
    fail "$mode: the first request was not the plain one: $(sed -n 1p "$control.log")"
  elif ! sed -n 2p "$control.log" | grep -qF -- "$second"; then
    fail "$mode: the second request lacks '$second': $(sed -n 2p "$control.log")"
  elif ! grep -q "try 2 of 4" "$work/stderr"; then
    fail "$mode: no word of the retry on stderr: $(cat "$work/stderr")"
  else
    echo "ok   $mode: whole file after $count requests"
  fi
}
resumes close-mid-body-once 2 "|range=bytes=$half-|if-range=\""
resumes stall-mid-body-once 2 "|range=bytes=$half-|if-range=\"" --read-timeout 1000
resumes changed-once 2 '|range=bytes='"$half"'-|if-range="older"'
resumes ignore-range-once 2 "|range=bytes=$half-|if-range=\""

# Cut every time: four tries, then the error of a single try.
faults close-mid-body
if run "$url" "$work/out" >/dev/null 2>"$work/stderr"; then
  fail "a body cut on every try was taken"
elif [ "$(tr -d '\r' <"$work/stderr" | tail -n 1)" != "ENetConnClosedGracefully: Connection Closed Gracefully." ] ||
  [ "$(requests)" != 4 ]; then
  fail "cut every time: $(requests) requests, $(cat "$work/stderr")"
else
  echo "ok   cut every time: four requests, then $(tr -d '\r' <"$work/stderr" | tail -n 1)"
fi

faults 404
if run "$url" "$work/out" >/dev/null 2>"$work/stderr" || [ "$(requests)" != 1 ]; then
  fail "404: $(requests) requests, $(cat "$work/stderr")"
else
  echo "ok   404: one request, $(tr -d '\r' <"$work/stderr")"
fi

faults ""
digest=$(sha256sum "$served" | cut -d' ' -f1)
if ! run "$url" "$work/out" --sha256 "$digest" >/dev/null 2>"$work/stderr" || ! cmp -s "$work/out" "$served"; then
  fail "--sha256 with the right digest: $(cat "$work/stderr")"
else
  echo "ok   --sha256 with the right digest keeps the file"
fi
faults flip-byte
if run "$url" "$work/out" --sha256 "${digest^^}" >/dev/null 2>"$work/stderr"; then
  fail "--sha256 took a changed file"
elif [ -e "$work/out" ]; then
  fail "--sha256 left the changed file behind"
elif [ "$(tr -d '\r' <"$work/stderr" | tail -n 1)" != "fetch: $url does not match --sha256; deleted" ]; then
  fail "--sha256 mismatch: $(cat "$work/stderr")"
else
  echo "ok   --sha256 with another file's digest: $(tr -d '\r' <"$work/stderr")"
fi
if run "$url" "$work/out" --sha256 abc >/dev/null 2>"$work/stderr" ||
  [ "$(tr -d '\r' <"$work/stderr")" != "fetch: --sha256 wants 64 hexadecimal digits, not abc" ]; then
  fail "a short digest: $(cat "$work/stderr")"
fi

[ "$failures" -eq 0 ]
