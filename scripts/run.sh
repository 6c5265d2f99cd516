#!/usr/bin/env bash
# Builds Marrowfin and starts it: on the user's display when there is one,
# otherwise in a private Xvfb.
set -euo pipefail
source "$(dirname "$0")/env.sh"
"$here/scripts/setup.sh" "$build"
# Only what the program needs: the program (with its movie and help file),
# the clipboard watcher and the tray-icon library; no test programs.
configure_and_build Marrowfin Clip Sabledrift
prepare_prefix "$user_prefix"
export WINEPREFIX="$user_prefix"
# The display comes first: the prefix's first Wine program starts its desktop
# on the display it finds, and every later window needs one.
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  start_xvfb
  echo "No display found: Marrowfin runs in Xvfb on $DISPLAY"
  trap stop_xvfb EXIT
fi
# The tray icon control is a COM class: the library registers itself, as a
# Windows user would with "regsvr32 Sabledrift.dll" beside Marrowfin.exe.
"$wine64" regsvr32 /s "$build/bin/Sabledrift.dll" </dev/null >/dev/null 2>&1 ||
  echo "run: registering Sabledrift.dll failed; Marrowfin will run without its tray icon" >&2
"$wine64" "$build/bin/Marrowfin.exe"
