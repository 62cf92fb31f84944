#!/usr/bin/env bash
# Runs every benchmark program of a build folder. Each prints ratios against a reference that it
# measures in the same run.
set -euo pipefail
build=${1:?usage: run-bench.sh BUILD_DIR}
find "$build/bench" -type f -executable -name '*_bench' | sort | while read -r program; do
    echo "== $(basename "$program")"
    "$program"
done
