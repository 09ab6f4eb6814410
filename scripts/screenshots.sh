#!/usr/bin/env bash
# Takes a screenshot of each page of the control window under Xvfb, into
# docs/: the standalone window page by page, and the window as the plug-in
# shows it inside a host (extio_host open), which proves it paints under X11.
# Needs xvfb, xdotool and imagemagick.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$top/build}"
display=:97
work="$(mktemp -d /tmp/wavedeck-shots-XXXXXX)"
cd "$work"
Xvfb $display -screen 0 760x470x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
export DISPLAY=$display
names=(sdr-control command-shell filter-tools network multichannel-rx telnet vhf-shf about)
tab_x=(53 163 268 352 462 563 638 713)  # the tabs' centres, at y = 17
timeout 60 "$build/standalone_launcher" >/dev/null 2>&1 &
sleep 3
for i in "${!names[@]}"; do
  xdotool mousemove "${tab_x[$i]}" 17 click 1
  sleep 0.7
  import -window root -crop 747x450+0+0 "$top/docs/window-${names[$i]}.png"
done
kill %2 2>/dev/null || true
sleep 1
timeout 30 "$build/extio_host" open "$build/ExtIO_Tavrin_SDR.so" --seconds 4 >/dev/null 2>&1 &
sleep 3.5
import -window root -crop 747x450+0+0 "$top/docs/plugin-mode-x11.png"
wait
echo "screenshots in $top/docs"
