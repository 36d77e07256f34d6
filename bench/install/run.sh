#!/usr/bin/env bash
# The wizard's program installation step (fetch ZipEng179.dll, main.zip and
# upgrade.zip, unpack both archives into C:\KORVANT07\; upgrade.zip arrives
# while main.zip is unpacked) against a shell script doing the same work with
# curl and Info-ZIP unzip one after the other, on a demo product whose main.zip
# holds a 200 MB payload and upgrade.zip a 100 MB one, served by nginx on
# loopback. Two rounds:
#   - without a rate limit: the wizard against the script (target: the wizard
#     in at most 0.8 x the script's time);
#   - with nginx's limit_rate at 100 Mbit/s per download: the wizard against
#     the time the bytes take to arrive at that rate (target: at most 1.1 x).
# Runs alternate (and alternate which goes first); prints each time, the ratio
# of the medians against the target, the spread, and where the time goes:
# downloading (nginx's request times, overlapping ones counted once) and the
# rest, while nothing downloads.
#   bench/install/run.sh [RUNS]          (default 3)
# KORVANT_BUILD names the build tree whose folder holds the benchmark's files;
# KORVANT_BENCH_PORT the server's port (8727), KORVANT_BENCH_MB main.zip's
# payload (200), KORVANT_BENCH_UPGRADE_MB upgrade.zip's (100; 0 for the demo's
# two small files), KORVANT_BENCH_LIMITED=0 skips the rate-limited round.
#
# The wizard's download URL is compiled in, so the benchmark has a build tree
# of its own (bench-install/build) whose URL names the benchmark's server: the
# demo server and the test peers on 8707 are left alone.
source "$(dirname "$0")/../../scripts/lib.sh"

runs=${1:-3}
port=${KORVANT_BENCH_PORT:-8727}
payload_mb=${KORVANT_BENCH_MB:-200}
upgrade_mb=${KORVANT_BENCH_UPGRADE_MB:-100}
limited=${KORVANT_BENCH_LIMITED:-1}
limit_bytes=12500000   # 100 Mbit/s
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
if [ ! -f "$content/main.zip" ] || [ "$(cat "$content/.payload-mb" 2>/dev/null)" != "$payload_mb $upgrade_mb" ]; then
  log "making the demo product with payloads of $payload_mb MB and $upgrade_mb MB (once)"
  rm -rf "$content"
  "$KORVANT_ROOT/demo/make-content.sh" "$content" "$build/demo/KORVANT07.EXE" "$build/bin/ZipEng179.dll" "$payload_mb"
  if [ "$upgrade_mb" -gt 0 ]; then
    # An upgrade as large as a release's: the demo's two files and a payload
    # of its own (other bytes than main.zip's).
    up=$(mktemp -d)
    (cd "$up" && unzip -q -P "$password" "$content/upgrade.zip" && mkdir -p UPGRADE &&
      head -c "$((upgrade_mb * 1024 * 1024))" /dev/zero |
      openssl enc -aes-128-ctr -nosalt -K 555047524144452030372062656e6368 -iv 00000000000000000000000000000000 |
      head -c "$((upgrade_mb * 1024 * 1024))" >UPGRADE/UPGRADE.DAT &&
      rm -f "$content/upgrade.zip" && zip -q -r -X -P "$password" "$content/upgrade.zip" .)
    rm -rf "$up"
  fi
  echo "$payload_mb $upgrade_mb" >"$content/.payload-mb"
fi
# The engine the wizard loads is the one just built. The wizard carries the
# demo key's public half, so it checks every download against the signed
# component list: sign the content again as the demo build does.
cp "$build/bin/ZipEng179.dll" "$content/ZipEng179.dll"
# The list's edition: the lowest the benchmark's wizard accepts.
serial=$(sed -n 's/^KORVANT_MANIFEST_MIN_SERIAL:[A-Z]*=//p' "$build/CMakeCache.txt")
(cd "$content" && echo "serial ${serial:-0}" && for f in ZipEng179.dll main.zip upgrade.zip globalbenl.zip globalnl.zip globalbefr.zip upgrade.txt; do
   [ -f "$f" ] && printf '%s %s %s\n' "$(sha256sum "$f" | cut -d' ' -f1)" "$(stat -c %s "$f")" "$f"
 done) >"$content/manifest.txt"
