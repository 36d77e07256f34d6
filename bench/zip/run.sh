#!/usr/bin/env bash
# Extraction throughput of unpack.exe (TZipArchive + ZipEng179.dll under
# Wine) against Info-ZIP unzip on the same encrypted archive of about 300 MB
# of mixed content. Runs alternate; prints MB/s per run and the ratio of the
# medians. Usage: bench/zip/run.sh [RUNS]   (KORVANT_BUILD selects the build)
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
ours=() theirs=()
for run in $(seq 1 "$runs"); do
  rm -rf "$work/ours" "$work/theirs" && mkdir -p "$work/ours" "$work/theirs"
  ln "$work/bench.zip" "$work/ours/bench.zip"
  t0=$(now)
  "$root/scripts/wine-run" "$unpack" "$work/ours/bench.zip" >/dev/null 2>&1 || { echo "unpack.exe failed" >&2; exit 1; }
  t1=$(now)
  unzip -q -o -P "$password" "$work/bench.zip" -d "$work/theirs"
  t2=$(now)
  a=$(awk -v x="$t0" -v y="$t1" 'BEGIN { print y - x }')
  b=$(awk -v x="$t1" -v y="$t2" 'BEGIN { print y - x }')
  ours+=("$a") theirs+=("$b")
  printf 'run %d: unpack.exe %6.2f s %7s MB/s   unzip %6.2f s %7s MB/s\n' "$run" "$a" "$(mbps "$a")" "$b" "$(mbps "$b")"
done
diff -r -q "$work/ours" "$work/theirs" | grep -v 'Only in .*ours: bench.zip' && { echo "outputs differ" >&2; exit 1; } || true
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
mo=$(median "${ours[@]}") mt=$(median "${theirs[@]}")
printf 'archive: %s bytes uncompressed, %s bytes compressed\n' "$size" "$(stat -c %s "$work/bench.zip")"
printf 'median: unpack.exe %s MB/s, unzip %s MB/s, ratio %.2f (target >= 0.90)\n' \
  "$(mbps "$mo")" "$(mbps "$mt")" "$(awk -v a="$mo" -v b="$mt" 'BEGIN { print b / a }')"
rm -rf "$work/ours" "$work/theirs"
