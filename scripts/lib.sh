# Shared set-up for scripts/build, scripts/test and scripts/demo. Source it.
set -euo pipefail

KORVANT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KORVANT_BUILD=${KORVANT_BUILD:-$KORVANT_ROOT/build}
export KORVANT_ROOT KORVANT_BUILD

KORVANT_PACKAGES=(
  cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  googletest g++ wine wine64 xvfb x11-utils xdotool libz-mingw-w64-dev gettext
  nginx-light tinyproxy zip unzip p7zip-full liblnk-utils curl imagemagick python3 time
  clang libclang-rt-14-dev zlib1g-dev openssl libgnutls30 osslsigncode faketime
  squid winbind python3-pycryptodome krb5-kdc krb5-admin-server krb5-user
)

log() { printf '[korvant] %s\n' "$*" >&2; }

install_deps() {
  local missing=()
  for p in "${KORVANT_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Background processes we started, stopped by stop_services.
KORVANT_PIDS=()

start_xvfb() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  local n=97
  while [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  KORVANT_PIDS+=($!)
  export DISPLAY=":$n"
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  KORVANT_STARTED_XVFB=1
  log "started virtual display $DISPLAY"
}

# Every script that runs programs in the prefix registers itself, and only
# the last one to end stops the Wine server: stopping it kills every Wine
# program of the prefix, and a second run in the same build tree (a test
# started beside a longer one) saw its programs die at once, printing nothing.
korvant_wine_users="$KORVANT_BUILD/.wine-users"

start_wineserver() {
  "$KORVANT_ROOT/scripts/wine-run" --prepare
  export WINEPREFIX="$KORVANT_BUILD/wineprefix"
  mkdir -p "$korvant_wine_users"
  flock "$KORVANT_BUILD/.wine-users.lock" touch "$korvant_wine_users/$$"
  wineserver -p </dev/null >/dev/null 2>&1 || true
  KORVANT_WINESERVER=1
}

# Stops the server unless another live script still uses it (checked and
# done under a lock, so that none registers in between).
stop_wineserver_if_last() {
  rm -f "$korvant_wine_users/$$"
  flock "$KORVANT_BUILD/.wine-users.lock" bash -c '
    for user in "$1"/*; do
      [ -e "$user" ] || continue
      if kill -0 "$(basename "$user")" 2>/dev/null; then exit 0; fi
      rm -f "$user"
    done
    WINEPREFIX="$2" wineserver -k >/dev/null 2>&1 || true' _ "$korvant_wine_users" "$KORVANT_BUILD/wineprefix" \
    </dev/null >/dev/null 2>&1 || true
}

stop_services() {
  if [ -n "${KORVANT_WINESERVER:-}" ]; then
    stop_wineserver_if_last
  fi
  for pid in "${KORVANT_PIDS[@]}"; do
    kill "$pid" >/dev/null 2>&1 || true
  done
  KORVANT_PIDS=()
}
