#!/usr/bin/env bash
# Whole-process benchmark of secure pages: a walk of 200 positions (keys
# 0001 to 0200 of the page table) whose pages, a LyngSat page padded to
# about 100 KB and sent gzip-compressed, come from a local nginx over https,
# against curl fetching the same 200 pages one process per page.
# Certificates come from an authority made for the run; kavrel trusts it
# through SSL_CERT_FILE, curl through --cacert. Prints the median of RUNS
# runs (default 3) of each, totals and per page. Then the same walk again
# with the pages kept from the walk before (the server answers 304): its
# time, and the bytes received against the first walk's, as nginx counts
# them (HTTP heads and bodies) and as read from the sockets (with TLS).
#   scripts/bench-https.sh [path/to/kavrel]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/bench-common.sh"
kavrel=$(bench_kavrel "${1:-}")
work=$(mktemp -d "${TMPDIR:-/tmp}/kavrel-bench-https-XXXXXX")
cleanup() {
  bench_stop_nginx "$work"
  rm -rf "$work"
}
trap cleanup EXIT

# A port above 1023 on an address of its own: no root needed, and nothing
# else on the machine answers there.
addr=127.62.$((RANDOM % 200 + 20)).$((RANDOM % 200 + 20))
port=8443
origin="https://$addr:$port"

mkdir -p "$work/ca" "$work/site" "$work/bin"
(
  cd "$work/ca"
  key=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
  openssl req -x509 "${key[@]}" -keyout ca.key -out ca.pem -days 2 -subj "/CN=kavrel bench authority" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign
  openssl req -new "${key[@]}" -keyout server.key -out server.csr -subj "/CN=kavrel bench server"
  printf 'basicConstraints = CA:FALSE\nextendedKeyUsage = serverAuth\nsubjectAltName = IP:%s\n' "$addr" > server.ext
  openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile server.ext \
    -out server.pem
) >"$work/openssl.log" 2>&1 || { cat "$work/openssl.log"; exit 1; }
export SSL_CERT_FILE="$work/ca/ca.pem"

# The sample page padded with a comment of varied lines, so that gzip has
# about as much to do as on a real page.
awk -v sample="$root/examples/lyngsat-sample.html" 'BEGIN {
  while ((getline line < sample) > 0) {
    if (line ~ /<\/body>/) {
      print "<!--"
      for (i = 0; size < 96000; i++) {
        row = sprintf("<tr><td>%d %s</td><td>%d</td><td>Network %d</td></tr>", 10700 + i * 7 % 2050,
                      (i % 2 ? "H" : "V"), 22000 + i * 13 % 8000, i * 31 % 997)
        print row
        size += length(row) + 1
      }
      print "-->"
    }
    print line
  }
}' > "$work/page.html"
config="$work/bin/kavrel.ini"
printf '[Common]\nPageDelay=0\n[lyngsat]\n' > "$config"
for i in $(seq 1 200); do
  cp "$work/page.html" "$work/site/p$i.html"
  printf '%04d=%s/p%d.html\n' "$i" "$origin" "$i" >> "$config"
done
cp "$kavrel" "$work/bin/kavrel"

bench_start_nginx "$work" "server {
    listen $addr:$port ssl;
    ssl_certificate $work/ca/server.pem;
    ssl_certificate_key $work/ca/server.key;
    root $work/site;
    gzip on;
    access_log $work/access.log bytes_sent;
  }"
curl -s --retry 20 --retry-connrefused --retry-delay 0 --cacert "$SSL_CERT_FILE" -o /dev/null "$origin/p1.html"

python3 - "$work" "$origin" "${RUNS:-3}" <<'PY'
import os, shutil, statistics, subprocess, sys, time
work, origin, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
pages = 200

def fresh(name):
    path = os.path.join(work, name)
    shutil.rmtree(path, ignore_errors=True)
    os.mkdir(path)
    return path

kavrel = os.path.join(work, "bin", "kavrel")
cache = os.path.join(work, "bin", "cache")
access_log = os.path.join(work, "access.log")

def kavrel_ms(kept=False, wrapper=()):
    """One walk; without `kept` the page cache is emptied first."""
    if not kept:
        shutil.rmtree(cache, ignore_errors=True)
    out = fresh("walk")
    open(access_log, "w").close()
    start = time.perf_counter()
    walk = subprocess.run([*wrapper, kavrel, "!l![1e-200e]"], cwd=out, check=True,
                          capture_output=True, text=True).stdout
    ms = (time.perf_counter() - start) * 1000
    fetched = walk.count("\nConnection closed\n")
    not_modified = walk.count("\nNot modified since it was kept")
    if fetched != pages or "Error: " in walk or not_modified != (pages if kept else 0):
        sys.exit(f"kavrel fetched {fetched} of {pages} pages ({not_modified} not modified):\n" + walk[-2000:])
    return ms

def http_bytes():
    time.sleep(0.2)  # nginx logs a request after its answer
    with open(access_log) as log:
        return sum(int(line) for line in log if line.strip())

def socket_bytes(kept):
    """Bytes kavrel read from its sockets in one walk, TLS records and all."""
    trace = os.path.join(work, "strace.log")
    kavrel_ms(kept, ("strace", "-f", "-yy", "-e", "trace=read,recvfrom", "-o", trace))
    total = 0
    with open(trace) as lines:
        for line in lines:
            if "TCP:[" in line and "= " in line:
                value = line.rsplit("= ", 1)[1].split()[0]
                if value.isdigit():
                    total += int(value)
    return total

def curl_ms():
    out = fresh("curl")
    start = time.perf_counter()
    for i in range(1, pages + 1):
        subprocess.run(["curl", "-s", "--compressed", "--cacert", os.environ["SSL_CERT_FILE"],
                        "-o", os.path.join(out, f"p{i}.html"), f"{origin}/p{i}.html"], check=True)
    return (time.perf_counter() - start) * 1000

# Both in each round, so that they meet the machine in the same state.
kavrels, curls = [], []
for _ in range(runs):
    kavrels.append(kavrel_ms())
    curls.append(curl_ms())
size = os.path.getsize(os.path.join(work, "page.html")) // 1024
k, c = statistics.median(kavrels), statistics.median(curls)
print(f"{pages} pages of {size} KB over https, median of {runs} runs")
print(f"kavrel walk, one process     {k:8.1f} ms total  {k / pages:6.2f} ms per page (fetched, parsed, INI written)")
print(f"curl, one process per page   {c:8.1f} ms total  {c / pages:6.2f} ms per page (saved only)")
print(f"kavrel / curl                {k / c:8.2f}")

# The walk again with every page kept from the walk before.
kavrel_ms()
warm = [kavrel_ms(kept=True) for _ in range(runs)]
kavrel_ms()
cold_http = http_bytes()
kavrel_ms(kept=True)
warm_http = http_bytes()
w = statistics.median(warm)
print(f"kavrel walk, pages kept      {w:8.1f} ms total  {w / pages:6.2f} ms per page; first walk / kept walk {k / w:5.2f}")
print(f"HTTP bytes received          {cold_http:8d} first walk  {warm_http:8d} kept walk ({100 * warm_http / cold_http:.1f}%)")
import shutil as _which
if _which.which("strace"):
    cold_wire, warm_wire = socket_bytes(False), socket_bytes(True)
    print(f"socket bytes received        {cold_wire:8d} first walk  {warm_wire:8d} kept walk ({100 * warm_wire / cold_wire:.1f}%)")
PY
