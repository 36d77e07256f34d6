#!/usr/bin/env bash
# Gives the test prefix a small drive D: (a tmpfs of a few megabytes) for the
# free-space tests, and takes it away again. Mounting needs root; where it is
# not possible the reason is left in a file and the tests that need the drive
# skip, saying why.
#   smalldrive.sh start|stop BUILD_DIR [MEGABYTES]
set -uo pipefail
action=$1 build=$2 megabytes=${3:-4}
dir=$build/e2e/small-drive
link=$build/wineprefix/dosdevices/d:
reason=$build/e2e/small-drive.unavailable
# Wine's mount manager reads the drive links when the session's first
# program starts: a drive given later is seen only after the server (and with
# it the session's services) starts anew. It is started persistent again, as
# scripts/lib.sh starts it.
restart_wine_session() {
  if WINEPREFIX="$build/wineprefix" wineserver -k >/dev/null 2>&1; then
    WINEPREFIX="$build/wineprefix" wineserver -w >/dev/null 2>&1 || true
    WINEPREFIX="$build/wineprefix" wineserver -p </dev/null >/dev/null 2>&1 || true
  fi
}
case $action in
start)
  mkdir -p "$dir"
  rm -f "$reason"
  mountpoint -q "$dir" && umount "$dir"
  if ! out=$(mount -t tmpfs -o "size=${megabytes}m,mode=0777" korvant-small "$dir" 2>&1); then
    printf 'cannot mount a %s MB tmpfs for drive D: (%s)\n' "$megabytes" "$out" > "$reason"
    exit 0
  fi
  if [ -e "$link" ] || [ -L "$link" ]; then
    if [ "$(readlink "$link")" != "$dir" ]; then
      umount "$dir"
      printf 'the test prefix already has a drive D: (%s)\n' "$(readlink "$link")" > "$reason"
      exit 0
    fi
  fi
  ln -sfn "$dir" "$link"
  restart_wine_session
  ;;
stop)
  if [ -L "$link" ] && [ "$(readlink "$link")" = "$dir" ]; then
    rm -f "$link"
    restart_wine_session
  fi
  mountpoint -q "$dir" && umount "$dir"
  rm -f "$reason"
  ;;
esac
exit 0
