#!/usr/bin/env bash
# Starts or stops the fault-injecting proxy beside the end-to-end tests.
#   faultproxy.sh start|stop BUILD_DIR PORT
set -euo pipefail
action=$1 build=$2 port=$3
dir=$build/e2e
pidfile=$dir/faultproxy.pid
mkdir -p "$dir"

# The proxy this build started on this port, if it still runs: after a crash
# or a reboot the pid in the file may name another program by now.
running_proxy() {
  local pid
  pid=$(cat "$pidfile" 2>/dev/null) || return 1
  [[ $pid =~ ^[0-9]+$ ]] || return 1
  tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q "faultproxy\.py $port " || return 1
  echo "$pid"
}

case $action in
start)
  # A proxy this build started before (a fixture run again) goes first: a
  # second one could not take the port, and stop would end only the second.
  if old=$(running_proxy); then
    kill "$old" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$old" 2>/dev/null || break; sleep 0.1; done
  fi
  rm -f "$pidfile"
  : > "$dir/faultproxy.control"
  # Broken downloads for the failure scenarios.
  rm -f "$dir/wrong-password.zip"
  (cd "$build/demo" && zip -q -P "not the password" "$dir/wrong-password.zip" KORVANT07.EXE)
  printf 'This is not an unzip engine.\r\n' > "$dir/not-a-dll.dll"
  # Component lists that must not be trusted: signed by another key, empty,
  # cut short; and one signed with the demo key that leaves a file out.
  list=$build/www/korvant07/manifest.txt
  if [ -f "$list" ]; then
    demo_key=$(dirname "$0")/../../demo/keys/manifest-demo.key.pem
    openssl ecparam -name prime256v1 -genkey -noout -out "$dir/other.key.pem" 2>/dev/null
    openssl dgst -sha256 -sign "$dir/other.key.pem" -out "$dir/other-key.sig" "$list"
    : > "$dir/empty-manifest.txt"
    head -c "$(( $(stat -c %s "$list") / 2 ))" "$list" > "$dir/truncated-manifest.txt"
    # Older editions of the list, genuinely signed: below the wizard's
    # minimum, without a serial; and one whose serial was raised by hand.
    sed '1s/^serial .*/serial 2/' "$list" > "$dir/serial-below.txt"
    openssl dgst -sha256 -sign "$demo_key" -out "$dir/serial-below.sig" "$dir/serial-below.txt"
    sed '1{/^serial /d}' "$list" > "$dir/serial-none.txt"
    openssl dgst -sha256 -sign "$demo_key" -out "$dir/serial-none.sig" "$dir/serial-none.txt"
    sed '1s/^serial .*/serial 999/' "$list" > "$dir/serial-edited.txt"
    grep -v ' upgrade.zip$' "$list" > "$dir/without-upgrade.txt"
    openssl dgst -sha256 -sign "$demo_key" -out "$dir/without-upgrade.sig" "$dir/without-upgrade.txt"
    # A program archive of many small files, listed and signed in place of
    # main.zip: its extraction lasts long enough to be cancelled halfway.
    many=$dir/many-files
    rm -rf "$many" "$dir/many-files.zip"
    mkdir -p "$many/MANY"
    for i in $(seq -w 0 2999); do printf 'file %s\r\n' "$i" > "$many/MANY/$i.TXT"; done
    (cd "$many" && zip -q -r -P 'mirabel ' "$dir/many-files.zip" MANY)
    rm -rf "$many"
    "$(dirname "$0")/../../demo/list-in-place.sh" "$list" main.zip "$dir/many-files.zip" "$dir/many-files"
  fi
  python3 "$(dirname "$0")/faultproxy.py" "$port" "$build/www" "$dir/faultproxy.control" \
    </dev/null >"$dir/faultproxy.log" 2>&1 &
  echo $! > "$pidfile"
  for _ in $(seq 50); do
    (echo > "/dev/tcp/127.0.0.1/$port") 2>/dev/null && exit 0
    sleep 0.1
  done
  echo "fault proxy did not start" >&2
  exit 1
  ;;
stop)
  if old=$(running_proxy); then kill "$old" 2>/dev/null || true; fi
  rm -f "$pidfile"
  ;;
esac
