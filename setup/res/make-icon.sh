#!/usr/bin/env bash
# Regenerates Setup.ico (a white K on the product's blue) with ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
convert -size 256x256 xc:none -fill '#1F4E8C' -draw 'roundrectangle 8,8 247,247 40,40' \
  -fill white -draw 'rectangle 64,48 100,208' -draw 'polygon 100,128 160,48 204,48 136,128 204,208 160,208' \
  -depth 8 "$tmp/k256.png"
sizes=(16 24 32 48)
for s in "${sizes[@]}"; do convert "$tmp/k256.png" -resize "${s}x${s}" -depth 8 "$tmp/k$s.png"; done
convert $(printf "$tmp/k%s.png " "${sizes[@]}") "$tmp/k256.png" Setup.ico
