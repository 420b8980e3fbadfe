#!/bin/bash
# Renders the PNG sizes of the icon from qevntpnl.svg, and the Windows icon (one .ico holding
# them all) from those PNGs. They are committed, so a build needs no renderer: run this only
# after changing the drawing, then commit the PNGs and the .ico with it.
set -euo pipefail
cd "$(dirname "$0")"
source ../../scripts/lib/packages.sh
ensure_packages librsvg2-bin imagemagick
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --output "qevntpnl-$size.png" qevntpnl.svg
done
convert qevntpnl-{16,24,32,48,64,128,256}.png ../windows/qevntpnl.ico
