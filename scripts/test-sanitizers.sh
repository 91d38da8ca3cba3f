#!/usr/bin/env bash
# Builds kavrel and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer (clang) and runs the whole test suite; any
# report fails the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
command -v clang++ >/dev/null || { apt-get install -y -qq clang >/dev/null; }
build="$root/build-sanitize"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DKAVREL_SANITIZE=ON -DKAVREL_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build"
cd "$build"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --output-on-failure -j2 --timeout 600
