#!/usr/bin/env bash
# Fetches one 256 MiB file from the test server over loopback three ways: with
# the Download control, with a bare WinINet loop of 2,048-byte reads, and with
# curl on Linux. Prints the throughputs (medians of the rounds, MB = 10^6
# bytes), the control's share of the bare loop and its peak working set.
#   usage: bash bench/transfer_bench.sh [rounds]     (default 3; build first)
set -euo pipefail
source "$(dirname "$0")/../scripts/env.sh"
rounds=${1:-3}
size=$((256 * 1024 * 1024))
for exe in http_server transfer_bench; do
  [ -f "$build/bin/$exe.exe" ] || { echo "build first: cmake --build build --target $exe" >&2; exit 1; }
done

export WINEPREFIX="$test_prefix"
work=$(mktemp -d)
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then
    curl -s -o /dev/null "http://127.0.0.1:$port/quit" || true
    wait "$server_pid" 2>/dev/null || true
  fi
  wineserver -k >/dev/null 2>&1 || true
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
start_xvfb
warm_prefix "$WINEPREFIX"

"$wine64" "$build/bin/http_server.exe" --file /video.flv "$size" >"$work/server.txt" 2>&1 &
server_pid=$!
port=""
for _ in $(seq 100); do
  port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/server.txt" | tr -d '\r')
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "the test server did not start" >&2; exit 1; }
url="http://127.0.0.1:$port/video.flv"

"$wine64" "$build/bin/transfer_bench.exe" "$url" --rounds "$rounds" | sed -u 's/\r$//' | tee "$work/bench.txt"

curl_speeds=()
for r in $(seq "$rounds"); do
  bps=$(curl -s -o /dev/null -w '%{speed_download}' "$url")
  curl_speeds+=("$bps")
  awk -v r="$r" -v b="$bps" 'BEGIN { printf "round %d: curl %.1f MB/s\n", r, b / 1e6 }'
done
curl_median=$(printf '%s\n' "${curl_speeds[@]}" | sort -g |
  awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.2f", m / 1e6 }')

value() { awk -v k="$1" '$1 == "result" && $2 == k { print $3 } $1 == k { print $2 }' "$work/bench.txt"; }
component=$(value component)
bare=$(value bare)
sweep=$(value sweep)
peak=$(value peak_working_set)
echo
echo "256 MiB over loopback, median of $rounds rounds:"
echo "  Download control      $component MB/s"
echo "  bare WinINet loop     $bare MB/s"
echo "  curl (Linux)          $curl_median MB/s"
awk -v c="$component" -v b="$bare" 'BEGIN { printf "  control / bare loop   %.1f %%\n", 100 * c / b }'
awk -v s="$sweep" -v b="$bare" 'BEGIN { printf "  (a sweep per read     %s MB/s, %.1f %% of the bare loop)\n", s, 100 * s / b }'
echo "  control's peak working set  $peak MiB"
