#!/usr/bin/env bash
# Keys and signatures for the signature tests, made by openssl each run:
# the signed text, its signature by key A, the same text signed by key B,
# and both public keys as raw P-256 points (hex).
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
printf '%s 5 a.zip\n' "$(printf 'hello' | sha256sum | cut -d' ' -f1)" > list.txt
for k in a b; do
  openssl ecparam -name prime256v1 -genkey -noout -out "$k.key.pem" 2>/dev/null
  openssl ec -in "$k.key.pem" -pubout -outform DER 2>/dev/null | tail -c 65 | od -An -tx1 -v | tr -d ' \n' > "$k.point.hex"
  openssl dgst -sha256 -sign "$k.key.pem" -out "list.$k.sig" list.txt
done
