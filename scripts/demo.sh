#!/usr/bin/env bash
# Builds kavrel and runs its main job on the bundled samples, in a fresh
# scratch directory: a saved LyngSat page becomes an INI transponder file,
# and the sample INI files are filtered and converted into one XML
# satellites file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja >/dev/null
ninja -C "$root/build" kavrel >/dev/null
out=$(mktemp -d "${TMPDIR:-/tmp}/kavrel-demo-XXXXXX")
cd "$out"
set -x
"$root/build/kavrel" "$root/examples/lyngsat-sample.html" /Format=i2 /ProvInfo+
"$root/build/kavrel" "$root/examples/*.ini" /Format=x /MinSR=2000 /ConvCircular+
{ set +x; } 2>/dev/null
echo
echo "Output files in $out:"
ls -1 "$out"
