#!/usr/bin/env bash
# Reads back, with lnkinfo and the documented header layout, the desktop
# shortcuts that config_tests left in WORK/shortcuts/<case>/Korvant.lnk, each
# pointing at WORK/installs/<case>/KORVANT07/KORVANT07.EXE.
#   check-shortcuts.sh WORK
set -uo pipefail
work=${1:?usage: check-shortcuts.sh WORK}
command -v lnkinfo >/dev/null || { echo "lnkinfo is missing (Debian liblnk-utils)" >&2; exit 1; }

failures=0
fail() { echo "FAIL $1: $2" >&2; failures=$((failures + 1)); }

# The value lnkinfo prints for a field, without the padding.
field() { sed -n "s/^[[:space:]]*$2[[:space:]]*: \{0,1\}//p" <<<"$1" | head -n 1; }

for case in plain slash overwrite expand; do
  before=$failures
  link="$work/shortcuts/$case/Korvant.lnk"
  if [ ! -f "$link" ]; then
    fail "$case" "no shortcut at $link"
    continue
  fi
  install="Z:$(tr / '\\' <<<"$work/installs/$case/KORVANT07")\\"
  info=$(lnkinfo "$link" 2>&1) || { fail "$case" "lnkinfo cannot read it: $info"; continue; }

  [ "$(field "$info" 'Local path')" = "${install}KORVANT07.EXE" ] ||
    fail "$case" "target is '$(field "$info" 'Local path')', not '${install}KORVANT07.EXE'"
  [ "$(field "$info" 'Working directory')" = "$install" ] ||
    fail "$case" "working folder is '$(field "$info" 'Working directory')', not '$install'"
  [ "$(field "$info" 'Description')" = "Korvant" ] ||
    fail "$case" "description is '$(field "$info" 'Description')'"
  [ -z "$(field "$info" 'Command line arguments')" ] ||
    fail "$case" "has arguments '$(field "$info" 'Command line arguments')'"
  ! grep -q 'Contains an icon location string' <<<"$info" ||
    fail "$case" "has an icon of its own: $(field "$info" 'Icon location')"

  # This lnkinfo prints 0 for both whatever the file holds: read the header.
  show=$(od -An -t u4 -j 60 -N 4 "$link" | tr -d ' ')
  hotkey=$(od -An -t u2 -j 64 -N 2 "$link" | tr -d ' ')
  [ "$show" = 1 ] || fail "$case" "show command is $show, not 1 (normal window)"
  [ "$hotkey" = 0 ] || fail "$case" "hot key is $hotkey, not none"

  [ $failures -eq "$before" ] && echo "ok $case: ${install}KORVANT07.EXE"
done
exit $((failures > 0))
