#!/usr/bin/env bash
# Extraction throughput of unpack.exe (TZipArchive + ZipEng179.dll under
# Wine) against Info-ZIP unzip -P on the same encrypted archives:
#   bench.zip  40 text files of 2.2 MB, 40 random files of 1.5 MB and 800
#              small files in one folder (about 160 MB);
#   small.zip  its 800 small files alone;
#   large.zip  its 80 large files alone.
# bench.zip is also extracted by unpack.exe held to one core, where the
# engine takes one thread. Runs alternate, and so does which side goes
# first; prints MB/s and CPU seconds per run, the spread, and the ratio of
# the medians against the target (1.5 x unzip's throughput).
# Last, what bounds the small files under Wine: the time unpack.exe takes for
# an archive of one small entry (starting a Windows process, loading the
# engine), and what creating as many small files as small.zip holds costs
# by itself with the engine's calls (filefloor.exe), on one thread and on two.
# Usage: bench/zip/run.sh [RUNS]   (KORVANT_BUILD selects the build)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${KORVANT_BUILD:-$root/build}
runs=${1:-3}
password="mirabel "
work=$build/bench-zip
unpack=$build/bin/unpack.exe
[ -x "$unpack" ] || [ -f "$unpack" ] || { echo "build unpack.exe first (scripts/build)" >&2; exit 1; }

export KORVANT_BUILD=$build WINEPREFIX=$build/wineprefix
"$root/scripts/wine-run" --prepare
started_server=
if wineserver -p </dev/null >/dev/null 2>&1; then started_server=1; fi
cleanup() { [ -n "$started_server" ] && wineserver -k >/dev/null 2>&1 || true; }
trap cleanup EXIT
# Wine's services are brought up once here, so no run times their check.
"$root/scripts/wine-run" --services
export KORVANT_WINE_SERVICES=up

if [ ! -f "$work/bench.zip" ] || [ ! -f "$work/small.zip" ] || [ ! -f "$work/large.zip" ]; then
  echo "making the archives (once) ..." >&2
  rm -rf "$work" && mkdir -p "$work/src/text" "$work/src/bin" "$work/src/small"
  for i in $(seq 1 40); do seq $((i * 1000000)) $((i * 1000000 + 280000)) > "$work/src/text/numbers$i.txt"; done
  for i in $(seq 1 40); do head -c 1500000 /dev/urandom > "$work/src/bin/random$i.dat"; done
  for i in $(seq 1 800); do head -c $((RANDOM % 12000)) /dev/urandom | base64 > "$work/src/small/small$i.txt"; done
  (cd "$work/src" && zip -q -r -P "$password" ../bench.zip . && zip -q -r -P "$password" ../small.zip small \
    && zip -q -r -P "$password" ../large.zip text bin)
  rm -rf "$work/src"
fi

now() { date +%s.%N; }
# Seconds of CPU (user + system) the last timed command used, from time(1).
cpu() { awk '{ print $1 + $2 }' "$work/cpu"; }
# One extraction of $1 by unpack.exe (with "one" held to one core) into
# $work/ours: seconds in $secs, CPU in $cpus.
# The last run's files leave the page cache for the disk before a run is
# timed, not while it runs: each side starts from a quiet disk.
settle() { sync; }
ours_side() {
  rm -rf "$work/ours" && mkdir -p "$work/ours"
  ln "$work/$1" "$work/ours/$1"
  settle
  local pin=() t0 t1
  [ "${2:-}" = one ] && pin=(taskset -c 0)
  t0=$(now)
  /usr/bin/time -o "$work/cpu" -f '%U %S' "${pin[@]}" "$root/scripts/wine-run" "$unpack" "$work/ours/$1" \
    >"$work/ours.log" 2>&1 || { cat "$work/ours.log" >&2; echo "unpack.exe failed" >&2; exit 1; }
  t1=$(now)
  secs=$(awk -v x="$t0" -v y="$t1" 'BEGIN { print y - x }') cpus=$(cpu)
  rm "$work/ours/$1"
}
theirs_side() {
  rm -rf "$work/theirs" && mkdir -p "$work/theirs"
  settle
  local t0 t1
  t0=$(now)
  /usr/bin/time -o "$work/cpu" -f '%U %S' unzip -q -o -P "$password" "$work/$1" -d "$work/theirs"
  t1=$(now)
  secs=$(awk -v x="$t0" -v y="$t1" 'BEGIN { print y - x }') cpus=$(cpu)
}
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
spread() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "%.2f..%.2f s", v[1], v[NR] }'; }

