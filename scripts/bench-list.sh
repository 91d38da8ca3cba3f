#!/usr/bin/env bash
# Whole-process benchmark: a list file naming 200 INI files of 300
# transponders each, converted by kavrel to each format, against `cp -r`
# of the same files. Prints the median of RUNS runs (default 21) of each,
# and the median ratio of the rounds (goal: within 3x of cp -r).
#   scripts/bench-list.sh [path/to/kavrel]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/bench-common.sh"
kavrel=$(bench_kavrel "${1:-}")
work=$(mktemp -d "${TMPDIR:-/tmp}/kavrel-bench-list-XXXXXX")
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/ini"
awk -v dir="$work/ini" 'BEGIN {
  for (s = 0; s < 200; s++) {
    name = sprintf("%04d.ini", s * 10)
    f = dir "/" name
    printf "[SATTYPE]\n1=%04d\n2=Benchmark Satellite %d\n[DVB]\n0=300\n", s * 10, s > f
    for (t = 1; t <= 300; t++) printf "%d=%d,%s,%d,34\n", t, 10700 + t * 6, (t % 2 ? "H" : "V"), 27500 > f
    close(f)
    print dir "/" name > (dir "/../list.txt")
  }
}'

python3 - "$kavrel" "$work" "${RUNS:-21}" <<'PY'
import os, shutil, statistics, subprocess, sys, time
kavrel, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
formats = ["i1", "x", "d", "t", "k"]

def timed_ms(command, cwd):
    out = os.path.join(work, "out")
    shutil.rmtree(out, ignore_errors=True)
    os.mkdir(out)
    # Earlier runs' files are flushed first, so that no run pays for
    # another's writes.
    os.sync()
    start = time.perf_counter()
    subprocess.run(command(out), cwd=out if cwd else work, check=True, stdout=subprocess.DEVNULL)
    return (time.perf_counter() - start) * 1000

# cp and every format in each round, so that all of them meet the file
# system in the same state; the ratio is taken per round.
copies, times, ratios = [], {f: [] for f in formats}, {f: [] for f in formats}
for _ in range(runs):
    copy = timed_ms(lambda out: ["cp", "-r", os.path.join(work, "ini"), os.path.join(out, "ini")], False)
    copies.append(copy)
    for f in formats:
        ms = timed_ms(lambda out: [kavrel, "@" + os.path.join(work, "list.txt"), "/Format=" + f], True)
        times[f].append(ms)
        ratios[f].append(ms / copy)
print(f"cp -r of the 200 files          {statistics.median(copies):8.1f} ms")
for f in formats:
    print(f"kavrel @list.txt /Format={f:<3}     {statistics.median(times[f]):8.1f} ms  "
          f"{statistics.median(ratios[f]):4.1f}x cp -r (goal: at most 3x)")
PY
