#!/usr/bin/env bash
# Draws segjoin.ico: three short segments above, the one joined bar below.
# Run by hand after changing the drawing; the .ico is committed.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

convert -size 256x256 xc:none \
  -fill '#1f5fa8' -draw 'roundrectangle 8,8 247,247 40,40' \
  -fill '#ffffff' \
  -draw 'roundrectangle 36,52 92,108 10,10' \
  -draw 'roundrectangle 100,52 156,108 10,10' \
  -draw 'roundrectangle 164,52 220,108 10,10' \
  -fill '#ffd34d' -draw 'polygon 104,124 152,124 128,152' \
  -fill '#ffd34d' -draw 'roundrectangle 36,164 220,212 12,12' \
  "$work/icon-256.png"
for size in 16 24 32 48 64; do
  convert "$work/icon-256.png" -resize "${size}x${size}" "$work/icon-$size.png"
done
convert "$work"/icon-{16,24,32,48,64,256}.png -depth 8 segjoin.ico
