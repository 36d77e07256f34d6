#!/usr/bin/env bash
# The shortcut Setup.exe /S made reads, with lnkinfo (a reader nobody here
# wrote), exactly as the wizard's with the same choices, and opens the program.
set -euo pipefail
dir=$1/unattended
for f in wizard.lnk unattended.lnk; do
  [ -f "$dir/$f" ] || { echo "no $f in $dir (left by unattended_e2e_tests)" >&2; exit 1; }
done
wizard=$(lnkinfo "$dir/wizard.lnk" | grep -v -e '^lnkinfo ' -e ' time\s*:')
unattended=$(lnkinfo "$dir/unattended.lnk" | grep -v -e '^lnkinfo ' -e ' time\s*:')
if [ "$wizard" != "$unattended" ]; then
  diff <(echo "$wizard") <(echo "$unattended") >&2 || true
  exit 1
fi
grep -qF $'Local path\t\t\t: C:\\KORVANT07\\KORVANT07.EXE' <<<"$unattended" || { echo "$unattended" >&2; exit 1; }
echo "both shortcuts read the same with lnkinfo"
