#!/usr/bin/env bash
# Reads the shortcut the Dutch end-to-end installation put on the desktop with
# lnkinfo, a reader nobody here wrote.
set -euo pipefail
link=$1/e2e/dutch-install.lnk
[ -f "$link" ] || { echo "no shortcut from the Dutch installation at $link" >&2; exit 1; }
info=$(lnkinfo "$link")
fail=0
expect() {
  if ! grep -qF -- "$1" <<<"$info"; then
    echo "missing: $1" >&2
    fail=1
  fi
}
expect $'Local path\t\t\t: C:\\KORVANT07\\KORVANT07.EXE'
expect $'Working directory\t\t: C:\\KORVANT07\\'
expect $'Description\t\t\t: Korvant'
if grep -qE $'Command line arguments\t+: .+' <<<"$info"; then
  echo "the shortcut has arguments" >&2
  fail=1
fi
[ $fail -eq 0 ] || { echo "$info" >&2; exit 1; }
echo "shortcut checked with lnkinfo"
