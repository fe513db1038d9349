#!/usr/bin/env bash
# Fresh machine to running examples: installs the dependencies, builds, runs examples/example.c
# and then examples/edit_example.c, which edits the file the first one wrote.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
# Only the library and the examples: scripts/test.sh later builds the rest into the
# same folder, reusing them.
"$root/scripts/build.sh" build -DPLOVER_SANITIZE=OFF -DPLOVER_TSAN=OFF -- plover_example plover_edit_example
cd "$root/build" && ./plover_example && ./plover_edit_example
