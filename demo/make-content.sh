#!/usr/bin/env bash
# Builds the demo download server's content: the product's archives, encrypted
# with the wizard's password by Info-ZIP, the upgrade notes and the engine.
# With a signing key it also writes the signed component list: manifest.txt
# ("SHA256 SIZE NAME" per file) and manifest.sig (openssl's DER signature).
# The list's first line is "serial N", the list's edition.
# Two runs with the same inputs write the same bytes (all but manifest.sig,
# whose ECDSA signature takes a fresh random number each time): every file
# dated SOURCE_DATE_EPOCH, the archives' entries in a fixed order without
# extra fields, the large file pseudo-random from a fixed key, and zip's
# encryption headers, which it seeds from the clock and its process id, made
# under a frozen clock (faketime) as process 1 of its own namespace.
#   make-content.sh OUTDIR KORVANT07.EXE ZipEng179.dll [BIGFILE_MB [SIGNING_KEY.pem [SERIAL]]]
set -euo pipefail
out=$1 exe=$2 engine=$3 big_mb=${4:-40} key=${5:-} serial=${6:-1}
password='mirabel '   # seven letters and a blank, as the wizard has it
epoch=${SOURCE_DATE_EPOCH:-0}
export TZ=UTC

# zip -P of a folder's contents, the same bytes every time where the
# namespace and faketime are at hand (a build without them still works).
# faketime -f stops the clock; without -f it starts there and ticks, and a
# zip that crosses a second on a busy machine seeds other headers.
zip_folder() { # folder archive
  local stamp
  stamp=$(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S')
  find "$1" -exec touch -h -d "@$epoch" {} +
  local list
  list=$(cd "$1" && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort)
  if command -v faketime >/dev/null && unshare --user --map-root-user --pid --fork true 2>/dev/null; then
    (cd "$1" && printf '%s\n' "$list" |
      unshare --user --map-root-user --pid --fork faketime -f "$stamp" zip -q -X -P "$password" "$2" -@)
  else
    echo "make-content.sh: no faketime or namespaces: $2 is not reproducible" >&2
    (cd "$1" && printf '%s\n' "$list" | zip -q -X -P "$password" "$2" -@)
  fi
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# Program files. VERSION.TXT is in both archives: the upgrade's copy must win.
mkdir -p "$work/main/HELP" "$work/upgrade"
cp "$exe" "$work/main/KORVANT07.EXE"
printf 'KORVANT 07 demo\r\nversion 7.0.0\r\n' > "$work/main/VERSION.TXT"
printf 'Welkom bij KORVANT.\r\nBienvenue dans KORVANT.\r\n' > "$work/main/HELP/LEESMIJ.TXT"
# One larger file, so a person can watch the progress bar move.
head -c "$((big_mb * 1024 * 1024))" /dev/zero |
  openssl enc -aes-128-ctr -nosalt -K 4b4f5256414e542030372064656d6f21 -iv 00000000000000000000000000000000 |
  head -c "$((big_mb * 1024 * 1024))" > "$work/main/HELP/HANDLEIDING.DAT"
printf 'KORVANT 07 demo\r\nversion 7.0.1\r\n' > "$work/upgrade/VERSION.TXT"
printf 'Upgrade 7.0.1\r\n' > "$work/upgrade/UPGRADE.TXT"
zip_folder "$work/main" "$work/main.zip"
zip_folder "$work/upgrade" "$work/upgrade.zip"

# One empty data set per national variant; WINKEL.DAT marks a data set.
for variant in benl nl befr; do
  d="$work/global$variant"
  mkdir -p "$d/SJABLONEN"
  printf 'KORVANT data set\r\nvariant=%s\r\n' "$variant" > "$d/WINKEL.DAT"
  printf 'variant %s\r\n' "$variant" > "$d/SJABLONEN/STANDAARD.TXT"
  zip_folder "$d" "$work/global$variant.zip"
done

printf 'KORVANT 07 upgrade 7.0.1\r\n' > "$work/upgrade.txt"

touch -d "@$epoch" "$work"/*.zip "$work/upgrade.txt"
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
