#!/usr/bin/env bash
# No planted DLL is loaded. Statically, every Windows binary imports only
# libraries on Windows' known-DLL list (the loader takes those from the
# system folder, whatever lies beside the program). At run time, copies of
# the other libraries the programs use, each leaving a marker when loaded,
# lie beside Setup.exe and fetch.exe while they download over TLS and install,
# with Wine told to prefer such copies as Windows does: no marker appears.
# A canary that imports bcrypt statically shows the markers would appear.
#   planted-dlls.sh BIN_DIR PLANTED.dll CANARY.exe
set -euo pipefail
bin=$1 planted=$2 canary=$3
source "$KORVANT_ROOT/tests/http/fetch-checks.sh"
known="advapi32 comdlg32 gdi32 kernel32 msvcrt ole32 oleaut32 shell32 shlwapi user32 ws2_32"
for program in Setup.exe SetupHttps.exe fetch.exe unpack.exe trustca.exe ZipEng179.dll; do
  imports=$(x86_64-w64-mingw32-objdump -p "$bin/$program" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sed 's/\.dll$//')
  unknown=$(for dll in $imports; do [[ " $known " == *" $dll "* ]] || echo "$dll"; done | tr '\n' ' ')
  if [ -n "$unknown" ]; then fail "$program imports $unknown"; else echo "ok   $program imports only known DLLs: $(echo $imports)"; fi
done

dir="$bin/planted"
rm -rf "$dir"
mkdir -p "$dir"
trap 'rm -rf "$dir"' EXIT
cp "$bin/fetch.exe" "$canary" "$dir/"
names="bcrypt crypt32 secur32 mpr oleacc comctl32"
for dll in $names; do cp "$planted" "$dir/$dll.dll"; done
# Wine's own crypt32 and secur32 stop working when loaded as native ones, so
# those two are covered by the import check above.
export WINEDLLOVERRIDES="bcrypt,mpr,oleacc,comctl32=n,b"
run() { timeout 300 "$KORVANT_ROOT/scripts/wine-run" "$@"; }

run "$dir/$(basename "$canary")" >/dev/null 2>&1 || true
if [ -e "$dir/bcrypt.dll.loaded" ]; then
  echo "ok   the canary loaded the planted bcrypt.dll"
  rm -f "$dir"/*.loaded
else
  fail "the canary did not load the planted bcrypt.dll: the check below would prove nothing"
fi

www="$KORVANT_BUILD/www/files"
if run "$dir/fetch.exe" https://localhost:8743/files/f1048583.bin "$dir/download" \
  --sha256 "$(sha256sum "$www/f1048583.bin" | cut -c1-64)" >/dev/null 2>"$dir/stderr"; then
  echo "ok   fetch.exe beside the planted DLLs downloaded over TLS and checked the hash"
else
  fail "fetch.exe beside the planted DLLs: $(cat "$dir/stderr")"
fi
markers=$(cd "$dir" && ls ./*.loaded 2>/dev/null | tr '\n' ' ' || true)
[ -z "$markers" ] || fail "loaded beside fetch.exe: $markers"
[ -z "$markers" ] && echo "ok   no planted DLL was loaded by fetch.exe"
[ "$failures" -eq 0 ]
