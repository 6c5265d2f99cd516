#!/usr/bin/env bash
# Builds Marrowfin and starts it: on the user's display when there is one,
# otherwise in a private Xvfb.
set -euo pipefail
source "$(dirname "$0")/env.sh"
"$here/scripts/setup.sh" "$build"
configure_and_build
prepare_prefix "$user_prefix"
export WINEPREFIX="$user_prefix"
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  start_xvfb
  echo "No display found: Marrowfin runs in Xvfb on $DISPLAY"
  trap stop_xvfb EXIT
fi
"$wine64" "$build/bin/Marrowfin.exe"
