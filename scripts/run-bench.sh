#!/usr/bin/env bash
# Runs every benchmark program of a build folder. Each prints ratios against a reference that it
# measures in the same run.
#
#   run-bench.sh BUILD_DIR            the figures (make bench)
#   run-bench.sh BUILD_DIR --smoke    each program once at a small size, in seconds, so that one
#                                     that no longer runs fails the build (make test); its
#                                     figures mean nothing
set -euo pipefail
build=${1:?usage: run-bench.sh BUILD_DIR [--smoke]}
smoke=0
[ "${2:-}" = --smoke ] && smoke=1

# The small size of each program. A program without one fails the smoke run, so that every
# benchmark is run by it.
smoke_arguments() {
    case "$1" in
    collection_bench | hive_bench) echo "--benchmark_min_time=0.001" ;;
    generate_bench) echo "20 1 2" ;;
    generation_bench | schema_load_bench) echo "20 1" ;;
    file_write_bench) echo "50 1" ;;
    vbscript_bench) echo "--runs 1 --rounds 1 --no-python --no-lua" ;;
    login_bench) echo "1001 1" ;;
    *) return 1 ;;
    esac
}

here=$(cd "$(dirname "$0")" && pwd)
if [ $smoke -eq 0 ]; then
    # The script engine's benchmark compares with Lua 5.4 too; it skips that column without it.
    if ! command -v lua5.4 >/dev/null; then
        if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
            DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends lua5.4 ||
                echo "lua5.4 could not be installed: the Lua column is skipped"
        else
            echo "lua5.4 is missing (sudo apt-get install lua5.4): the Lua column is skipped"
        fi
    fi
fi
# The schema load and the logins are also measured on PostgreSQL and MariaDB: the servers of the
# db tests are started for them unless the environment already names servers to use (as
# run-tests.sh does while its servers run).
if [ -z "${QV_PG_CONNECTION:-}${QV_MARIADB_CONNECTION:-}" ] && [ -f "$here/db-servers.sh" ]; then
    source "$here/db-servers.sh"
    trap db_servers_stop EXIT
    db_servers_start || echo "the database servers did not start: their columns are skipped"
fi
failed=()
programs=$(find "$build/bench" -type f -executable -name '*_bench' | sort)
[ -n "$programs" ] || { echo "no benchmark programs in $build/bench"; exit 1; }
while read -r program; do
    name=$(basename "$program")
    if [ $smoke -eq 1 ]; then
        if ! arguments=$(smoke_arguments "$name"); then
            echo "== $name: no small size for it in scripts/run-bench.sh"
            failed+=("$name")
            continue
        fi
        echo "== $name $arguments"
        # shellcheck disable=SC2086 # the arguments are words
        "$program" $arguments || failed+=("$name")
        continue
    fi
    echo "== $name"
    "$program" || failed+=("$name")
    # Over tables of two columns, what a run does once per table weighs the most: growth faster
    # than the table count shows there first.
    if [ "$name" = generate_bench ]; then
        echo "== $name 1000 3 2"
        "$program" 1000 3 2 || failed+=("$name 1000 3 2")
    fi
done <<<"$programs"
if [ ${#failed[@]} -gt 0 ]; then
    echo "benchmarks that failed: ${failed[*]}"
    exit 1
fi
