#!/usr/bin/env bash
# The wizard's program installation step (fetch ZipEng179.dll, main.zip and
# upgrade.zip, unpack both archives into C:\KORVANT07\) against a shell script
# doing the same work with curl and Info-ZIP unzip, on a demo product whose
# main.zip holds a 200 MB payload, served by nginx on loopback without a rate
# limit. Runs alternate (and alternate which goes first); prints each time, the
# ratio of the medians and the target: the wizard within 1.1 x the script.
#   bench/install/run.sh [RUNS]          (default 3)
# KORVANT_BUILD names the build tree whose folder holds the benchmark's files;
# KORVANT_BENCH_PORT the server's port (8727), KORVANT_BENCH_MB the payload (200).
#
# The wizard's download URL is compiled in, so the benchmark has a build tree
# of its own (bench-install/build) whose URL names the benchmark's server: the
# demo server and the test peers on 8707 are left alone.
source "$(dirname "$0")/../../scripts/lib.sh"

runs=${1:-3}
port=${KORVANT_BENCH_PORT:-8727}
payload_mb=${KORVANT_BENCH_MB:-200}
password="mirabel "   # the wizard's archive password, blank included
url="http://127.0.0.1:$port/korvant07/"
[[ $runs =~ ^[1-9][0-9]*$ ]] || { log "usage: $0 [RUNS]"; exit 2; }

work="$KORVANT_BUILD/bench-install"
build="$work/build"
www="$work/www"
content="$www/korvant07"
server_dir="$work/server"
ours_dir="$build/wineprefix/drive_c/KORVANT07"
theirs_dir="$work/script/KORVANT07"

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
if port_in_use "$port"; then
  log "port $port is already in use; free it or choose another with KORVANT_BENCH_PORT"
  exit 1
fi

install_deps

# --- the benchmark's own build: Setup.exe with the benchmark server's URL ------
log "building Setup.exe for $url and the driver in $build"
mkdir -p "$work"
cmake -S "$KORVANT_ROOT" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DKORVANT_TESTS=OFF -DKORVANT_BENCH=ON \
  -DKORVANT_DOWNLOAD_URL="$url" >"$work/cmake.log" 2>&1 \
  || { log "configuring failed, see $work/cmake.log"; exit 1; }
cmake --build "$build" --target Setup ZipEng179 korvant07_demo install_driver >"$work/build.log" 2>&1 \
  || { tail -n 20 "$work/build.log" >&2; log "the build failed, see $work/build.log"; exit 1; }

# --- content: made once per payload size --------------------------------------
if [ ! -f "$content/main.zip" ] || [ "$(cat "$content/.payload-mb" 2>/dev/null)" != "$payload_mb" ]; then
  log "making the demo product with a $payload_mb MB payload (once)"
  rm -rf "$content"
  "$KORVANT_ROOT/demo/make-content.sh" "$content" "$build/demo/KORVANT07.EXE" "$build/bin/ZipEng179.dll" "$payload_mb"
  echo "$payload_mb" >"$content/.payload-mb"
fi
# The engine the wizard loads is the one just built.
cp "$build/bin/ZipEng179.dll" "$content/ZipEng179.dll"

# --- server, display, Wine ----------------------------------------------------
trap stop_services EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

mkdir -p "$server_dir"
sed -e "s|@DIR@|$server_dir|g" -e "s|@WWW@|$www|g" -e "s|@PORT@|$port|g" -e "s|@RATE@|0|g" \
  -e "s|@TLS@||g" -e "s|@TLS_CERTIFICATE@||g" "$KORVANT_ROOT/demo/nginx-demo.conf.in" >"$server_dir/nginx.conf"
: >"$server_dir/access.log"
nginx -c "$server_dir/nginx.conf" -p "$server_dir" </dev/null >/dev/null 2>&1 &
KORVANT_PIDS+=($!)
for _ in $(seq 100); do port_in_use "$port" && break; sleep 0.1; done
port_in_use "$port" || { log "nginx did not start on port $port, see $server_dir/error.log"; exit 1; }

start_xvfb
# From here on Wine uses the benchmark build's own prefix.
export KORVANT_BUILD="$build"
start_wineserver

