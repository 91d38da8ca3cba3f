#!/usr/bin/env bash
# Builds kavrel and runs its main job on the bundled samples: the INI files
# in examples/ are read, filtered and written again as INI layout i2, in a
# fresh scratch directory.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$root/build" kavrel >/dev/null
out=$(mktemp -d "${TMPDIR:-/tmp}/kavrel-demo-XXXXXX")
cd "$out"
"$root/build/kavrel" "$root/examples/*.ini" /Format=i2 /MinSR=2000 /ConvCircular+
echo
echo "Output files in $out:"
ls -1 "$out"
