#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests, on 127.0.0.1 and a free port.
#   pg-cluster.sh start DIR   prints the variables to export (CGSYS_PG_*)
#   pg-cluster.sh stop DIR    stops the cluster and removes DIR
# As root the cluster runs as the postgres user (the server refuses root).
set -euo pipefail
cmd=${1:?start or stop}
dir=${2:?folder}
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -n "$bin" ] || { echo "PostgreSQL server not installed" >&2; exit 1; }

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

case "$cmd" in
start)
  mkdir -p "$dir"
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres "$dir"
    # The server user must reach the folder through its parent.
    chmod o+x "$(dirname "$dir")"
  fi
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()')
  pw=cgtest
  printf '%s\n' "$pw" > "$dir/pw"
  [ "$(id -u)" -eq 0 ] && chown postgres "$dir/pw"
  as_owner "$bin/initdb" -D "$dir/data" -U cgtest --pwfile="$dir/pw" -A scram-sha-256 -E UTF8 --locale=C.UTF-8 >"$dir/setup.log" 2>&1 \
    || { cat "$dir/setup.log" >&2; exit 1; }
  as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/data/server.log" -w -t 60 \
    -o "-h 127.0.0.1 -p $port -k $dir -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" start >>"$dir/setup.log" 2>&1 \
    || { cat "$dir/setup.log" "$dir/data/server.log" >&2; exit 1; }
  echo "CGSYS_PG_HOST=127.0.0.1"
  echo "CGSYS_PG_PORT=$port"
  echo "CGSYS_PG_USER=cgtest"
  echo "CGSYS_PG_PASSWORD=$pw"
  ;;
stop)
  if [ -d "$dir/data" ]; then
    as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir" "$dir.pw" "$dir/setup.log"
  ;;
*)
  echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
esac