openssl dgst -sha256 -sign "$KORVANT_ROOT/demo/keys/manifest-demo.key.pem" -out "$content/manifest.sig" "$content/manifest.txt"

# --- server, display, Wine ----------------------------------------------------
trap stop_services EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

mkdir -p "$server_dir"
: >"$server_dir/access.log"
nginx_pid=
# Starts nginx with a rate limit per download in bytes a second (0: none).
start_nginx() {
  if [ -n "$nginx_pid" ]; then
    kill "$nginx_pid" 2>/dev/null; wait "$nginx_pid" 2>/dev/null
    for _ in $(seq 100); do port_in_use "$port" || break; sleep 0.1; done
  fi
  sed -e "s|@DIR@|$server_dir|g" -e "s|@WWW@|$www|g" -e "s|@PORT@|$port|g" -e "s|@RATE@|$1|g" \
    -e "s|@TLS@||g" -e "s|@TLS_CERTIFICATE@||g" "$KORVANT_ROOT/demo/nginx-demo.conf.in" >"$server_dir/nginx.conf"
  nginx -c "$server_dir/nginx.conf" -p "$server_dir" </dev/null >/dev/null 2>&1 &
  nginx_pid=$!
  KORVANT_PIDS+=($!)
  for _ in $(seq 100); do port_in_use "$port" && break; sleep 0.1; done
  port_in_use "$port" || { log "nginx did not start on port $port, see $server_dir/error.log"; exit 1; }
}
start_nginx 0

start_xvfb
# From here on Wine uses the benchmark build's own prefix.
export KORVANT_BUILD="$build"
start_wineserver

# --- the two contenders -------------------------------------------------------
now() { date +%s.%N; }

