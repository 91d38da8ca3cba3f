# Pieces the whole-process benchmark scripts share; sourced, not run.

# The kavrel to measure: the path given, or a Release build of this tree
# (build-release/kavrel).
bench_kavrel() {
  if [ -n "${1:-}" ]; then
    echo "$1"
    return
  fi
  local root build
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  build="$root/build-release"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVREL_TESTS=OFF >/dev/null
  ninja -C "$build" kavrel >/dev/null
  echo "$build/kavrel"
}

# bench_start_nginx <work> <server block>: an nginx of its own that keeps
# everything in <work> (pid, log, temporary files) and serves the block,
# started as a daemon; stop it with bench_stop_nginx <work>.
bench_start_nginx() {
  local work=$1 server=$2
  mkdir -p "$work/temp"
  cat > "$work/nginx.conf" <<CONF
daemon on;
master_process on;
user $(id -un);
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections 256; }
http {
  access_log off;
  log_format bytes_sent '\$bytes_sent';
  client_body_temp_path $work/temp/body;
  proxy_temp_path $work/temp/proxy;
  fastcgi_temp_path $work/temp/fastcgi;
  uwsgi_temp_path $work/temp/uwsgi;
  scgi_temp_path $work/temp/scgi;
  types { text/html html; }
  $server
}
CONF
  nginx -c "$work/nginx.conf" -p "$work"
}

bench_stop_nginx() {
  if [ -f "$1/nginx.pid" ]; then kill "$(cat "$1/nginx.pid")" 2>/dev/null || true; fi
}
