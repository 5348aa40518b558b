#!/usr/bin/env bash
# Renders the program icon's pictures (res/icons/wavelathe-<size>.png) from its drawings:
# 16 pixels from wavelathe-16.svg, 24 and 32 from wavelathe-32.svg (drawn on those grids so the
# bars stay sharp), the larger sizes from wavelathe.svg. Needs rsvg-convert (librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../res/icons"
render() { rsvg-convert -w "$2" -h "$2" "$1" -o "wavelathe-$2.png"; }
render wavelathe-16.svg 16
for size in 24 32; do render wavelathe-32.svg "$size"; done
for size in 48 64 128 256; do render wavelathe.svg "$size"; done
