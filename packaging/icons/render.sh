#!/bin/bash
# Renders the PNG sizes of the icon from qevntpnl.svg. The PNGs are committed, so a build
# needs no renderer: run this only after changing the drawing, then commit the PNGs with it.
set -euo pipefail
cd "$(dirname "$0")"
source ../../scripts/lib/packages.sh
ensure_packages librsvg2-bin
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --output "qevntpnl-$size.png" qevntpnl.svg
done
