#!/usr/bin/env bash
# Extraction throughput of unpack.exe (TZipArchive + ZipEng179.dll under
# Wine) against Info-ZIP unzip on the same encrypted archive of about 300 MB
# of mixed content. Runs alternate, and so does which side goes first; prints
# MB/s and CPU seconds per run, the spread, and the ratio of the medians
# against the target (1.2 x unzip's throughput).
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

if [ ! -f "$work/bench.zip" ]; then
  echo "making the archive (once) ..." >&2
  rm -rf "$work" && mkdir -p "$work/src/text" "$work/src/bin" "$work/src/mixed"
  for i in $(seq 1 40); do seq $((i * 100000)) $((i * 100000 + 500000)) > "$work/src/text/numbers$i.txt"; done
  for i in $(seq 1 6); do head -c 25000000 /dev/urandom > "$work/src/bin/random$i.dat"; done
  for i in $(seq 1 4); do head -c 10000000 /dev/zero > "$work/src/mixed/zeros$i.dat"; done
  for i in $(seq 1 2000); do head -c $((RANDOM * 3)) /dev/urandom | base64 > "$work/src/mixed/small$i.txt"; done
  (cd "$work/src" && zip -q -r -P "$password" ../bench.zip .)
  rm -rf "$work/src"
fi
size=$(unzip -Zt "$work/bench.zip" | awk '{print $3}')

now() { date +%s.%N; }
mbps() { awk -v b="$size" -v t="$1" 'BEGIN { printf "%.1f", b / t / 1e6 }'; }
# Seconds of CPU (user + system) the last timed command used, from time(1).
cpu() { awk '{ print $1 + $2 }' "$work/cpu"; }
ours_side() {
  rm -rf "$work/ours" && mkdir -p "$work/ours"
  ln "$work/bench.zip" "$work/ours/bench.zip"
  local t0 t1
  t0=$(now)
  /usr/bin/time -o "$work/cpu" -f '%U %S' "$root/scripts/wine-run" "$unpack" "$work/ours/bench.zip" >/dev/null 2>&1 \
    || { echo "unpack.exe failed" >&2; exit 1; }
  t1=$(now)
  a=$(awk -v x="$t0" -v y="$t1" 'BEGIN { print y - x }') ac=$(cpu)
}
theirs_side() {
  rm -rf "$work/theirs" && mkdir -p "$work/theirs"
  local t0 t1
  t0=$(now)
  /usr/bin/time -o "$work/cpu" -f '%U %S' unzip -q -o -P "$password" "$work/bench.zip" -d "$work/theirs"
  t1=$(now)
  b=$(awk -v x="$t0" -v y="$t1" 'BEGIN { print y - x }') bc=$(cpu)
}
ours=() theirs=() ours_cpu=() theirs_cpu=()
for run in $(seq 1 "$runs"); do
  # Each side goes first in every other run: the page cache and the noise
  # of a shared machine favour neither.
  if [ $((run % 2)) -eq 1 ]; then ours_side; theirs_side; else theirs_side; ours_side; fi
  ours+=("$a") theirs+=("$b") ours_cpu+=("$ac") theirs_cpu+=("$bc")
  printf 'run %d: unpack.exe %6.2f s %7s MB/s (CPU %5.2f s)   unzip %6.2f s %7s MB/s (CPU %5.2f s)\n' \
    "$run" "$a" "$(mbps "$a")" "$ac" "$b" "$(mbps "$b")" "$bc"
done
diff -r -q "$work/ours" "$work/theirs" | grep -v 'Only in .*ours: bench.zip' && { echo "outputs differ" >&2; exit 1; } || true
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
spread() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "%.2f..%.2f s", v[1], v[NR] }'; }
mo=$(median "${ours[@]}") mt=$(median "${theirs[@]}")
ratio=$(awk -v a="$mo" -v b="$mt" 'BEGIN { printf "%.2f", b / a }')
printf 'archive: %s bytes uncompressed, %s bytes compressed\n' "$size" "$(stat -c %s "$work/bench.zip")"
printf 'spread: unpack.exe %s, unzip %s\n' "$(spread "${ours[@]}")" "$(spread "${theirs[@]}")"
# CPU above the wall time is the reading thread decrypting ahead.
printf 'CPU (median, user + system): unpack.exe %.2f s, unzip %.2f s\n' \
  "$(median "${ours_cpu[@]}")" "$(median "${theirs_cpu[@]}")"
printf 'median: unpack.exe %s MB/s, unzip %s MB/s, throughput ratio %s (target >= 1.20: %s)\n' \
  "$(mbps "$mo")" "$(mbps "$mt")" "$ratio" "$(awk -v r="$ratio" 'BEGIN { print (r >= 1.20) ? "met" : "missed" }')"
rm -rf "$work/ours" "$work/theirs"
