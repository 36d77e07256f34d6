#!/usr/bin/env bash
# The wizard's layout at the screen DPIs people use: Wine takes the DPI from
# LogPixels when its server starts, so each DPI gets its own server and one
# run of the DPI cases. The prefix is left at 96 DPI, whatever happens.
#   dpi-cases.sh BUILD_DIR [DPI...]
set -uo pipefail
build=$1
shift
dpis=("$@")
[ ${#dpis[@]} -gt 0 ] || dpis=(96 120 144 192)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export KORVANT_BUILD=$build
export WINEPREFIX=$build/wineprefix
run=$root/scripts/wine-run

set_dpi() {
  for key in 'HKCU\Control Panel\Desktop' \
             'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
    "$run" reg add "$key" /v LogPixels /t REG_DWORD /d "$1" /f </dev/null >/dev/null 2>&1 || return 1
  done
  # The registry is written out when the server ends; the next program
  # starts a fresh one that reads it.
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1 || true
}
# Restarting the server ends every program of the prefix: wait until no
# other run (registered by scripts/lib.sh) uses it, only the one this runs in.
others_in_prefix() {
  local ancestors=" " pid=$$ user
  while [ -n "$pid" ] && [ "$pid" -gt 1 ]; do
    ancestors+="$pid "
    pid=$(ps -o ppid= -p "$pid" 2>/dev/null | tr -d ' ')
  done
  for user in "$build/.wine-users"/*; do
    [ -e "$user" ] || continue
    pid=$(basename "$user")
    if kill -0 "$pid" 2>/dev/null && [[ "$ancestors" != *" $pid "* ]]; then
      return 0
    fi
  done
  return 1
}
waited=0
while others_in_prefix; do
  if [ "$waited" -ge 600 ]; then
    echo "another run still uses $WINEPREFIX after 10 minutes; its programs would die with the server"
    exit 1
  fi
  [ "$waited" -eq 0 ] && echo "waiting for another run in $WINEPREFIX to end"
  sleep 5
  waited=$((waited + 5))
done

trap 'set_dpi 96' EXIT

status=0
for dpi in "${dpis[@]}"; do
  echo "== $dpi DPI"
  set_dpi "$dpi" || { echo "cannot set LogPixels to $dpi"; status=1; continue; }
  # A crash must fail the case, not wait for a debugger.
  KORVANT_EXPECT_DPI=$dpi timeout -k 5 120 "$run" "$build/tests/setup_tests.exe" --gtest_color=no \
    --gtest_filter='WizardDpi.*' </dev/null || status=1
done
exit $status
