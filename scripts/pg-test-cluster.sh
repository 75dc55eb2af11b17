#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests.
#
#   eval "$(scripts/pg-test-cluster.sh start)"   # prints the exports
#   ... run the tests ...
#   scripts/pg-test-cluster.sh stop               # uses VL_PG_CLUSTER_DIR
#
# The cluster lives in a temporary folder of its own and listens on no
# network address, only on a socket in that folder, on a port number
# chosen for this run, so it can never meet another server or another
# run. Local connections are trusted, except for the roles vl_pw_test,
# which must give its password (the tests use it to see how a refused
# password is reported), and vl_clear_test, which must give it in clear
# (to see that no password goes to a server only a file named). Run as
# root, the server runs as the postgres user, since PostgreSQL refuses to
# run as root.
set -euo pipefail

find_bin() {
  local name="$1" dir
  if command -v "$name" >/dev/null 2>&1; then
    command -v "$name"
    return
  fi
  for dir in /usr/lib/postgresql/*/bin; do
    if [[ -x "$dir/$name" ]]; then
      echo "$dir/$name"
      return
    fi
  done
  echo "pg-test-cluster: $name not found (install the postgresql package)" >&2
  exit 1
}

# Runs a command as the cluster's owner.
as_owner() {
  if [[ $(id -u) -eq 0 ]]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

start() {
  local initdb pg_ctl dir port owner
  initdb="$(find_bin initdb)"
  pg_ctl="$(find_bin pg_ctl)"
  dir="$(mktemp -d "${TMPDIR:-/tmp}/vl-pg-cluster.XXXXXX")"
  owner="$(id -un)"
  if [[ $(id -u) -eq 0 ]]; then
    owner=postgres
    chown postgres: "$dir"
  fi
  chmod 700 "$dir"
  # The port only names the socket file, which lies in our own folder;
  # a number of our own all the same, so nothing else can answer.
  port=$((20000 + (RANDOM * 32768 + RANDOM) % 30000))
  # A cluster that cannot be made or started leaves nothing behind.
  give_up() {
    cat "$1" >&2
    as_owner "$pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    rm -rf "$dir"
    exit 1
  }
  as_owner "$initdb" -D "$dir/data" -U postgres -E UTF8 --no-locale --auth=trust >"$dir/initdb.log" 2>&1 ||
    give_up "$dir/initdb.log"
  # The password rule comes before the rule that trusts everyone.
  as_owner sh -c "printf 'local all vl_pw_test scram-sha-256\nlocal all vl_clear_test password\n' | cat - '$dir/data/pg_hba.conf' >'$dir/data/pg_hba.new' && mv '$dir/data/pg_hba.new' '$dir/data/pg_hba.conf'"
  as_owner "$pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-p $port -k $dir -c listen_addresses=''" start >/dev/null ||
    give_up "$dir/server.log"
  echo "export VL_PG_CLUSTER_DIR='$dir'"
  echo "export PGHOST='$dir'"
  echo "export PGPORT='$port'"
  echo "export PGUSER='postgres'"
  echo "export PGDATABASE='postgres'"
  # The attribute view tests take a connection string of their own.
  echo "export VL_TEST_PG='host=$dir port=$port user=postgres dbname=postgres'"
  # A server is there: a PostgreSQL test that cannot reach it fails.
  echo "export VL_PG_TESTS_REQUIRED=1"
  echo "pg-test-cluster: started on socket $dir port $port (owner $owner)" >&2
}

stop() {
  local dir="${VL_PG_CLUSTER_DIR:-${1:-}}" pg_ctl
  if [[ -z "$dir" || ! -d "$dir/data" ]]; then
    echo "pg-test-cluster: no cluster to stop (VL_PG_CLUSTER_DIR is not set)" >&2
    return 0
  fi
  pg_ctl="$(find_bin pg_ctl)"
  as_owner "$pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null || true
  rm -rf "$dir"
  echo "pg-test-cluster: stopped and removed $dir" >&2
}

case "${1:-}" in
  start) start ;;
  stop) stop "${2:-}" ;;
  *)
    echo "usage: $0 start|stop [CLUSTER_DIR]" >&2
    exit 2
    ;;
esac
