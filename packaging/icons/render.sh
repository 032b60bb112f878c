#!/bin/sh
# Renders the committed PNG sizes from zeb7.svg (needs rsvg-convert, Debian package librsvg2-bin).
set -e
cd "$(dirname "$0")"
for s in 16 32 48 64 128 256; do rsvg-convert -w $s -h $s zeb7.svg -o zeb7-$s.png; done
