#!/usr/bin/env bash
# Fetches one 256 MiB file from the test server over loopback four ways: with
# the Download control, with bare WinINet loops of 64 KiB and of 2,048-byte
# reads writing the same file, and with curl on Linux. Prints the throughputs
# (median and best of the rounds, MB = 10^6 bytes), the process's own
# processor time per MB, the control's share of the 64 KiB loop and its peak
# working set.
#   usage: bash bench/transfer_bench.sh [rounds]     (default 3; build first)
set -euo pipefail
source "$(dirname "$0")/../scripts/env.sh"
rounds=${1:-3}
size=$((256 * 1024 * 1024))
for exe in http_server transfer_bench; do
  [ -f "$build/bin/$exe.exe" ] || { echo "build first: cmake --build build --target $exe" >&2; exit 1; }
done

# A prefix of its own: the tests may run meanwhile without disturbing it.
export WINEPREFIX="$build/wineprefix-bench"
prepare_prefix "$WINEPREFIX"
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

curl_best=$(printf '%s\n' "${curl_speeds[@]}" | sort -g | tail -1 | awk '{ printf "%.2f", $1 / 1e6 }')

value() { awk -v a="$1" -v b="$2" '$1 == a && $2 == b { print $3 }' "$work/bench.txt"; }
peak=$(awk '$1 == "peak_working_set" { print $2 }' "$work/bench.txt")
echo
echo "256 MiB over loopback, $rounds rounds:    MB/s median     best   own CPU us/MB"
row() { printf '  %-30s %10s %8s %10s\n' "$@"; }
row "Download control" "$(value result component)" "$(value best component)" "$(value cpu component)"
row "WinHTTP loop, 64 KiB reads" "$(value result winhttp64k)" "$(value best winhttp64k)" "$(value cpu winhttp64k)"
row "WinINet loop, 64 KiB reads" "$(value result wininet64k)" "$(value best wininet64k)" "$(value cpu wininet64k)"
row "WinINet loop, 2 KiB reads" "$(value result wininet2k)" "$(value best wininet2k)" "$(value cpu wininet2k)"
row "curl (Linux)" "$curl_median" "$curl_best" ""
ratio() { awk -v c="$1" -v b="$2" 'BEGIN { printf "%.1f %%", 100 * c / b }'; }
row "control / WinHTTP loop" "$(ratio "$(value result component)" "$(value result winhttp64k)")" \
    "$(ratio "$(value best component)" "$(value best winhttp64k)")" ""
echo "  control's peak working set: $peak MiB"
