#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the icon's PNG sizes from packaging/icons/quorvel.svg. The PNGs are
# committed, so that building needs no SVG renderer; run this after editing the SVG.
# Needs rsvg-convert (librsvg2-bin).
set -eu
cd "$(dirname "$0")/../packaging/icons"
for size in 16 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" --output "quorvel-$size.png" quorvel.svg
done
echo "rendered: $(ls quorvel-*.png | tr '\n' ' ')"
