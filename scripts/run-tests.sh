#!/usr/bin/env bash
# Runs every test of one build folder: starts the database servers on loopback for the db
# tests, runs CTest and, where the folder has the benchmarks, each of them once at a small size
# while the servers still run, and stops the servers again.
set -euo pipefail
build=${1:?usage: run-tests.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/check-layers.sh"
if [ -f "$here/db-servers.sh" ]; then
    source "$here/db-servers.sh"
    trap db_servers_stop EXIT
    db_servers_start
fi
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 300
if [ -d "$build/bench" ]; then
    bash "$here/run-bench.sh" "$build" --smoke
fi
