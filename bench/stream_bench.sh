#!/usr/bin/env bash
# A 200-segment HLS stream (MPEG-TS, H.264 + AAC, 1 s segments) made with
# ffmpeg and served by nginx over loopback, each connection held to 768 KiB/s;
# saved side by side by the stream control over 8 connections and over 1,
# by ffmpeg as it comes (which fetches the next segment on a second
# connection while it reads one) and by ffmpeg one segment at a time
# (-http_multiple 0), each round starting with another way. Prints each
# round, the median seconds per way and the ratios to Marrowfin-8, and
# checks with ffprobe that every movie lasts 200 s; the last round's
# Marrowfin-8 movie is decoded whole.
# Exits 1 when a way failed or a movie is short.
#   usage: bash bench/stream_bench.sh [rounds]     (build first)
set -euo pipefail
source "$(dirname "$0")/../scripts/env.sh"
rounds=${1:-3}
exe="$build/bin/stream_bench.exe"
[ -f "$exe" ] || { echo "build first: cmake --build build --target stream_bench" >&2; exit 1; }

export WINEPREFIX="$build/wineprefix-bench"
prepare_prefix "$WINEPREFIX"
work=$(mktemp -d)
nginx_pid=""
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/www" "$work/logs"
echo "making the stream (200 s, 1 s segments)..."
ffmpeg -v error -f lavfi -i testsrc2=size=640x360:rate=25 -f lavfi -i sine=frequency=440 -t 200 \
  -c:v libx264 -preset veryfast -g 25 -sc_threshold 0 -c:a aac -f hls -hls_time 1 \
  -hls_playlist_type vod -hls_segment_filename "$work/www/s%03d.ts" "$work/www/index.m3u8"
# nginx's workers may run as another user: they read the stream.
chmod -R a+rX "$work"
port=$(python3 -c 'import socket
s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
# A whole segment fits nginx's first second of leave; sent in 16 KiB pieces,
# each followed by its pause, it is held to the rate from its first byte.
cat >"$work/nginx.conf" <<CONF
daemon off;
worker_processes 2;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 256; }
http {
  access_log off;
  client_body_temp_path $work/logs;
  proxy_temp_path $work/logs;
  fastcgi_temp_path $work/logs;
  uwsgi_temp_path $work/logs;
  scgi_temp_path $work/logs;
  types { application/vnd.apple.mpegurl m3u8; video/mp2t ts; }
  sendfile on;
  sendfile_max_chunk 16k;
  server { listen 127.0.0.1:$port; root $work/www; limit_rate 768k; }
}
CONF
nginx -p "$work" -e "$work/logs/error.log" -c "$work/nginx.conf" &
nginx_pid=$!
sleep 0.5
start_xvfb
warm_prefix "$WINEPREFIX"
url="http://127.0.0.1:$port/index.m3u8"

# Seconds of one way, its movie in $work/<way>.mp4; the bench exe times
# itself (no Wine start-up), ffmpeg is timed here.
marrowfin() {
  local answer
  answer=$("$wine64" "$exe" "$url" "$2" "Z:${work//\//\\}\\$1.mp4" | tr -d '\r') || {
    echo "Marrowfin, $2 connection(s): $answer" >&2
    echo failed
    return
  }
  # A plan of another count of segments is no measure of this stream.
  awk '$1 == "seconds" { s = $2 } $1 == "segments" { n = $2 }
       END { if (n != 200) print "Marrowfin read " n + 0 " segments of 200" > "/dev/stderr"
             print n == 200 ? s : "failed" }' <<<"$answer"
}
ffmpeg_way() {
  local t0 t1
  t0=$(date +%s.%N)
  ffmpeg -v error -y "${@:2}" -i "$url" -c copy "$work/$1.mp4" 2>>"$work/ff.err" ||
    { echo failed; return; }
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f\n", b - a }'
}
run_way() {
  case $1 in
    m8) marrowfin m8 8 ;;
    m1) marrowfin m1 1 ;;
    ff) ffmpeg_way ff ;;
    ff1) ffmpeg_way ff1 -http_multiple 0 ;;
  esac
}
# The movie lasts 200 s, give or take half a second.
check_movie() {
  local d
  d=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/$1.mp4" 2>&1 || true)
  awk -v d="$d" 'BEGIN { exit !(d + 0 > 199.5 && d + 0 < 200.5) }' ||
    { echo "  $1.mp4 does not last 200 s: ${d:-no duration}"; short=1; }
}
# The median of the words read; "failed" when a round failed.
median() {
  tr ' ' '\n' | grep -v '^$' | sort -g | awk '$1 == "failed" { bad = 1 } { v[NR] = $1 }
    END { print bad ? "failed" : NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

declare -A times=([m8]="" [m1]="" [ff]="" [ff1]="")
ways=(m8 m1 ff ff1)
short=0
for r in $(seq "$rounds"); do
  line="round $r:"
  for i in 0 1 2 3; do
    way=${ways[$(((i + r - 1) % 4))]}
    s=$(run_way "$way")
    times[$way]+=" $s"
    line+=" $way $s s"
    [ "$s" = failed ] || check_movie "$way"
  done
  echo "$line"
done
[ -s "$work/ff.err" ] && { echo "ffmpeg said:"; head -5 "$work/ff.err"; }
[ "$short" = 0 ] && echo "every movie lasts 200 s (ffprobe, within 0.5 s)"
decode=$(ffmpeg -v error -i "$work/m8.mp4" -f null - 2>&1 | head -5)
echo "decoding the last m8.mp4 whole: ${decode:-no errors}"

echo "200 segments of 1 s (~21 MB), each connection held to 768 KiB/s, median of $rounds:"
m8=$(median <<<"${times[m8]}") m1=$(median <<<"${times[m1]}")
ff=$(median <<<"${times[ff]}") ff1=$(median <<<"${times[ff1]}")
printf '  %-38s %8s s\n' "Marrowfin, 8 connections" "$m8" "Marrowfin, 1 connection" "$m1" \
  "ffmpeg -c copy (2 connections)" "$ff" "ffmpeg -http_multiple 0 (1 connection)" "$ff1"
awk -v a="$ff" -v b="$m8" -v c="$ff1" 'BEGIN { if (b + 0 == 0) exit
  printf "  ffmpeg / Marrowfin-8: %.2f (goal >= 4); one at a time: %.2f\n", a / b, c / b }'
# A failed way or a short movie fails the bench.
[ "$short" = 0 ] && [[ "${times[*]}" != *failed* ]]
