#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the application icon's PNG sizes from its SVG (needs rsvg-convert,
# Debian package librsvg2-bin). The PNGs are committed; run this after
# changing data/icons/quorvel.svg.
set -euo pipefail
icons=$(cd "$(dirname "${BASH_SOURCE[0]}")/../data/icons" && pwd)
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" "$icons/quorvel.svg" -o "$icons/png/quorvel-$size.png"
done
