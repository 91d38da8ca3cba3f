#!/usr/bin/env bash
# A saved 5 MB LyngSat page read by kavrel as a whole process, against cat
# of the same file: CPU time of the process (perf stat, mean of 30 runs) when
# perf is there, else the median wall time of 31 runs.
#
#   ./scripts/bench-page.sh [path/to/kavrel]    (default: a Release build of this tree)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/bench-common.sh"
kavrel=$(realpath "$(bench_kavrel "${1:-}")")
work=$(mktemp -d "${TMPDIR:-/tmp}/kavrel-page-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
while [ "$(stat -c %s page.html 2>/dev/null || echo 0)" -lt 5000000 ]; do
  cat "$root/examples/lyngsat-sample.html" >>page.html
done
cp "$kavrel" ./kavrel
./kavrel page.html >/dev/null 2>&1 || true  # the page cache holds the page from here on

measure() {
  if command -v perf >/dev/null && perf stat -r 1 true >/dev/null 2>&1; then
    perf stat -r 30 "$@" 2>&1 >/dev/null | awk '/task-clock/ { printf "%.1f ms CPU\n", $1 }'
  else
    for _ in $(seq 31); do
      local start=$(date +%s%N)
      "$@" >/dev/null 2>&1
      echo $(( ($(date +%s%N) - start) / 1000 ))
    done | sort -n | awk '{ t[NR] = $1 } END { printf "%.1f ms wall\n", t[16] / 1000 }'
  fi
}
echo "page: $(stat -c %s page.html) bytes"
echo "kavrel page.html: $(measure ./kavrel page.html)"
echo "cat page.html:    $(measure cat page.html)"
echo "kavrel alone:     $(measure ./kavrel)"
