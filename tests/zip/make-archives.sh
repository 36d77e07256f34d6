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

# Many small files, a few large ones and some between, made by Info-ZIP and
# by 7-Zip, stored and deflated: what parallel extraction is compared on.
mkdir -p parallel/small/sub parallel/large parallel/mid
for i in $(seq 1 240); do head -c $(( (i * 37) % 3000 )) /dev/urandom | base64 > "parallel/small/f$i.txt"; done
for i in $(seq 1 40); do printf 'sub %d\n' "$i" > "parallel/small/sub/s$i.txt"; done
: > parallel/small/empty.txt
seq 1 400000 > parallel/large/numbers.txt
head -c 1500000 /dev/urandom > parallel/large/random.bin
head -c 3000000 /dev/zero > parallel/large/zeros.bin
for i in 1 2 3 4 5 6; do head -c 150000 /dev/urandom | base64 > "parallel/mid/m$i.txt"; done
zip -q -r -X -P "mirabel " ../izip-deflated.zip parallel
zip -q -r -X -0 -P "mirabel " ../izip-stored.zip parallel
zip -q -r -X -P "mirabel " ../izip-small.zip parallel/small
zip -q -r -X -P "mirabel " ../izip-large.zip parallel/large
7z a -bd -bso0 -tzip -mem=ZipCrypto -p"mirabel " -mx=5 ../7z-deflated.zip parallel
7z a -bd -bso0 -tzip -mem=ZipCrypto -p"mirabel " -mx=0 ../7z-stored.zip parallel

# Encrypted entries of over 4 MiB stored, deflated and stored, between small
# ones: their blocks are read and decrypted ahead on a thread of their own.
mkdir -p ahead
head -c 5000000 /dev/urandom > ahead/random.bin
head -c 4500000 /dev/urandom | base64 > ahead/text.txt
for i in 1 2 3; do printf 'small %d\n' "$i" > "ahead/small$i.txt"; done
zip -q -X -P "mirabel " ../izip-ahead.zip ahead/small1.txt ahead/random.bin ahead/small2.txt ahead/text.txt \
  ahead/small3.txt

printf 'This is just a text file, not an archive.\n' > ../notzip.txt
cd "$out"
# The files as they went in, for comparing what comes out.
mv src originals
python3 "$here/patch-archives.py" "$out"
