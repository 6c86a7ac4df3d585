#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests.
#
#   pg-test-server.sh start        makes a cluster in a new temporary folder, starts it listening
#                                  only on a Unix socket inside that folder, and prints shell lines
#                                  that export VARDIMO_TEST_PG (a connection URI for the role
#                                  "vardimo", a superuser of the cluster) and VARDIMO_TEST_PG_DIR
#   pg-test-server.sh stop DIR     stops that server and removes the folder
#   pg-test-server.sh fixture-start FILE, fixture-stop FILE
#                                  the same for a ctest run: the URI (and the folder, when this run
#                                  started the server) go to FILE; a server already given by
#                                  VARDIMO_TEST_PG (scripts/test.sh starts one) is used as it is
#
# PostgreSQL refuses to run as root, so when started by root the server runs as the unprivileged
# system account vardimo-pg (created when missing). Nothing listens on a network port.
set -euo pipefail

account=vardimo-pg

pg_bin() {
    local dir
    for dir in /usr/lib/postgresql/*/bin; do
        [ -x "$dir/initdb" ] && { echo "$dir"; return; }
    done
    if command -v initdb >/dev/null; then dirname "$(command -v initdb)"; return; fi
    echo "pg-test-server: PostgreSQL is not installed (run scripts/install-deps.sh)" >&2
    exit 1
}

as_server() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u "$account" -- "$@"
    else
        "$@"
    fi
}

start() {
    local bin dir
    bin=$(pg_bin)
    if [ "$(id -u)" -eq 0 ] && ! id "$account" >/dev/null 2>&1; then
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$account"
    fi
    # /tmp, not TMPDIR: the server's account must reach the folder, and a socket path is short.
    dir=$(mktemp -d /tmp/vardimo-pg.XXXXXX)
    chmod 700 "$dir"
    [ "$(id -u)" -eq 0 ] && chown "$account:" "$dir"
    if ! as_server "$bin/initdb" -D "$dir/data" -U vardimo --auth=trust -E UTF8 --locale=C.UTF-8 \
        >"$dir/initdb.log" 2>&1; then
        cat "$dir/initdb.log" >&2
        rm -rf "$dir"
        exit 1
    fi
    # The superuser "vardimo" of the tests comes in without a password; every other role (a
    # Vardimo user of a database whose server holds the logons) must give its own, by SCRAM.
    as_server sh -c "printf 'local all vardimo trust\nlocal all all scram-sha-256\n' >'$dir/data/pg_hba.conf'"
    # fsync off: the cluster is thrown away after the run, and the tests then run at memory speed.
    if ! as_server "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-k $dir -c listen_addresses= -c fsync=off -c full_page_writes=off -c max_connections=200" \
        start >/dev/null; then
        cat "$dir/server.log" >&2 || true
        rm -rf "$dir"
        exit 1
    fi
    echo "export VARDIMO_TEST_PG='postgresql://vardimo@/postgres?host=$dir'"
    echo "export VARDIMO_TEST_PG_DIR='$dir'"
}

stop() {
    local dir=${1:-}
    [ -n "$dir" ] && [ -d "$dir" ] || { echo "pg-test-server: no server folder given" >&2; exit 1; }
    [ -f "$dir/data/PG_VERSION" ] || { echo "pg-test-server: $dir is not a test server" >&2; exit 1; }
    as_server "$(pg_bin)/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    rm -rf "$dir"
}

fixture_start() {
    local file=${1:?state file}
    if [ -n "${VARDIMO_TEST_PG:-}" ]; then
        echo "export VARDIMO_TEST_PG='$VARDIMO_TEST_PG'" >"$file"
        return
    fi
    start >"$file"
    cat "$file"
}

fixture_stop() {
    local file=${1:?state file} dir
    [ -f "$file" ] || return 0
    dir=$(sed -n "s/^export VARDIMO_TEST_PG_DIR='\(.*\)'$/\1/p" "$file")
    rm -f "$file"
    [ -z "$dir" ] || stop "$dir"
}

case "${1:-}" in
start) start ;;
stop) stop "${2:-}" ;;
fixture-start) fixture_start "${2:-}" ;;
fixture-stop) fixture_stop "${2:-}" ;;
*)
    echo "usage: $0 start | stop DIR | fixture-start FILE | fixture-stop FILE" >&2
    exit 2
    ;;
esac
