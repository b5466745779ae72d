#!/usr/bin/env bash
# packaging/make_icons.sh: draws the program's icon as PNG files of the sizes
# the desktop's icon theme uses (packaging/icons/kalimdar-<size>.png), with
# ImageMagick's own drawing (no SVG renderer needed); the shapes are those
# of packaging/kalimdar.svg: a blue rounded square, an open white book and
# a golden "Қ".
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
mkdir -p "$here/icons"
for size in 48 64 128 256; do
  convert -size 256x256 xc:none \
    -fill '#00afca' -draw 'roundrectangle 8,8 247,247 40,40' \
    -fill '#ffffff' -draw 'polygon 40,72 128,92 216,72 216,200 128,220 40,200' \
    -stroke '#00afca' -strokewidth 6 -draw 'line 128,92 128,220' -stroke none \
    -font DejaVu-Sans-Bold -pointsize 120 -fill '#fec50c' -gravity center -annotate +0+24 'Қ' \
    -resize "${size}x${size}" "$here/icons/kalimdar-$size.png"
done
echo "$here/icons"
