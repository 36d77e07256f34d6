#!/usr/bin/env bash
# How fast the wizard's window answers another process while it works: a
# reader in its own process reads the text of the form and of every control
# in it, idle on the proxy page and in the middle of a download, an
# extraction and the installed program's run, and prints the median time of
# one full read in each state and its ratio to the idle one (target <= 2).
#   bench/ui/run.sh        (uses the build tree of scripts/build)
# Starts its own peers (nginx 8707, the fault proxy on 8709): run it inside
# its own network namespace (unshare -n) when other tests may be running.
source "$(dirname "$0")/../../scripts/lib.sh"

install_deps
cmake --build "$KORVANT_BUILD" --target Setup ZipEng179 demo_content ui_reader unpack >/dev/null \
  || { log "the build failed"; exit 1; }

trap stop_services EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
start_xvfb
start_wineserver
source "$KORVANT_ROOT/tests/peers/start-peers.sh"
port=8709
bash "$KORVANT_ROOT/tests/e2e/faultproxy.sh" start "$KORVANT_BUILD" "$port"
trap 'bash "$KORVANT_ROOT/tests/e2e/faultproxy.sh" stop "$KORVANT_BUILD" '"$port"'; stop_services' EXIT

# Two program archives of the same many small files, listed and signed in
# place of main.zip, whose extraction lasts some seconds: a hundred files to
# a folder, as the product's archives hold them, and all in one folder, where
# Wine reads the whole folder for each name it creates. Made once.
work="$KORVANT_BUILD/bench-ui"
files=20000 per_folder=100
if [ ! -f "$work/many-files-one-folder.zip" ] || [ "$(cat "$work/.files" 2>/dev/null)" != "$files/$per_folder" ]; then
  log "making two archives of $files small files (once)"
  rm -rf "$work" && mkdir -p "$work/folders/MANY" "$work/one-folder/MANY"
  (cd "$work/one-folder/MANY" && for i in $(seq 0 $((files - 1))); do printf 'file %05d\r\n' "$i" > "$(printf '%05d' "$i").TXT"; done)
  for d in $(seq 0 $((files / per_folder - 1))); do
    folder=$work/folders/MANY/$(printf 'D%03d' "$d")
    mkdir "$folder"
    cp "$work/one-folder/MANY/"$(printf '%03d' "$d")??.TXT "$folder/"
  done
  for layout in folders one-folder; do
    (cd "$work/$layout" && zip -q -r -P 'mirabel ' "$work/many-files-$layout.zip" MANY)
    rm -rf "${work:?}/$layout"
  done
  echo "$files/$per_folder" > "$work/.files"
fi
# Their lists and signatures every time: the other components' sums change
# with every build of them.
list="$KORVANT_BUILD/www/korvant07/manifest.txt"
for layout in folders one-folder; do
  "$KORVANT_ROOT/demo/list-in-place.sh" "$list" main.zip "$work/many-files-$layout.zip" "$work/many-files-$layout"
done

rm -rf "$KORVANT_BUILD/wineprefix/drive_c/KORVANT07" "$KORVANT_BUILD/wineprefix/drive_c/KORVANT07-UNPACK"
to_windows() { printf 'Z:%s' "${1//\//\\}"; }
KORVANT_BINARY_DIR="$KORVANT_BUILD" "$KORVANT_ROOT/scripts/wine-run" "$KORVANT_BUILD/bench/ui_reader.exe" \
  "$port" "$(to_windows "$KORVANT_BUILD/e2e/faultproxy.control")" "$work" </dev/null \
  | tr -d '\r'
rm -rf "$KORVANT_BUILD/wineprefix/drive_c/KORVANT07" "$KORVANT_BUILD/wineprefix/drive_c/KORVANT07-UNPACK"
