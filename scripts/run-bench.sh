#!/usr/bin/env bash
# Runs every benchmark program of a build folder. Each prints ratios against a reference that it
# measures in the same run.
set -euo pipefail
build=${1:?usage: run-bench.sh BUILD_DIR}
# The script engine's benchmark compares with Lua 5.4 too; it skips that column without it.
if ! command -v lua5.4 >/dev/null; then
    if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends lua5.4 ||
            echo "lua5.4 could not be installed: the Lua column is skipped"
    else
        echo "lua5.4 is missing (sudo apt-get install lua5.4): the Lua column is skipped"
    fi
fi
# The schema load is also measured on PostgreSQL and MariaDB: the servers of the db tests are
# started for it unless the environment already names servers to use.
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${QV_PG_CONNECTION:-}${QV_MARIADB_CONNECTION:-}" ] && [ -f "$here/db-servers.sh" ]; then
    source "$here/db-servers.sh"
    trap db_servers_stop EXIT
    db_servers_start || echo "the database servers did not start: their columns are skipped"
fi
find "$build/bench" -type f -executable -name '*_bench' | sort | while read -r program; do
    echo "== $(basename "$program")"
    "$program"
    # Over tables of two columns, what a run does once per table weighs the most: growth faster
    # than the table count shows there first.
    if [ "$(basename "$program")" = generate_bench ]; then
        echo "== $(basename "$program") 1000 3 2"
        "$program" 1000 3 2
    fi
done
