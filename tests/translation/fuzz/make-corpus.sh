#!/usr/bin/env bash
# Makes the seed corpora of the catalog fuzz targets with the real tools:
# msgfmt (both byte orders) and the build's own moappend.
#   make-corpus.sh BUILD_DIR   (a Windows or native build tree with host/moappend or moappend)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
moappend=${MOAPPEND:-$1/host/moappend}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$here/corpus/mo" "$here/corpus/appended_table"
for entry in "test:tests/translation/catalogs/test.po" "nl:tests/translation/catalogs/nl.po" \
             "fr-default:translation/locale/fr/LC_MESSAGES/default.po"; do
  name=${entry%%:*} po=$root/${entry#*:}
  for order in little big; do
    msgfmt --endianness=$order -o "$here/corpus/mo/$name-$order.mo" "$po"
  done
done
# A stand-in program: some bytes, the marker field with its 8 zero bytes,
# more bytes; moappend appends the catalogs and patches the field.
make_program() {
  { printf 'MZ fake program head'; printf '136FC5C1-77F9-4C46-B1CB-FA7E032E77CE\0\0\0\0\0\0\0\0'; printf 'tail'; } >"$1"
}
make_program "$work/one.exe"
"$moappend" "$work/one.exe" "locale\\fr\\lc_messages\\default.mo=$here/corpus/mo/fr-default-little.mo"
cp "$work/one.exe" "$here/corpus/appended_table/one-catalog.exe"
make_program "$work/two.exe"
"$moappend" "$work/two.exe" "locale\\fr\\lc_messages\\default.mo=$here/corpus/mo/test-little.mo" \
  "nl.mo=$here/corpus/mo/nl-little.mo"
cp "$work/two.exe" "$here/corpus/appended_table/two-catalogs.exe"
echo "corpora written under $here/corpus"
