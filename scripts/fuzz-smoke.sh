#!/usr/bin/env bash
# A short run of every fuzz target of a fuzz build (cmake --preset fuzz) over its seeds: each seed
# is run first, then the fuzzer mutates them for a few seconds under a memory limit. A target that
# crashes, leaks, hangs or runs out of memory fails the run. The seed folders are never written:
# what a run finds goes to a scratch corpus that is thrown away.
# Usage: fuzz-smoke.sh BUILD_DIR [SECONDS_EACH]
set -euo pipefail
build=$(cd "${1:?usage: fuzz-smoke.sh BUILD_DIR [SECONDS_EACH]}" && pwd)
seconds=${2:-${QV_FUZZ_SMOKE_SECONDS:-5}}
list="$build/fuzzers.txt"
[ -f "$list" ] || { echo "no $list: configure with the fuzz preset first"; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
while IFS=$'\t' read -r name program options seeds; do
    [ -n "$name" ] || continue
    if [ ! -x "$program" ]; then
        echo "fuzz $name: $program is not built"; status=1; continue
    fi
    mkdir -p "$scratch/$name"
    start=$(date +%s)
    # shellcheck disable=SC2086 # options and seeds are space-separated lists
    if (cd "$scratch" && "$program" $options -max_total_time="$seconds" -print_final_stats=0 \
            "$scratch/$name" $seeds >"$scratch/$name.log" 2>&1); then
        runs=$(grep -oE '#[0-9]+' "$scratch/$name.log" | tail -1 || true)
        echo "fuzz $name: passed (${runs:-?} runs, $(($(date +%s) - start)) s)"
    else
        echo "fuzz $name: FAILED"; tail -40 "$scratch/$name.log"; status=1
    fi
done <"$list"
exit $status
