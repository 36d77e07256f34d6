#!/usr/bin/env bash
# Builds the demo download server's content: the product's archives, encrypted
# with the wizard's password by Info-ZIP, the upgrade notes and the engine.
# With a signing key it also writes the signed component list: manifest.txt
# ("SHA256 SIZE NAME" per file) and manifest.sig (openssl's DER signature).
# The list's first line is "serial N", the list's edition.
#   make-content.sh OUTDIR KORVANT07.EXE ZipEng179.dll [BIGFILE_MB [SIGNING_KEY.pem [SERIAL]]]
set -euo pipefail
out=$1 exe=$2 engine=$3 big_mb=${4:-40} key=${5:-} serial=${6:-1}
password='mirabel '   # seven letters and a blank, as the wizard has it

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# Program files. VERSION.TXT is in both archives: the upgrade's copy must win.
mkdir -p "$work/main/HELP" "$work/upgrade"
cp "$exe" "$work/main/KORVANT07.EXE"
printf 'KORVANT 07 demo\r\nversion 7.0.0\r\n' > "$work/main/VERSION.TXT"
printf 'Welkom bij KORVANT.\r\nBienvenue dans KORVANT.\r\n' > "$work/main/HELP/LEESMIJ.TXT"
# One larger file, so a person can watch the progress bar move.
head -c "$((big_mb * 1024 * 1024))" /dev/urandom > "$work/main/HELP/HANDLEIDING.DAT"
printf 'KORVANT 07 demo\r\nversion 7.0.1\r\n' > "$work/upgrade/VERSION.TXT"
printf 'Upgrade 7.0.1\r\n' > "$work/upgrade/UPGRADE.TXT"
(cd "$work/main" && zip -q -r -P "$password" "$work/main.zip" .)
(cd "$work/upgrade" && zip -q -r -P "$password" "$work/upgrade.zip" .)

# One empty data set per national variant; WINKEL.DAT marks a data set.
for variant in benl nl befr; do
  d="$work/global$variant"
  mkdir -p "$d/SJABLONEN"
  printf 'KORVANT data set\r\nvariant=%s\r\n' "$variant" > "$d/WINKEL.DAT"
  printf 'variant %s\r\n' "$variant" > "$d/SJABLONEN/STANDAARD.TXT"
  (cd "$d" && zip -q -r -P "$password" "$work/global$variant.zip" .)
done

printf 'KORVANT 07 upgrade 7.0.1\r\n' > "$work/upgrade.txt"

mv "$work"/*.zip "$work/upgrade.txt" "$out/"
if [ -f "$engine" ]; then
  cp "$engine" "$out/ZipEng179.dll"
fi

rm -f "$out/manifest.txt" "$out/manifest.sig"
if [ -n "$key" ]; then
  (cd "$out" && printf 'serial %s\n' "$serial" && for f in ZipEng179.dll main.zip upgrade.zip globalbenl.zip globalnl.zip globalbefr.zip upgrade.txt; do
     [ -f "$f" ] && printf '%s %s %s\n' "$(sha256sum "$f" | cut -d' ' -f1)" "$(stat -c %s "$f")" "$f"
   done) >"$work/manifest.txt"
  openssl dgst -sha256 -sign "$key" -out "$out/manifest.sig" "$work/manifest.txt"
  mv "$work/manifest.txt" "$out/manifest.txt"
fi
