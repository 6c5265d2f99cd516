#!/usr/bin/env bash
# Builds everything and runs every test under Wine in a private Xvfb.
#   usage: scripts/test.sh [extra ctest arguments]
set -euo pipefail
source "$(dirname "$0")/env.sh"
"$here/scripts/setup.sh" "$build"
configure_and_build
export WINEPREFIX="$test_prefix"
start_xvfb
trap 'wineserver -k >/dev/null 2>&1 || true; stop_xvfb' EXIT
warm_prefix "$test_prefix"
ctest --test-dir "$build" --output-on-failure -j2 "$@"
