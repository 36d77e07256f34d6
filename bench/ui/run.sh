#!/usr/bin/env bash
# How fast the wizard's window answers another process while it works: a
# reader in its own process reads the text of the form and of every control
# in it, idle on the proxy page and in the middle of a download, an
# extraction and the installed program's run, and prints the median time of
# one full read in each state and its ratio to the idle one (target <= 2).
#   bench/ui/run.sh        (uses the build tree of scripts/build)
# Starts its own peers (nginx 8707, the fault proxy on 8709): run it inside
# its own network namespace (unshare -n) when other tests may be running.
source "$(dirname "$0")/../../scripts/lib.sh"

install_deps
cmake --build "$KORVANT_BUILD" --target Setup ZipEng179 demo_content ui_reader >/dev/null \
  || { log "the build failed"; exit 1; }

trap stop_services EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
start_xvfb
start_wineserver
source "$KORVANT_ROOT/tests/peers/start-peers.sh"
port=8709
bash "$KORVANT_ROOT/tests/e2e/faultproxy.sh" start "$KORVANT_BUILD" "$port"
trap 'bash "$KORVANT_ROOT/tests/e2e/faultproxy.sh" stop "$KORVANT_BUILD" '"$port"'; stop_services' EXIT

rm -rf "$KORVANT_BUILD/wineprefix/drive_c/KORVANT07"
to_windows() { printf 'Z:%s' "${1//\//\\}"; }
KORVANT_BINARY_DIR="$KORVANT_BUILD" "$KORVANT_ROOT/scripts/wine-run" "$KORVANT_BUILD/bench/ui_reader.exe" \
  "$port" "$(to_windows "$KORVANT_BUILD/e2e/faultproxy.control")" "$KORVANT_BUILD/e2e" </dev/null \
  | tr -d '\r'
rm -rf "$KORVANT_BUILD/wineprefix/drive_c/KORVANT07"
