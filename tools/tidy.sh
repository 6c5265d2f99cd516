#!/usr/bin/env bash
# Runs clang-tidy (with the checks of .clang-tidy) over the given sources, or
# over every source of the program and the library when none are given.
# MinGW's C++ headers are used; clang's own builtin headers replace GCC's.
#   usage: tools/tidy.sh [file.cpp ...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${MARROWFIN_BUILD:-$here/build}
cmake -S "$here" -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
gcc=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
args=(--quiet -p "$build"
      --extra-arg=--target=x86_64-w64-mingw32 --extra-arg=-nostdinc++
      --extra-arg=-isystem"$gcc/include/c++"
      --extra-arg=-isystem"$gcc/include/c++/x86_64-w64-mingw32"
      --extra-arg=-isystem/usr/x86_64-w64-mingw32/include)
if [ $# -eq 0 ]; then
  mapfile -t files < <(cd "$here" && git ls-files '*.cpp' | grep -vE '^(tests|bench|tools)/')
else
  files=("$@")
fi
cd "$here"
out=$(printf '%s\n' "${files[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy "${args[@]}" 2>&1 \
  | grep -vE '^[0-9]+ warnings? (and [0-9]+ errors? )?generated|^Suppressed [0-9]+ warnings|^Use -header-filter' || true)
if [ -n "$out" ]; then
  printf '%s\n' "$out"
  exit 1
fi
echo "clang-tidy: ${#files[@]} files, no findings"
