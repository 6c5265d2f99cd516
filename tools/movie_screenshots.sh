#!/usr/bin/env bash
# Screenshots of the front-end movie in the states a user meets, taken under a
# private Xvfb with the preview program (built by scripts/test.sh or cmake).
#   usage: tools/movie_screenshots.sh [output-dir]   (default build/screenshots)
set -euo pipefail
source "$(dirname "$0")/../scripts/env.sh"
out=${1:-$build/screenshots}
mkdir -p "$out"
preview="$build/bin/movie_preview.exe"
movie="$build/bin/Main.mfm"
[ -x "$build/wine-run.sh" ] && [ -f "$preview" ] || { echo "build first (scripts/test.sh)" >&2; exit 1; }

export WINEPREFIX="$test_prefix"
start_xvfb
trap 'wineserver -k >/dev/null 2>&1 || true; stop_xvfb' EXIT
warm_prefix "$test_prefix"

about='set:_root.aboutTxt=Version 1.0.0.0\nMarrowfin is an easy to use program to download video files from Google,youtube, and other video sharing sites to your PC.'
settings=(set:_root.autoToDownloadList_CB=1 set:_root.Download_CB=1 set:_root.Convert_CB=1
          'set:_root.download_dir=C:\Downloaded Videos')

# shot NAME ARGS...: starts the preview, waits for its window, photographs the screen.
shot() {
  local name=$1; shift
  "$build/wine-run.sh" "$preview" "$movie" "$about" "${settings[@]}" "$@" quit:60 >"$out/$name.log" 2>&1 &
  local pid=$!
  xdotool search --sync --name '^Marrowfin$' >/dev/null
  # HOVER=X,Y puts the real mouse over that point of the movie.
  sleep 1.5  # let the clicks, slides and first paints finish
  if [ -n "${HOVER:-}" ]; then
    xdotool mousemove $((40 + ${HOVER%,*})) $((40 + ${HOVER#*,}))
    sleep 0.3
    xdotool mousemove_relative 1 0
    sleep 0.5
  else
    xdotool mousemove 1000 900
  fi
  import -window root -crop 700x620+0+0 "$out/$name.png"
  kill "$pid" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
  wait "$pid" 2>/dev/null || true
  echo "$out/$name.png"
}

shot empty set:_root.autoToDownloadList_CB=0
HOVER=540,94 shot download grid:4 set:_root.downloadBtn=1 'set:_root.video_url=http://www.youtube.com/watch?v=Xk2p9aQ'
HOVER=60,143 shot pressed grid:4 set:_root.downloadBtn=1 press:60,143
shot running grid:4 set:_root.downloadBtn=1 click:100,396
shot settings grid:4 set:_root.downloadBtn=1 click:546,143
HOVER=606,16 shot about grid:4 set:_root.downloadBtn=1 click:322,22
shot about-running grid:4 set:_root.downloadBtn=1 click:322,22 set:_root.downloadBtnTab=1 \
     set:_root.downloadTab=0 set:_root.startDownload=0 set:_root.downloadBtn=0
