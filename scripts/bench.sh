#!/usr/bin/env bash
# Runs kavrel's benchmarks and prints their figures:
#  1. the Google Benchmark program (catalogue, profile files, formats,
#     page parsers), Release build;
#  2. a walk of 200 positions fetched from a local nginx, against curl
#     fetching the same 200 pages one after another (needs root: kavrel
#     fetches from port 80);
#     and the same over https (scripts/bench-https.sh);
#  3. peak resident memory for converting 200 satellites x 300
#     transponders into each format (/usr/bin/time -v);
#  4. a list file naming 200 INI files converted to each format, as whole
#     processes, against cp -r of the same files (scripts/bench-list.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build="$root/build-release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVREL_TESTS=OFF >/dev/null
ninja -C "$build" kavrel kavrel_bench >/dev/null
kavrel="$build/kavrel"
work=$(mktemp -d "${TMPDIR:-/tmp}/kavrel-bench-XXXXXX")
source "$root/scripts/bench-common.sh"
cleanup() {
  bench_stop_nginx "$work"
  rm -rf "$work"
}
trap cleanup EXIT

echo "== Machine"
echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo
echo "== Google Benchmark (Release)"
"$build/kavrel_bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  ${KAVREL_BENCH_FILTER:+--benchmark_filter="$KAVREL_BENCH_FILTER"} 2>/dev/null |
  awk '/_median/ { sub("_median", "", $1); printf "%-40s %10s %-3s\n", $1, $2, $3 }'

echo
echo "== Fetching 200 pages from a local nginx"
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: needs root to serve on port 80"
else
  addr=127.61.$((RANDOM % 200 + 20)).$((RANDOM % 200 + 20))
  mkdir -p "$work/site" "$work/kavrel" "$work/curl"
  config="$work/kavrel/kavrel.ini"
  echo "[lyngsat]" > "$config"
  for i in $(seq 0 199); do
    cp "$root/examples/lyngsat-sample.html" "$work/site/p$i.html"
    printf '%04d=http://%s/p%d.html\n' "$i" "$addr" "$i" >> "$config"
  done
  cp "$kavrel" "$work/kavrel/kavrel"
  bench_start_nginx "$work" "server { listen $addr:80; root $work/site; }"
  sleep 0.3
  cd "$work/kavrel"
  start=$(date +%s%N)
  ./kavrel '!l![0e-199e]' > walk.txt 2>/dev/null
  kavrel_ns=$(( $(date +%s%N) - start ))
  pages=$(grep -c '^Connection closed' walk.txt || true)
  [ "$pages" -eq 200 ] || { echo "only $pages of 200 pages fetched:"; tail -5 walk.txt; }
  cd "$work/curl"
  start=$(date +%s%N)
  for i in $(seq 0 199); do curl -s -o "p$i.html" "http://$addr/p$i.html"; done
  curl_ns=$(( $(date +%s%N) - start ))
  # One curl process for all 200 pages, one after another (it may keep its
  # connection open, which kavrel, closing every connection, does not).
  args=()
  for i in $(seq 0 199); do args+=(-o "q$i.html" "http://$addr/p$i.html"); done
  start=$(date +%s%N)
  curl -s "${args[@]}"
  curl1_ns=$(( $(date +%s%N) - start ))
  awk -v k="$kavrel_ns" -v c="$curl_ns" -v c1="$curl1_ns" 'BEGIN {
    printf "kavrel walk          %8.3f ms per page (one run: 200 pages fetched, parsed, INI written)\n", k / 200 / 1e6
    printf "curl, 200 runs       %8.3f ms per page (saved only)\n", c / 200 / 1e6
    printf "curl, one run        %8.3f ms per page (saved only, connection kept)\n", c1 / 200 / 1e6
    printf "kavrel / curl        %8.2f and %.2f (goal: at most 1.5)\n", k / c, k / c1 }'
fi

echo
echo "== A walk of 200 https pages from a local nginx (TLS), against curl"
"$root/scripts/bench-https.sh" "$kavrel"

echo
echo "== Peak memory: 200 satellites x 300 transponders"
mkdir -p "$work/ini"
awk -v dir="$work/ini" 'BEGIN {
  for (s = 0; s < 200; s++) {
    f = sprintf("%s/%04d.ini", dir, s * 10)
    printf "[SATTYPE]\n1=%04d\n2=Benchmark Satellite %d\n[DVB]\n0=300\n", s * 10, s > f
    for (t = 1; t <= 300; t++) printf "%d=%d,%s,%d,34\n", t, 10700 + t * 6, (t % 2 ? "H" : "V"), 27500 > f
    close(f)
  }
}'
for format in i1 x d t k; do
  mkdir -p "$work/out-$format"
  cd "$work/out-$format"
  rss=$(/usr/bin/time -v "$kavrel" "$work/ini/*.ini" "/Format=$format" 2>&1 >/dev/null |
        awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }')
  printf "/Format=%-3s %8.1f MB peak resident (goal: under 20 MB)\n" "$format" "$(echo "$rss / 1024" | bc -l)"
done

echo
echo "== A list file of 200 INI files x 300 transponders, whole processes"
"$root/scripts/bench-list.sh" "$kavrel"
