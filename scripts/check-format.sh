#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from what clang-format (root .clang-format) makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
find src tests tools bench \( -name '*.h' -o -name '*.cpp' \) -print0 |
    xargs -0 -n 50 -P "$(nproc)" clang-format --dry-run --Werror
echo "clang-format: the tree is formatted"
