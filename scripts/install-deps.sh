#!/usr/bin/env bash
# Installs the Debian packages kavrel needs to build and test, when missing:
# the toolchain and libraries, and the servers the network tests start on
# loopback (nginx, tinyproxy) with curl for the fetch benchmark, and
# libdvbv5's own tools that check the channel files kavrel writes; man-db
# and dpkg-dev for the tests of the installed manual page and the package.
set -euo pipefail
packages=(cmake ninja-build g++ libgtest-dev libbenchmark-dev zlib1g-dev libssl-dev openssl ca-certificates nginx-light tinyproxy curl dvb-tools man-db dpkg-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
echo "Installing: ${missing[*]}"
# The servers are started by the tests themselves, on addresses of their
# own; the packages must not start system-wide services on port 80.
policy=/usr/sbin/policy-rc.d
made_policy=""
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $sudo_cmd tee "$policy" >/dev/null
  $sudo_cmd chmod +x "$policy"
  made_policy=1
fi
$sudo_cmd apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
[ -n "$made_policy" ] && $sudo_cmd rm -f "$policy"
exit 0
