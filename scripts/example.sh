#!/usr/bin/env bash
# Fresh machine to running example: installs the dependencies, builds, runs examples/example.c.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" build -DPLOVER_BENCH=OFF
cd "$root/build" && ./plover_example
