#!/usr/bin/env bash
# Makes the archives the zip tests read, with Info-ZIP zip (traditional
# encryption), and damaged variants patched byte by byte.
#   make-archives.sh OUTDIR
set -euo pipefail
out=$1
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$out"
mkdir -p "$out/src"
cd "$out/src"

# The product-like tree: nested folders, a stored (already compressed) file,
# deflated text, an empty file and an empty folder.
mkdir -p top/mid/deep emptydir
printf 'first line\r\nsecond line\r\n' > top/readme.txt
seq 1 20000 > top/mid/numbers.txt
head -c 70000 /dev/urandom > top/mid/deep/blob.png
: > top/empty.dat
printf 'deep file\n' > top/mid/deep/leaf.txt
zip -q -r -X -n .png -P "mirabel " ../main.zip top emptydir
# The same written to a pipe: sizes follow each entry's data.
zip -q -r -X -n .png -P "mirabel " - top > ../streamed.zip

# Folders only.
mkdir -p folders/one/two folders/three
zip -q -r -X ../folders.zip folders

# Unencrypted archive for structural damage.
zip -q -r -X ../plain.zip top/readme.txt top/mid/numbers.txt top/mid/deep/leaf.txt

# Names that try to leave the extraction folder, patched in place; a good
# file beside them must still arrive.
mkdir -p zz
printf 'evil\n' > zz/evil.txt
printf 'abs\n' > Xabs.txt
mkdir -p CC && printf 'drive\n' > CC/drive.txt
printf 'good\n' > good.txt
zip -q -X ../evil.zip zz/evil.txt Xabs.txt CC/drive.txt good.txt

# A small declared size for a big deflated entry.
head -c 300000 /dev/zero > zeros.bin
zip -q -X ../bomb.zip zeros.bin

# An archive with a comment, for garbage appended after it.
printf 'archive comment' | zip -q -X -z ../comment.zip top/readme.txt

# Names Windows would read as a device, a stream or another name (trailing
# dot or blank), each in a real file; ordinary names beside them.
mkdir -p names/sub/prn names/dir.
for f in CON.txt aux Nul.dat com1.log LPT9 'trail.' 'blank ' 'ads.txt:hidden' 'con .txt' \
         dir./inner.txt sub/prn/deep.txt good.txt console.txt com10.txt sub/ok.txt; do
  printf '%s\n' "$f" > "names/$f"
done
(cd names && zip -q -r -X ../../names.zip .)

# Non-ASCII names: the UTF-8 mark and the Unicode Path field are patched in.
mkdir -p utf8
printf 'utf8 flag\n' > "utf8/café.txt"
printf 'unicode path\n' > utf8/naive.txt
printf 'stale path\n' > utf8/stale.txt
(cd utf8 && zip -q -X ../../utf8.zip café.txt naive.txt stale.txt)

# Entries of several read blocks (over 1 MiB stored or deflated) between
# ones of a few dozen KiB: every way the engine reads ahead.
mkdir -p big
seq 1 700000 > big/numbers.txt
head -c 2500000 /dev/urandom > big/random.bin
for i in 1 2 3 4 5; do head -c 30000 /dev/urandom | base64 > "big/small$i.txt"; done
zip -q -X -n .bin -P "mirabel " ../big.zip big/small1.txt big/numbers.txt big/small2.txt big/random.bin \
  big/small3.txt big/small4.txt big/small5.txt

# Names that differ only in case, in a folder the run makes and in one that
# exists before it.
mkdir -p cases/new
for f in cases/top.txt cases/new/a.txt cases/new/A.TXT cases/new/b.txt; do printf '%s\n' "$f" > "$f"; done
zip -q -X ../cases.zip cases/top.txt cases/new/a.txt cases/new/A.TXT cases/new/b.txt

printf 'This is just a text file, not an archive.\n' > ../notzip.txt
cd "$out"
# The files as they went in, for comparing what comes out.
mv src originals
python3 "$here/patch-archives.py" "$out"
