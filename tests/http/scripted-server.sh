#!/usr/bin/env bash
# CTest fixture around scripted_server.py.
#   scripted-server.sh start DIR   start it; its ports appear in DIR/ports
#   scripted-server.sh stop DIR    stop the one started there
set -euo pipefail
action=$1 dir=$2
here=$(cd "$(dirname "$0")" && pwd)
case $action in
start)
  mkdir -p "$dir"
  if [ -f "$dir/pid" ] && kill -0 "$(cat "$dir/pid")" 2>/dev/null; then
    kill "$(cat "$dir/pid")" 2>/dev/null || true
  fi
  rm -f "$dir/ports"
  # Detached, with its own output, so CTest does not wait on it.
  setsid python3 "$here/scripted_server.py" "$dir/ports" </dev/null >"$dir/server.log" 2>&1 &
  echo $! >"$dir/pid"
  for _ in $(seq 100); do
    [ -s "$dir/ports" ] && exit 0
    sleep 0.05
  done
  echo "scripted server did not start; see $dir/server.log" >&2
  exit 1
  ;;
stop)
  if [ -f "$dir/pid" ]; then
    kill "$(cat "$dir/pid")" 2>/dev/null || true
    rm -f "$dir/pid"
  fi
  ;;
esac
