#!/usr/bin/env bash
# Two scripts using the same Wine prefix: the one that ends first must not
# stop the server under the other's running program. A program killed that
# way ended printing nothing, and Wine even reported it as a success.
#   shared-prefix.sh BUILD_DIR FETCH_EXE
set -uo pipefail
export KORVANT_BUILD=$1
fetch=$2
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$KORVANT_BUILD/tests/platform-work/shared-prefix
rm -rf "$work"
mkdir -p "$work"

# A server that accepts and then says nothing: the long run's download waits
# for it until its read time-out.
port_file=$work/port
python3 -c '
import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen()
open(sys.argv[1], "w").write(str(s.getsockname()[1]))
c = s.accept(); time.sleep(30)' "$port_file" &
silent=$!
trap 'kill $silent 2>/dev/null' EXIT
for _ in $(seq 50); do [ -s "$port_file" ] && break; sleep 0.1; done

long_run() {
  source "$root/scripts/lib.sh"
  trap stop_services EXIT
  start_wineserver
  local status=0
  "$root/scripts/wine-run" "$fetch" "http://127.0.0.1:$(cat "$port_file")/x" "$work/long.out" --tries 1 \
    --read-timeout 6000 >"$work/long.stdout" 2>"$work/long.stderr" || status=$?
  echo "$status" >"$work/long.status"
}
short_run() {
  source "$root/scripts/lib.sh"
  trap stop_services EXIT
  start_wineserver
  "$root/scripts/wine-run" "$fetch" "http://127.0.0.1:1/x" "$work/short.out" --tries 1 >/dev/null 2>&1 || true
}
(long_run) &
long=$!
sleep 3
(short_run)
wait "$long"

status=$(cat "$work/long.status")
said=$(tr -d '\r' <"$work/long.stderr")
if [ "$status" -eq 1 ] && [ "$said" = "ENetReadTimeout: Read Timeout" ]; then
  echo "ok   the long run's program outlived the short run and timed out as it should"
  exit 0
fi
echo "FAIL the long run's program ended with status $status, saying \"$said\""
exit 1
