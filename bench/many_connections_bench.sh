#!/usr/bin/env bash
# One 512 MiB file from nginx over loopback, fetched side by side by the
# Download control over 8 connections and over 1, by aria2c -x8 -s8 -k1M and
# by curl; first with each connection held to 20 MB/s by nginx (limit_rate),
# then without a limit. Prints MB/s (10^6 bytes) per way and the ratios the
# goals are about, then the control's peak working set with 3 items of 8
# connections at once.
#   usage: bash bench/many_connections_bench.sh     (build first)
set -euo pipefail
source "$(dirname "$0")/../scripts/env.sh"
exe="$build/bin/many_connections_bench.exe"
[ -f "$exe" ] || { echo "build first: cmake --build build --target many_connections_bench" >&2; exit 1; }

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

mkdir -p "$work/www" "$work/logs" "$work/aria"
head -c $((512 * 1024 * 1024)) /dev/urandom >"$work/www/file.bin"
# nginx's workers may run as another user: they read the file.
chmod -R a+rX "$work"
# Free ports: asked of the system, then given to nginx.
read -r held free < <(python3 -c 'import socket
s = [socket.socket() for _ in range(2)]
for x in s: x.bind(("127.0.0.1", 0))
print(*[x.getsockname()[1] for x in s])')
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
  sendfile on;
  server { listen 127.0.0.1:$held; root $work/www; limit_rate 20m; }
  server { listen 127.0.0.1:$free; root $work/www; }
}
CONF
nginx -p "$work" -e "$work/logs/error.log" -c "$work/nginx.conf" &
nginx_pid=$!
sleep 0.5
start_xvfb
warm_prefix "$WINEPREFIX"

# MB/s of one way: the bench exe prints it; the Linux tools are timed here.
marrowfin() { { "$wine64" "$exe" "$1" "$2" || true; } | tr -d '\r' | awk '$1 == "mbps" { print $2 }'; }
timed() {
  local t0 t1
  t0=$(date +%s.%N); "$@" >/dev/null 2>&1; t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.1f", 512 * 1048576 / (b - a) / 1e6 }'
}
aria() { rm -f "$work/aria/"*; timed aria2c -x8 -s8 -k1M --file-allocation=none -d "$work/aria" -o f "$1"; }
curly() { timed curl -s -o /dev/null "$1"; }

for case in held free; do
  port=${!case}
  url="http://127.0.0.1:$port/file.bin"
  m8=$(marrowfin "$url" 8); m1=$(marrowfin "$url" 1); a8=$(aria "$url"); c1=$(curly "$url")
  label="no limit"; [ "$case" = held ] && label="each connection held to 20 MB/s"
  echo "512 MiB, $label:"
  printf '  %-26s %8s MB/s\n' "Marrowfin, 8 connections" "$m8" "Marrowfin, 1 connection" "$m1" \
    "aria2c -x8 -s8 -k1M" "$a8" "curl" "$c1"
  if [ "$case" = held ]; then
    awk -v a="$m8" -v b="$a8" 'BEGIN { printf "  Marrowfin-8 / aria2c-8: %.2f (goal >= 1)\n", a / b }'
  else
    awk -v a="$m8" -v b="$m1" 'BEGIN { printf "  Marrowfin-8 / Marrowfin-1: %.2f (goal >= 1)\n", a / b }'
  fi
done
echo "3 items of 8 connections at once (no limit):"
{ "$wine64" "$exe" "http://127.0.0.1:$free/file.bin" 8 --items 3 || true; } | tr -d '\r' |
  awk '$1 == "mbps" { printf "  %s MB/s together", $2 } $1 == "peak_working_set" { printf ", peak working set %s MiB (goal <= 64)\n", $2 }'
