#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS (default 20), two at
# a time. Corpora grow in build-fuzz/corpus/<target>, seeded from the test
# fixtures and the samples. Prints executions and the result per target;
# exits 1 when a target found a crash, leaving its input in
# build-fuzz/artifacts/.
set -euo pipefail
seconds=${1:-20}
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
command -v clang++ >/dev/null || { apt-get install -y -qq clang >/dev/null; }
build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DKAVREL_FUZZ=ON -DKAVREL_TESTS=OFF \
  -DKAVREL_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" >/dev/null
corpus="$build/corpus"
mkdir -p "$corpus" "$build/artifacts" "$build/logs"

seed() {  # seed <target> <files...>
  mkdir -p "$corpus/$1"
  local target=$1; shift
  for f in "$@"; do [ -f "$f" ] && cp "$f" "$corpus/$target/seed-$(basename "$f")"; done
  return 0
}
seed_text() {  # seed_text <target> <name> <text>
  mkdir -p "$corpus/$1"
  printf '%b' "$3" > "$corpus/$1/seed-$2"
}

# Seeds: the samples, the test fixtures, and files the program itself writes.
seeds=$(mktemp -d)
trap 'rm -rf "$seeds"' EXIT
(cd "$seeds" && "$build/kavrel" "$root/examples/*.ini" /Format=x >/dev/null &&
  "$build/kavrel" "$root/examples/*.ini" /Format=d >/dev/null &&
  "$build/kavrel" "$root/examples/*.ini" /Format=i3 /DSS+ /ProvInfo+ >/dev/null)
seed ini_reader_fuzz "$root"/examples/*.ini "$seeds"/*.ini
seed profile_file_fuzz "$root"/examples/*.ini "$seeds"/*.ini
seed_text profile_file_fuzz config "[Common]\nAcceptKu=on\nMinSR=0x10\n[lyngsat]\n0130=http://x/a.html\n-0300=http://x/b.html\n"
seed xml_reader_fuzz "$seeds"/*.xml
seed xml_reader_fuzz "$root"/tests/data/xml/*
seed dll_reader_fuzz "$seeds"/*.dll
seed dvbv5_reader_fuzz "$root"/tests/data/dvbv5/*
for site in lyngsat kingofsat flysat satcodx telesputnik; do
  seed "${site}_parser_fuzz" "$root/examples/$site-sample.html" "$root"/tests/data/pages/"$site"/*
done
seed lyngsat_today_parser_fuzz "$root"/tests/data/pages/lyngsat/today*.html "$root/tests/data/pages/lyngsat/unreadable.html" \
  "$root/examples/lyngsat-sample.html"
seed kingofsat_today_parser_fuzz "$root"/tests/data/pages/kingofsat/* "$root/examples/kingofsat-sample.html"
seed_text option_parser_fuzz options "/Ku- /C+ /Format=i2 /MinSR=0x10 /Proxya=u:p@h:80 /Proxy=h:1 /DVBS2- /S"
seed_text decode_chunked_fuzz chunked "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1a\r\nabcdefghijklmnopqrstuvwxyz\r\n10\r\n0123456789abcdef\r\n0\r\n\r\n"
seed_text decode_chunked_fuzz plain "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html></html>\n"
seed_text decode_chunked_fuzz secure "HTTP/1.1 200 OK\r\ntransfer-encoding: gzip, Chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n"
seed_text response_head_fuzz redirect "HTTP/1.1 301 Moved\r\nLocation: ../x/./y.php?p=1\r\nContent-Length: 0\r\n\r\n"
seed_text response_head_fuzz retry "HTTP/1.1 503 Busy\r\nRetry-After: 5\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
gzip -c "$root/examples/lyngsat-sample.html" > "$seeds/page.gz"
seed gunzip_fuzz "$seeds/page.gz" "$root/examples/kingofsat-sample.html"
seed_text position_range_fuzz range "[300w-970e]"
seed_text position_range_fuzz wrap "[192e-130e]"
seed_text local_page_name_fuzz script "http://t.example/television/freq-tab.pl?sat=30"
seed_text local_page_name_fuzz dir "http://s.example/0130/usa/"
seed_text page_cache_entry_fuzz entry "kavrel page cache 1\naddress https://h.example/13.0E.html\netag \"5f3-6a1b\"\nlast-modified Tue, 08 Dec 2026 10:00:00 GMT\nlength 6\n\n<html>"

run_one() {
  local target=$1 seconds=$2 build=$3
  local log="$build/logs/$target.log"
  if "$build/$target" "$build/corpus/$target" -max_total_time="$seconds" -max_len=65536 \
      -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$target-" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
  fi
  execs=$(awk '/stat::number_of_executed_units/ { print $NF }' "$log")
  printf '%-28s %12s execs  %s\n' "$target" "${execs:-?}" "$result"
}
export -f run_one
targets=$(cd "$build" && ls *_fuzz)
echo "Fuzzing each target for $seconds s, two at a time:"
printf '%s\n' $targets | xargs -P 2 -I{} bash -c "run_one {} $seconds '$build'" | tee "$build/logs/summary.txt"
if grep -q FAILED "$build/logs/summary.txt"; then
  echo "Crashes found; inputs in $build/artifacts/, logs in $build/logs/"
  exit 1
fi