# Side by side on one archive: unpack.exe and unzip, and with "one" also
# unpack.exe on one core; every run checks that both sides wrote the same.
bench() {
  local archive=$1 with_one=${2:-} size run
  size=$(unzip -Zt "$work/$archive" | awk '{print $3}')
  mbps() { awk -v b="$size" -v t="$1" 'BEGIN { printf "%.1f", b / t / 1e6 }'; }
  local ours=() theirs=() one=() ours_cpu=() theirs_cpu=() one_cpu=()
  echo "== $archive: $size bytes uncompressed, $(stat -c %s "$work/$archive") bytes compressed"
  for run in $(seq 1 "$runs"); do
    # Each side goes first in every other run: the page cache and the noise
    # of a shared machine favour neither.
    if [ $((run % 2)) -eq 1 ]; then
      ours_side "$archive"; ours+=("$secs") ours_cpu+=("$cpus")
      theirs_side "$archive"; theirs+=("$secs") theirs_cpu+=("$cpus")
    else
      theirs_side "$archive"; theirs+=("$secs") theirs_cpu+=("$cpus")
      ours_side "$archive"; ours+=("$secs") ours_cpu+=("$cpus")
    fi
    diff -r -q "$work/ours" "$work/theirs" && echo "   outputs identical" || { echo "outputs differ" >&2; exit 1; }
    printf 'run %d: unpack.exe %6.2f s %7s MB/s (CPU %5.2f s)   unzip %6.2f s %7s MB/s (CPU %5.2f s)\n' \
      "$run" "${ours[-1]}" "$(mbps "${ours[-1]}")" "${ours_cpu[-1]}" "${theirs[-1]}" "$(mbps "${theirs[-1]}")" \
      "${theirs_cpu[-1]}"
    if [ -n "$with_one" ]; then
      ours_side "$archive" one; one+=("$secs") one_cpu+=("$cpus")
      printf '       unpack.exe on one core %6.2f s %7s MB/s (CPU %5.2f s)\n' "$secs" "$(mbps "$secs")" "$cpus"
    fi
  done
  local mo mt ratio
  mo=$(median "${ours[@]}") mt=$(median "${theirs[@]}")
  ratio=$(awk -v a="$mo" -v b="$mt" 'BEGIN { printf "%.2f", b / a }')
  printf 'spread: unpack.exe %s, unzip %s\n' "$(spread "${ours[@]}")" "$(spread "${theirs[@]}")"
  printf 'CPU (median, user + system): unpack.exe %.2f s, unzip %.2f s\n' \
    "$(median "${ours_cpu[@]}")" "$(median "${theirs_cpu[@]}")"
  printf 'median: unpack.exe %s MB/s, unzip %s MB/s, throughput ratio %s (target >= 1.50: %s)\n' \
    "$(mbps "$mo")" "$(mbps "$mt")" "$ratio" "$(awk -v r="$ratio" 'BEGIN { print (r >= 1.50) ? "met" : "missed" }')"
  if [ -n "$with_one" ]; then
    local m1
    m1=$(median "${one[@]}")
    printf 'median, one thread: unpack.exe %s MB/s, ratio to unzip %s, all cores against one %.2f x\n' \
      "$(mbps "$m1")" "$(awk -v a="$m1" -v b="$mt" 'BEGIN { printf "%.2f", b / a }')" \
      "$(awk -v a="$mo" -v b="$m1" 'BEGIN { print b / a }')"
  fi
}

bench bench.zip one
bench small.zip
bench large.zip

# --- what bounds small.zip under Wine -------------------------------------------
if [ ! -f "$work/one.zip" ]; then
  mkdir -p "$work/src1" && echo "one small file" >"$work/src1/one.txt"
  (cd "$work/src1" && zip -q -P "$password" ../one.zip one.txt) && rm -rf "$work/src1"
fi
starts=()
for run in $(seq 1 "$runs"); do ours_side one.zip; starts+=("$secs"); done
small_files=$(unzip -Z1 "$work/small.zip" | grep -vc '/$')
small_bytes=$(unzip -Zt "$work/small.zip" | awk '{print $3}')
printf 'floor: unpack.exe on an archive of one small entry %.3f s (median; starting the process under Wine)\n' \
  "$(median "${starts[@]}")"
if cmake --build "$build" --target filefloor >/dev/null 2>&1; then
  for threads in 1 2; do
    rm -rf "$work/floor"
    settle
    printf 'floor: creating '
    "$root/scripts/wine-run" "$build/bin/filefloor.exe" "$(winepath -w "$work/floor" 2>/dev/null)" \
      "$small_files" "$threads" "$((small_bytes / small_files))" | tr -d '\r'
  done
  rm -rf "$work/floor"
fi
rm -rf "$work/ours" "$work/theirs"
