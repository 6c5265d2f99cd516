#!/usr/bin/env bash
# A screenshot of the main window during a throttled download from the
# loopback server, with the speed line beside the stop button, taken under a
# private Xvfb with run_showcase (cmake --build build --target run_showcase).
#   usage: tools/run_screenshot.sh [output-dir]   (default build/screenshots)
set -euo pipefail
source "$(dirname "$0")/../scripts/env.sh"
out=${1:-$build/screenshots}
mkdir -p "$out"
[ -f "$build/bin/run_showcase.exe" ] || { echo "build run_showcase first" >&2; exit 1; }

export WINEPREFIX="$test_prefix"
start_xvfb
trap 'wineserver -k >/dev/null 2>&1 || true; stop_xvfb' EXIT
warm_prefix "$test_prefix"
# The tray icon's control, as users register it.
(cd "$build/bin" && "$wine64" regsvr32 /s Sabledrift.dll)
(cd "$build/bin" && "$wine64" ./run_showcase.exe 14000 >"$out/run_showcase.log" 2>&1) &
pid=$!
xdotool search --sync --name '^Marrowfin$' >/dev/null
sleep 6  # the first video is in, the second arrives: the line has settled
xdotool mousemove 1000 900
# The window is centred on the 1280x1024 screen.
import -window root -crop 630x535+325+244 +repage "$out/run-speed-line.png"
wait "$pid"
echo "$out/run-speed-line.png"
