#!/usr/bin/env bash
# Download benchmark: the 1 GiB test file from nginx on loopback, fetched by
#   fetch.exe    the HTTP client under Wine, with the wizard's settings
#   minclient    a bare Winsock client under Wine: select, then 32 KiB recv
#                calls straight into a file, with Wine's default receive queue
#                (what a plain client pays there, for scale)
#   curl -o      native Linux, for scale
# in rounds whose order rotates, then the same file over TLS from nginx on 8743
# by fetch.exe and by curl (each with the newest protocol its TLS offers: Wine's
# SChannel stops at TLS 1.2, curl takes 1.3), alternating. Prints each time, the
# medians with their spread, the ratios against the targets (fetch.exe in at
# most curl's time, peak memory at most 32 MiB for the 1 GiB), and a split of
# fetch.exe's time into starting a Wine process and the transfer.
#   bench/http/run.sh [ROUNDS]     (default 3)
source "$(dirname "$0")/../../scripts/lib.sh"
rounds=${1:-3}
bench="$KORVANT_BUILD/bench"
mkdir -p "$bench"
# The downloads land in memory where there is room for them: the disk's
# write-back of the gigabyte before would otherwise time the disk, not the
# clients, and spread the figures.
scratch=/dev/shm
[ -d "$scratch" ] && [ "$(df -Pk "$scratch" | awk 'NR == 2 { print $4 }')" -gt $((3 << 20)) ] || scratch="$bench"
out=$(mktemp -p "$scratch" korvant-bench.XXXXXX)
fetch="$KORVANT_BUILD/bin/fetch.exe"
[ -x "$fetch" ] || { log "build first: $fetch is missing"; exit 1; }

trap 'stop_services; rm -f "$out"' EXIT
if ! curl -sf -o /dev/null http://127.0.0.1:8707/files/f0.bin; then
  start_wineserver
  source "$KORVANT_ROOT/tests/peers/start-peers.sh"
fi
file=/files/f1g.bin
reference="$KORVANT_BUILD/www$file"
size=$(stat -c %s "$reference")

minclient="$bench/minclient.exe"
x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -static -I "$KORVANT_ROOT" -o "$minclient" "$KORVANT_ROOT/bench/http/minclient.cpp" -lws2_32
run() { "$KORVANT_ROOT/scripts/wine-run" "$@"; }
# Wine's services are brought up once here; each run then times the program
# and the start of its Wine process, not the harness's check of the services.
"$KORVANT_ROOT/scripts/wine-run" --services
export KORVANT_WINE_SERVICES=up
# Warm Wine and the page cache so the first round is not the odd one out.
run "$minclient" 127.0.0.1 8707 /files/f10485760.bin "$out"
curl -s -o "$out" "http://127.0.0.1:8707$file"

# Arithmetic on decimals without bc.
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
declare -A times peak
measure() { # name, command...
  local name=$1
  shift
  local t0 t1 kb
  t0=$(date +%s.%N)
  /usr/bin/time -o "$bench/peak" -f %M "$@" >/dev/null 2>&1
  kb=$(tail -1 "$bench/peak")
  t1=$(date +%s.%N)
  cmp -s "$out" "$reference" || { log "$name: download differs"; exit 1; }
  rm -f "$out"
  local secs
  secs=$(calc "$t1 - $t0")
  printf '  %-10s %7.2f s  %6.0f MiB/s  peak %6d KiB\n' "$name" "$secs" "$(calc "$size / 1048576 / $secs")" "$kb"
  times[$name]="${times[$name]:-} $secs"
  [ "${peak[$name]:-0}" -ge "$kb" ] || peak[$name]=$kb
}

echo "1 GiB ($size bytes) from nginx on 127.0.0.1, $rounds rounds"
for r in $(seq "$rounds"); do
  echo "round $r"
  # Who goes first rotates from round to round.
  for k in 0 1 2; do
    case $(((r + k) % 3)) in
    1) measure fetch.exe "$KORVANT_ROOT/scripts/wine-run" "$fetch" "http://127.0.0.1:8707$file" "$out" ;;
    2) measure minclient "$KORVANT_ROOT/scripts/wine-run" "$minclient" 127.0.0.1 8707 "$file" "$out" ;;
    0) measure curl curl -s -o "$out" "http://127.0.0.1:8707$file" ;;
    esac
  done
done

for r in $(seq "$rounds"); do
  echo "round $r over TLS"
  # Who goes first alternates.
  for k in 0 1; do
    case $(((r + k) % 2)) in
    1) measure fetch-tls "$KORVANT_ROOT/scripts/wine-run" "$fetch" "https://localhost:8743$file" "$out" ;;
    0) measure curl-tls curl -s --cacert "$KORVANT_BUILD/peers/certs/ca.pem" -o "$out" "https://localhost:8743$file" ;;
    esac
  done
  # A Wine process that does nothing: what every fetch.exe run pays first.
  t0=$(date +%s.%N)
  "$KORVANT_ROOT/scripts/wine-run" "$fetch" >/dev/null 2>&1 || true
  t1=$(date +%s.%N)
  times[start]="${times[start]:-} $(calc "$t1 - $t0")"
done

median() { printf '%s\n' ${times[$1]} | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
spread() { printf '%s\n' ${times[$1]} | sort -g | awk '{ v[NR] = $1 } END { printf "%.2f..%.2f s", v[1], v[NR] }'; }
f=$(median fetch.exe) m=$(median minclient) c=$(median curl)
echo "medians (spread)"
printf '  fetch.exe %.2f s (%s), minclient %.2f s (%s), curl %.2f s (%s)\n' \
  "$f" "$(spread fetch.exe)" "$m" "$(spread minclient)" "$c" "$(spread curl)"
printf '  fetch.exe / minclient = %.3f\n' "$(calc "$f / $m")"
printf '  minclient / curl      = %.2f\n' "$(calc "$m / $c")"
verdict() { awk -v r="$1" -v t="$2" 'BEGIN { print (r <= t) ? "met" : "missed" }'; }
r=$(calc "$f / $c")
printf '  fetch.exe / curl      = %.2f   (target <= 1.0: %s)\n' "$r" "$(verdict "$r" 1.0)"
st=$(median start)
printf '  split of fetch.exe: starting Wine %.2f s (%s), the transfer %.2f s\n' "$st" "$(spread start)" "$(calc "$f - $st")"
ft=$(median fetch-tls) ct=$(median curl-tls)
echo "medians over TLS (spread)"
printf '  fetch.exe %.2f s (%s), curl %.2f s (%s)\n' "$ft" "$(spread fetch-tls)" "$ct" "$(spread curl-tls)"
printf '  fetch.exe / curl over TLS = %.2f\n' "$(calc "$ft / $ct")"

# Peak memory must not grow with the body: compare with a 10 MiB download.
/usr/bin/time -o "$bench/peak" -f %M "$KORVANT_ROOT/scripts/wine-run" "$fetch" \
  http://127.0.0.1:8707/files/f10485760.bin "$out" >/dev/null 2>&1
small=$(tail -1 "$bench/peak")
rm -f "$out"
echo "peak memory (max resident set of the Wine process)"
printf '  fetch.exe %d KiB for 1 GiB, %d KiB for 10 MiB; minclient %d KiB; curl %d KiB\n' \
  "${peak[fetch.exe]}" "$small" "${peak[minclient]}" "${peak[curl]}"
printf '  fetch.exe for 1 GiB (target <= 32768 KiB: %s)\n' "$([ "${peak[fetch.exe]}" -le 32768 ] && echo met || echo missed)"
