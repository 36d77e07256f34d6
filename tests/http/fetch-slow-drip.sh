#!/usr/bin/env bash
# A server that answers every receive in time but moves a byte at a time
# (slow_drip.py on 8753, started by tests/peers/start-peers.sh): under the
# speed floor each try is a stall, resumed where it stopped, and the last
# ends with the read time-out's message; a drip fast enough to stay above
# the floor completes; an ETag with a bare CR is never sent back in If-Range.
set -euo pipefail
fetch=$1
run() { timeout 300 "$KORVANT_ROOT/scripts/wine-run" "$fetch" "$@"; }
log="$KORVANT_BUILD/peers/slow-drip.log"
if ! (exec 3<>/dev/tcp/127.0.0.1/8753) 2>/dev/null; then
  echo "slow_drip.py on :8753 is not running (scripts/test starts it)"
  exit 77
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
source "$(dirname "$0")/fetch-checks.sh"
drip=http://127.0.0.1:8753
floor=(--low-speed 20:1000)

# Ten bytes a second against a floor of 20 a second: three tries, each
# resuming where the one before stopped.
: >"$log"
started=$SECONDS
if run "$drip/drip/200/100" "$out/stalled" "${floor[@]}" --tries 3 >/dev/null 2>"$out/stderr"; then
  fail "a trickle below the floor completed"
elif [ "$(tr -d '\r' <"$out/stderr" | tail -n 1)" != "ENetReadTimeout: Read Timeout" ]; then
  fail "trickle: $(cat "$out/stderr")"
else
  mapfile -t requests <"$log"
  if [ "${#requests[@]}" -ne 3 ]; then
    fail "trickle: ${#requests[@]} requests, not 3: ${requests[*]}"
  elif [ "${requests[0]}" != "/drip/200/100 - -" ] ||
    ! [[ "${requests[1]}" =~ ^/drip/200/100\ bytes=([1-9][0-9]*)-\ \"v1\"$ ]] ||
    ! [[ "${requests[2]}" =~ ^/drip/200/100\ bytes=([1-9][0-9]*)-\ \"v1\"$ ]]; then
    fail "trickle: the tries asked for: ${requests[*]}"
  else
    echo "ok   trickle below the floor: 3 tries, resumed (${requests[1]#* }; ${requests[2]#* }), $((SECONDS - started)) s"
  fi
fi

# Fifty bytes a second stays above the floor.
for _ in 1 2 3 4 5 6; do printf 0123456789; done >"$out/sixty"
check "$drip/drip/60/20" "$out/sixty" "a drip above the floor" "${floor[@]}" --tries 1

# The version the server named holds a CR: the next try starts over.
: >"$log"
if run "$drip/etag-cr/200/100" "$out/etag" "${floor[@]}" --tries 2 >/dev/null 2>"$out/stderr"; then
  fail "a trickle with a bent ETag completed"
else
  mapfile -t requests <"$log"
  if [ "${#requests[@]}" -eq 2 ] && [ "${requests[1]}" = "/etag-cr/200/100 - -" ]; then
    echo "ok   an ETag with a CR is not sent back: the second try asks for the whole file"
  else
    fail "bent ETag: the tries asked for: ${requests[*]}"
  fi
fi

[ "$failures" -eq 0 ]
