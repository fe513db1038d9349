#!/usr/bin/env bash
# Configures and builds into the folder given (default: build).
#   scripts/build.sh [DIR] [CMAKE_ARGUMENTS...] [-- TARGET...]
# Arguments go to cmake; names after -- build those targets only (default: all).
# Every script configures build/ with the same flags, so that one command reuses
# what another compiled.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build}
shift || true
args=()
targets=()
while [ $# -gt 0 ]; do
  if [ "$1" = "--" ]; then shift; targets=("$@"); break; fi
  args+=("$1"); shift
done
# Line tables only: full debug info costs a fifth of the build and no test reads it.
cmake -S "$root" -B "$root/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" "${args[@]}" >/dev/null
if [ ${#targets[@]} -gt 0 ]; then
  cmake --build "$root/$dir" -j"$(nproc)" --target "${targets[@]}"
else
  cmake --build "$root/$dir" -j"$(nproc)"
fi
