#!/usr/bin/env bash
# Makes the Windows window's icon, app/win32/durvane.ico, from the window's icon drawings: the
# 16-pixel picture drawn pixel by pixel (app/gui/durvane_icon.xpm), and one picture for each
# larger size Windows asks for (20 to 256 pixels) drawn from app/gui/durvane.svg by
# rsvg-convert; ImageMagick gathers them into the icon. The icon is kept in the repository,
# as the README's pictures are: run this again after changing the drawing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-packages.sh make-windows-icon librsvg2-bin imagemagick
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert app/gui/durvane_icon.xpm "$work/16.png"
pictures=("$work/16.png")
for size in 20 24 32 40 48 64 256; do
  rsvg-convert -w "$size" -h "$size" -o "$work/$size.png" app/gui/durvane.svg
  pictures+=("$work/$size.png")
done
# ImageMagick stores the 256-pixel picture as PNG and the others as bitmaps, as Windows expects.
convert "${pictures[@]}" app/win32/durvane.ico
identify app/win32/durvane.ico
