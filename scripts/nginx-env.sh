# Sourced by the scripts that serve files over HTTP with Debian's nginx: a
# server of the script's own on a free loopback port, with its own
# configuration, pid file, temp folders and logs, so that the system's
# configuration and its server (if one runs) are never touched.
nginx_pid=""
nginx_port=""

# A port that is free now; nginx may still lose it to another program
# before it binds, which nginx_start answers by trying another.
free_loopback_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

nginx_write_config() {
  local root="$1" dir="$2" port="$3"
  cat >"$dir/nginx.conf" <<CONF
# Written by scripts/nginx-env.sh for one run.
daemon off;
# One process, running as the user who started it: no workers that switch
# to another user, who might not read the served folder.
master_process off;
pid $dir/nginx.pid;
error_log $dir/error.log notice;
events {
  worker_connections 64;
}
http {
  access_log $dir/access.log;
  client_body_temp_path $dir/temp/body;
  proxy_temp_path $dir/temp/proxy;
  fastcgi_temp_path $dir/temp/fastcgi;
  uwsgi_temp_path $dir/temp/uwsgi;
  scgi_temp_path $dir/temp/scgi;
  default_type application/octet-stream;
  types {
    text/plain info txt;
  }
  server {
    listen 127.0.0.1:$port;
    root $root;
  }
}
CONF
}

# nginx_start ROOT DIR: serves the folder ROOT on 127.0.0.1 at a free port,
# set in nginx_port; DIR gets the configuration, access.log, error.log and
# output.log (what nginx writes before it has read its configuration).
# Stop it with nginx_stop.
nginx_start() {
  local root="$1" dir="$2" port
  mkdir -p "$dir/temp"
  for _ in 1 2 3 4 5; do
    port="$(free_loopback_port)" || return 1
    nginx_write_config "$root" "$dir" "$port"
    : >"$dir/error.log"
    rm -f "$dir/nginx.pid"
    nginx -p "$dir" -c "$dir/nginx.conf" -e "$dir/error.log" </dev/null >"$dir/output.log" 2>&1 &
    nginx_pid=$!
    # nginx writes its pid file once it listens; a port that another program
    # took first ends it before. (A test connection could reach that other
    # program instead.)
    local tries=0
    while [ "$tries" -lt 100 ] && kill -0 "$nginx_pid" 2>/dev/null; do
      if [ -s "$dir/nginx.pid" ]; then
        nginx_port="$port"
        return 0
      fi
      sleep 0.1
      tries=$((tries + 1))
    done
    nginx_stop
    if ! grep -q "Address already in use" "$dir/error.log"; then
      break
    fi
  done
  cat "$dir/output.log" "$dir/error.log" >&2
  echo "nginx did not start" >&2
  return 1
}

nginx_stop() {
  if [ -n "$nginx_pid" ]; then
    kill "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
    nginx_pid=""
  fi
  return 0
}
