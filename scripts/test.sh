#!/usr/bin/env bash
# Builds kavrel from scratch and runs the whole test suite.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build="${KAVREL_BUILD_DIR:-$root/build-test}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build"
cd "$build"
ctest --output-on-failure -j2 --timeout 300