# --- the two contenders -------------------------------------------------------
now() { date +%s.%N; }

# Prints the step's seconds as the driver measured them (click to data page).
run_wizard() {
  rm -rf "$ours_dir"
  local out
  out=$(KORVANT_BINARY_DIR="$build" "$KORVANT_ROOT/scripts/wine-run" "$build/bin/install_driver.exe" </dev/null) \
    || { log "the wizard's step failed"; exit 1; }
  printf '%s\n' "$out" | tr -d '\r' | tail -n 1
}

# The same work on the Linux side, in the same order; prints its seconds.
run_script() {
  rm -rf "$theirs_dir" && mkdir -p "$theirs_dir"
  local t0 t1 d=$theirs_dir
  t0=$(now)
  curl -sSf -o "$d/ZipEng179.dll" "${url}ZipEng179.dll"
  curl -sSf -o "$d/main.zip" "${url}main.zip"
  unzip -q -o -P "$password" "$d/main.zip" -d "$d" && rm "$d/main.zip"
  curl -sSf -o "$d/upgrade.zip" "${url}upgrade.zip"
  unzip -q -o -P "$password" "$d/upgrade.zip" -d "$d" && rm "$d/upgrade.zip"
  t1=$(now)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f\n", b - a }'
}

# Wine's own services start with the first program; not inside run 1.
log "warming up Wine"
"$KORVANT_ROOT/scripts/wine-run" cmd /c exit </dev/null >/dev/null 2>&1 || true

download_bytes=$(cat "$content/ZipEng179.dll" "$content/main.zip" "$content/upgrade.zip" | wc -c)
mbps() { awk -v b="$download_bytes" -v t="$1" 'BEGIN { printf "%.1f", b / t / 1e6 }'; }
ours=() theirs=()
for run in $(seq 1 "$runs"); do
  if [ $((run % 2)) -eq 1 ]; then
    a=$(run_wizard); b=$(run_script)
  else
    b=$(run_script); a=$(run_wizard)
  fi
  ours+=("$a") theirs+=("$b")
  printf 'run %d: wizard %7.2f s (%s MB/s)   curl+unzip %7.2f s (%s MB/s)\n' \
    "$run" "$a" "$(mbps "$a")" "$b" "$(mbps "$b")"
done

# Both must have installed the same files.
if ! diff -r -q "$ours_dir" "$theirs_dir" >&2; then
  log "the wizard and the script installed different files"
  exit 1
fi

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
mo=$(median "${ours[@]}") mt=$(median "${theirs[@]}")
ratio=$(awk -v a="$mo" -v b="$mt" 'BEGIN { printf "%.2f", a / b }')
verdict=$(awk -v r="$ratio" 'BEGIN { print (r <= 1.10) ? "met" : "missed" }')
printf 'download: %s bytes (main.zip holds a %s MB payload), installed: %s bytes\n' \
  "$download_bytes" "$payload_mb" "$(du -sb "$ours_dir" | cut -f1)"
# Where the time goes: the server's own time for the three downloads of each
# run, by client; the rest of a run is unpacking (and, for the wizard, the page).
download_median() {
  awk -v agent="$1" '
    index($0, agent) && /korvant07\/(ZipEng179\.dll|main\.zip|upgrade\.zip) HTTP/ &&
    match($0, /" 200 [0-9]+ [0-9.]+ "/) {
      split(substr($0, RSTART, RLENGTH), field, " ")
      sum += field[4]
      if ($0 ~ /upgrade\.zip/) { print sum; sum = 0 }
    }' "$server_dir/access.log" | sort -g | awk '{ v[NR] = $1 } END { printf "%.2f", v[int((NR + 1) / 2)] }'
}
printf 'median: wizard %.2f s, curl+unzip %.2f s, ratio %s (target <= 1.10: %s)\n' "$mo" "$mt" "$ratio" "$verdict"
printf 'of which downloading (nginx request time, median): wizard %s s, curl %s s\n' \
  "$(download_median 'Korvant Setup')" "$(download_median 'curl/')"
rm -rf "$theirs_dir"
