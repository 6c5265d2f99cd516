#!/usr/bin/env bash
# Screenshots of the real main window (its Download list, its settings panel
# and its about page) at 96, 144 and 192 DPI and under high contrast, taken
# under a private Xvfb in a Wine prefix of this tool's own, whose LogPixels
# and colours it sets (the test prefix stays at 96 DPI). Needs Marrowfin,
# window_probe and desktop_showcase built.
#   usage: tools/app_screenshots.sh [output-dir]   (default docs/screenshots)
set -euo pipefail
source "$(dirname "$0")/../scripts/env.sh"
out=${1:-$here/docs/screenshots}
mkdir -p "$out"
bin="$build/bin"
for f in Marrowfin.exe window_probe.exe desktop_showcase.exe Main.mfm; do
  [ -f "$bin/$f" ] || { echo "build $f first" >&2; exit 1; }
done
export WINEPREFIX="$build/wineprefix-shots"
prepare_prefix "$WINEPREFIX" virtual-desktop
# A screen that holds the window at 200 %.
n=150
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$n"
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
trap 'wineserver -k >/dev/null 2>&1 || true; stop_xvfb' EXIT
wine() { "$wine64" "$@" </dev/null >/dev/null 2>&1; }
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1600x1200 /f

wine regsvr32 /s "Z:${bin//\//\\}\\Sabledrift.dll"
key='HKCU\Software\Tallowmere Marrowfin\Settings'
wine reg delete 'HKCU\Software\Tallowmere Marrowfin' /f || true
wine reg add "$key" /v "URL Mon" /d True /f
wine reg add "$key" /v "Download Dir" /d 'C:\Users\Public\Videos\Downloaded Videos' /f
# A list with an item of every kind, as the program keeps it.
list=$(find "$WINEPREFIX/drive_c/users" -maxdepth 4 -type d -path '*AppData/Local' | head -1)
mkdir -p "$list/Tallowmere Marrowfin"
cat >"$list/Tallowmere Marrowfin/queue.json" <<'JSON'
{"format": "Marrowfin download list", "version": 1, "items": [
 {"Video_URL": "http://www.youtube.com/watch?v=Xk2p9aQ", "FileName": "Sailing the fjords.mp4", "Status": "Complete", "FileSize": "48.2 MB"},
 {"Video_URL": "http://video.google.com/videoplay?docid=81173", "FileName": "Bread at home.mp4", "Status": "Complete", "FileSize": "212 MB"},
 {"Video_URL": "http://www.break.com/index/lost-and-found.html", "FileName": "Lost and found.flv", "Status": "ERROR", "FileSize": "Unknown"},
 {"Video_URL": "http://www.youtube.com/watch?v=Q81aZ0m", "FileName": "Auto Detect", "Status": "Waiting", "FileSize": "Unknown"},
 {"Video_URL": "http://www.angryalien.com/0504/exorcist.asp", "FileName": "Auto Detect", "Status": "Waiting", "FileSize": "Unknown"}
]}
JSON

# The movie's elements at 96 DPI: scaled by the DPI, they are clicked.
settings_button="546 143"
about_tab="328 22"

# shot PROGRAM NAME DPI: starts the program, photographs its page, settings and about page.
shots() {
  local program=$1 name=$2 dpi=$3
  "$wine64" "$bin/$program" </dev/null >"$out/$name.log" 2>&1 &
  local pid=$! rect=""
  for _ in $(seq 120); do
    rect=$("$wine64" "$bin/window_probe.exe" 2>/dev/null </dev/null | tr -d '\r') || true
    [ "${rect##* }" = 1 ] && break
    sleep 0.5
  done
  read -r left top right bottom _ <<<"$rect"
  local geometry="$((right - left))x$((bottom - top))+$left+$top"
  click() {
    xdotool mousemove $((left + $1 * dpi / 96)) $((top + $2 * dpi / 96)) click 1
    sleep 1.5  # the panel slides, the page turns
    xdotool mousemove 1590 1190
    sleep 0.3
  }
  sleep 2
  xdotool mousemove 1590 1190
  import -window root -crop "$geometry" +repage "$out/$name-main.png"
  # shellcheck disable=SC2086
  click $settings_button
  import -window root -crop "$geometry" +repage "$out/$name-settings.png"
  # shellcheck disable=SC2086
  click $settings_button
  # shellcheck disable=SC2086
  click $about_tab
  import -window root -crop "$geometry" +repage "$out/$name-about.png"
  kill "$pid" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
  wait "$pid" 2>/dev/null || true
  rm -f "$out/$name.log"
  echo "$out/$name-{main,settings,about}.png"
}

# set_dpi N: Wine reads the DPI once, when its server starts.
set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f
  wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' /v LogPixels /t REG_DWORD /d "$1" /f
  wineserver -k >/dev/null 2>&1 || true
}

# High contrast black, as Windows names its colours.
colours() {
  local pairs=("$@")
  for ((i = 0; i < ${#pairs[@]}; i += 2)); do
    wine reg add 'HKCU\Control Panel\Colors' /v "${pairs[i]}" /d "${pairs[i + 1]}" /f
  done
  wineserver -k >/dev/null 2>&1 || true
}

for dpi in 96 144 192; do
  set_dpi "$dpi"
  shots Marrowfin.exe "dpi$dpi" "$dpi"
done
set_dpi 96
colours Window "0 0 0" WindowText "255 255 255" ButtonFace "0 0 0" ButtonText "255 255 255" \
        Hilight "26 235 255" HilightText "0 0 0" GrayText "63 242 63" HotTrackingColor "255 255 0"
shots desktop_showcase.exe high-contrast 96
colours Window "255 255 255" WindowText "0 0 0" ButtonFace "240 240 240" ButtonText "0 0 0" \
        Hilight "0 120 215" HilightText "255 255 255" GrayText "109 109 109" HotTrackingColor "0 102 204"
# Small files: the pictures go into the repository.
for f in "$out"/*.png; do convert "$f" -strip -colors 256 PNG8:"$f"; done
