#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing: clang,
# clang-format and clang-tidy for the format and static-analysis checks, and libclang-rt for
# libFuzzer (the fuzz targets).
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    libxml2-dev libzip-dev zip
    unixodbc-dev libsqliteodbc sqlite3 libsqlite3-dev odbc-postgresql odbc-mariadb
    postgresql mariadb-server
    mdbtools-dev libpcre2-dev
    clang clang-format clang-tidy libclang-rt-14-dev
    locales-all
)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