# The wizard's step as the driver measured it (click to data page); sets a,
# and from the server's log a_dl, the time anything was downloading (each
# request from its start to its end, overlapping ones counted once), and
# a_unz, the rest: unpacking while nothing downloads, and the checks.
run_wizard() {
  rm -rf "$ours_dir"
  local out from
  from=$(wc -l <"$server_dir/access.log")
  out=$(KORVANT_BINARY_DIR="$build" "$KORVANT_ROOT/scripts/wine-run" "$build/bin/install_driver.exe" </dev/null) \
    || { log "the wizard's step failed"; exit 1; }
  a=$(printf '%s\n' "$out" | tr -d '\r' | tail -n 1)
  a_dl=$(tail -n +$((from + 1)) "$server_dir/access.log" | awk '
    index($0, "Korvant Setup") && match($0, /" 200 [0-9]+ [0-9.]+ "/) {
      split(substr($0, RSTART, RLENGTH), field, " ")
      printf "%.3f %.3f\n", $NF - field[4], $NF
    }' | sort -g | awk '
    { if (NR == 1 || $1 > end) { total += end - start; start = $1; end = $2 } else if ($2 > end) end = $2 }
    END { printf "%.3f\n", total + end - start }')
  a_unz=$(awk -v t="$a" -v d="$a_dl" 'BEGIN { printf "%.3f", t - d }')
}

# The same work on the Linux side, in the same order; sets b, b_dl, b_unz.
run_script() {
  rm -rf "$theirs_dir" && mkdir -p "$theirs_dir"
  local t0 t1 t2 t3 t4 t5 d=$theirs_dir
  t0=$(now)
  curl -sSf -o "$d/ZipEng179.dll" "${url}ZipEng179.dll"
  curl -sSf -o "$d/main.zip" "${url}main.zip"
  t1=$(now)
  unzip -q -o -P "$password" "$d/main.zip" -d "$d" && rm "$d/main.zip"
  t2=$(now)
  curl -sSf -o "$d/upgrade.zip" "${url}upgrade.zip"
  t3=$(now)
  unzip -q -o -P "$password" "$d/upgrade.zip" -d "$d" && rm "$d/upgrade.zip"
  t4=$(now)
  read -r b b_dl b_unz < <(awk -v t0="$t0" -v t1="$t1" -v t2="$t2" -v t3="$t3" -v t4="$t4" \
    'BEGIN { printf "%.3f %.3f %.3f\n", t4 - t0, (t1 - t0) + (t3 - t2), (t2 - t1) + (t4 - t3) }')
}

# Wine's own services start with the first program; not inside run 1.
log "warming up Wine"
"$KORVANT_ROOT/scripts/wine-run" cmd /c exit </dev/null >/dev/null 2>&1 || true

download_bytes=$(cat "$content/ZipEng179.dll" "$content/main.zip" "$content/upgrade.zip" | wc -c)
mbps() { awk -v b="$download_bytes" -v t="$1" 'BEGIN { printf "%.1f", b / t / 1e6 }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
spread() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "%.2f..%.2f s", v[1], v[NR] }'; }
split() { # total download rest
  awk -v t="$1" -v d="$2" -v u="$3" 'BEGIN { printf "downloading %.2f s, the rest (unpacking while nothing downloads, checks) %.2f s", d, u }'
}
printf 'download: %s bytes (main.zip holds a %s MB payload, upgrade.zip a %s MB one)\n' \
  "$download_bytes" "$payload_mb" "$upgrade_mb"

# --- round 1: no rate limit, the wizard against curl + unzip -------------------
ours=() theirs=() ours_dl=() ours_unz=() theirs_dl=() theirs_unz=()
for run in $(seq 1 "$runs"); do
  if [ $((run % 2)) -eq 1 ]; then
    run_wizard; run_script
  else
    run_script; run_wizard
  fi
  ours+=("$a") theirs+=("$b") ours_dl+=("$a_dl") ours_unz+=("$a_unz") theirs_dl+=("$b_dl") theirs_unz+=("$b_unz")
  printf 'run %d: wizard %7.2f s (%s MB/s; downloading %.2f, rest %.2f)   curl+unzip %7.2f s (%s MB/s; download %.2f, unpack %.2f)\n' \
    "$run" "$a" "$(mbps "$a")" "$a_dl" "$a_unz" "$b" "$(mbps "$b")" "$b_dl" "$b_unz"
done

# Both must have installed the same files (the wizard's list of them aside).
if ! diff -r -q -x UNINSTALL.LST "$ours_dir" "$theirs_dir" >&2; then
  log "the wizard and the script installed different files"
  exit 1
fi

mo=$(median "${ours[@]}") mt=$(median "${theirs[@]}")
ratio=$(awk -v a="$mo" -v b="$mt" 'BEGIN { printf "%.2f", a / b }')
verdict=$(awk -v r="$ratio" 'BEGIN { print (r <= 0.80) ? "met" : "missed" }')
printf 'installed: %s bytes\n' "$(du -sb "$ours_dir" | cut -f1)"
printf 'spread: wizard %s, curl+unzip %s\n' "$(spread "${ours[@]}")" "$(spread "${theirs[@]}")"
printf 'median: wizard %.2f s, curl+unzip %.2f s, ratio %s (target <= 0.80: %s)\n' "$mo" "$mt" "$ratio" "$verdict"
printf 'split, wizard:     %s\n' "$(split "$mo" "$(median "${ours_dl[@]}")" "$(median "${ours_unz[@]}")")"
printf 'split, curl+unzip: downloading %.2f s, unpacking %.2f s\n' "$(median "${theirs_dl[@]}")" "$(median "${theirs_unz[@]}")"
rm -rf "$theirs_dir"

# --- round 2: 100 Mbit/s, the wizard against the bytes' own time ---------------
[ "$limited" = 0 ] && exit 0
start_nginx "$limit_bytes"
arrive=$(awk -v b="$download_bytes" -v r="$limit_bytes" 'BEGIN { printf "%.2f", b / r }')
ours=() ours_dl=() ours_unz=()
for run in $(seq 1 "$runs"); do
  run_wizard
  ours+=("$a") ours_dl+=("$a_dl") ours_unz+=("$a_unz")
  printf 'limited run %d: wizard %7.2f s (downloading %.2f, rest %.2f)\n' "$run" "$a" "$a_dl" "$a_unz"
done
mo=$(median "${ours[@]}")
ratio=$(awk -v a="$mo" -v b="$arrive" 'BEGIN { printf "%.2f", a / b }')
verdict=$(awk -v r="$ratio" 'BEGIN { print (r <= 1.10) ? "met" : "missed" }')
printf 'limited to 100 Mbit/s: the bytes take %s s to arrive; spread: wizard %s\n' "$arrive" "$(spread "${ours[@]}")"
printf 'limited median: wizard %.2f s, ratio %s to the bytes'"'"' time (target <= 1.10: %s)\n' "$mo" "$ratio" "$verdict"
printf 'limited split, wizard: %s\n' "$(split "$mo" "$(median "${ours_dl[@]}")" "$(median "${ours_unz[@]}")")"
