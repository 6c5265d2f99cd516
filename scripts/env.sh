# Sourced by the other scripts: where things are, and how Wine is run.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${MARROWFIN_BUILD:-$here/build}
# Tests run in their own prefix with a Wine virtual desktop: the desktop has a
# taskbar with a notification area, and windows need no window manager.
test_prefix="$build/wineprefix"
# The program itself runs in a prefix of plain windows on the user's display.
user_prefix="$build/wineprefix-user"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wine64=/usr/lib/wine/wine64

# prepare_prefix DIR [virtual-desktop]: creates the prefix once; quiet.
prepare_prefix() {
  local prefix=$1 desktop=${2:-}
  if [ ! -f "$prefix/system.reg" ]; then
    echo "setup: preparing the Wine prefix $prefix (takes a few seconds, once)"
    WINEPREFIX="$prefix" "$wine64" wineboot -i </dev/null >/dev/null 2>&1 || true
    if [ -n "$desktop" ]; then
      WINEPREFIX="$prefix" "$wine64" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f \
        </dev/null >/dev/null 2>&1
      WINEPREFIX="$prefix" "$wine64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default \
        /d 1280x1024 /f </dev/null >/dev/null 2>&1
    fi
    WINEPREFIX="$prefix" wineserver -w || true
  fi
}

# Starts the prefix's wine server and services ahead of any test, with no
# file descriptors of ours, so that no lingering service holds a test's output open.
warm_prefix() {
  WINEPREFIX="$1" wineserver -p >/dev/null 2>&1 || true
  WINEPREFIX="$1" "$wine64" wineboot </dev/null >/dev/null 2>&1 || true
}

# configure_and_build [target...]: everything, or only the targets named.
configure_and_build() {
  # ccache, where the machine has it, makes a second checkout's build cheap;
  # paths under the checkout are hashed relative to it.
  local launcher=()
  if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$here"
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
        -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-x86_64-w64-mingw32.cmake" >/dev/null
  local targets=()
  for t in "$@"; do targets+=(--target "$t"); done
  cmake --build "$build" -j"$(nproc)" "${targets[@]}"
}

# Starts a private Xvfb on a free display number and exports DISPLAY.
start_xvfb() {
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && return 0; sleep 0.1; done
  echo "Xvfb did not start" >&2
  return 1
}

stop_xvfb() {
  if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
