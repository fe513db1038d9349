#!/usr/bin/env bash
# Fuzzes the readers with libFuzzer, outside CI.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET ...]
# Installs clang 16 (the first Debian clang whose C++20 library support
# matches ours) and its fuzzing runtime when missing, builds build-fuzz/, seeds
# each target from openpyxl, XlsxWriter and our own writer, fuzzes, and merges
# what covers new code into tests/fuzz/corpus/, which the tests replay. A crash
# is left as build-fuzz/crash-* for a fix and a copy in tests/fuzz/regressions/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-300}
shift || true
"$root/scripts/install-deps.sh"
need=()
for p in clang-16 libclang-rt-16-dev python3-xlsxwriter; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
build=$root/build-fuzz
CC=clang-16 CXX=clang++-16 cmake -S "$root" -B "$build" -DPLOVER_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
(cd "$build" && ./tests/fuzz/plover_example >/dev/null)
/usr/bin/python3 "$root/tests/fuzz/make_seeds.py" "$build/seeds" "$build/example.xlsx" \
  "$root/tests/fuzz/base/base.xlsx"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(package content_types relationships workbook sheet sheet_relationships
                                     styles shared_strings table drawing comments vml)
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
for t in "${targets[@]}"; do
  mkdir -p "$build/corpus/$t" "$build/seeds/$t" "$root/tests/fuzz/corpus/$t"
  (cd "$build" && "./tests/fuzz/fuzz_$t" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
     -timeout=20 "corpus/$t" "seeds/$t" "$root/tests/fuzz/corpus/$t") || echo "fuzz_$t stopped: see $build"
  "$build/tests/fuzz/fuzz_$t" -merge=1 "$root/tests/fuzz/corpus/$t" "$build/corpus/$t" >/dev/null 2>&1 || true
done
