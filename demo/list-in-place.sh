#!/usr/bin/env bash
# A copy of a signed component list with another archive listed in place of
# one of its files, signed with the demo key: OUT.txt and OUT.sig. Tests and
# benchmarks hand the wizard a stand-in for main.zip this way.
#   list-in-place.sh LIST NAME ARCHIVE OUT
set -euo pipefail
list=$1 name=$2 archive=$3 out=$4
key=$(dirname "$0")/keys/manifest-demo.key.pem
grep -v " ${name//./\\.}\$" "$list" > "$out.txt"
printf '%s %s %s\n' "$(sha256sum "$archive" | cut -d' ' -f1)" "$(stat -c %s "$archive")" "$name" >> "$out.txt"
openssl dgst -sha256 -sign "$key" -out "$out.sig" "$out.txt"
