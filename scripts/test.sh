#!/usr/bin/env bash
# Fresh machine to green tests: installs the dependencies, builds, runs the whole suite.
#   scripts/test.sh             normal build in build/
#   scripts/test.sh --sanitize  AddressSanitizer and UndefinedBehaviorSanitizer build in build-san/
#   scripts/test.sh --tsan      ThreadSanitizer build of the library and its thread tests in build-tsan/
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-san
  # -O0 and light debug info keep the instrumented build quick on small machines:
  # it compiles in about half the time of -O1, more than the slower tests cost.
  "$root/scripts/build.sh" "$dir" -DPLOVER_SANITIZE=ON -DPLOVER_TSAN=OFF -DPLOVER_TESTS=ON -DPLOVER_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g1"
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
elif [ "${1:-}" = "--tsan" ]; then
  dir=build-tsan
  "$root/scripts/build.sh" "$dir" -DPLOVER_TSAN=ON -DPLOVER_SANITIZE=OFF -DPLOVER_TESTS=ON -DPLOVER_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1"
  export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
else
  dir=build
  # The same configure as scripts/example.sh, so what it compiled is reused; the
  # tests and benchmarks are asked for and the sanitizers turned off, whatever an
  # earlier configure of the folder left (a cached TSan build runs the thread tests alone).
  "$root/scripts/build.sh" "$dir" -DPLOVER_TESTS=ON -DPLOVER_BENCH=ON -DPLOVER_SANITIZE=OFF -DPLOVER_TSAN=OFF
fi
# A folder configured without tests must not pass for a green run.
cd "$root/$dir" && ctest --output-on-failure --no-tests=error -j"$(nproc)"
