#!/usr/bin/env bash
# Makes the seed corpora of the zip fuzz targets with Info-ZIP zip: small
# archives stored, deflated, encrypted, streamed (sizes in a data
# descriptor), with folders, with a UTF-8 name, and empty. Both targets start
# from the same archives.
#   make-corpus.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir -p src/dir/sub src/emptydir
printf 'short text\n' > src/a.txt
seq 1 300 > src/dir/numbers.txt
printf 'leaf\n' > src/dir/sub/leaf.txt
head -c 200 /dev/urandom > src/dir/random.bin
printf 'utf8\n' > "src/café.txt"
cd src
zip -q -X -0 ../stored.zip a.txt dir/numbers.txt
zip -q -X -9 ../deflated.zip a.txt dir/numbers.txt
zip -q -X -P "mirabel " ../encrypted.zip a.txt dir/numbers.txt dir/random.bin
zip -q -X -r -P "mirabel " - dir > ../streamed.zip
zip -q -X -r ../folders.zip dir emptydir
zip -q -X ../utf8name.zip "café.txt"
printf 'comment' | zip -q -X -z ../comment.zip a.txt
cd ..
printf 'PK\005\006%018d' 0 | tr 0 '\000' > empty.zip
# zip stores the UTF-8 name unmarked: set the mark (bit 11) in both headers.
python3 - utf8name.zip <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
for sig, at in ((b"PK\x03\x04", 6), (b"PK\x01\x02", 8)):
    pos = data.find(sig) + at
    data[pos + 1] |= 0x08
open(path, "wb").write(data)
PY
for target in zipdir engine; do
  rm -f "$here/corpus/$target"/*.zip
  cp ./*.zip "$here/corpus/$target/"
done
