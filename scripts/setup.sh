#!/usr/bin/env bash
# Installs the Debian packages that are missing, only those.
#
#   scripts/setup.sh program   what building and running quorvane needs (make demo): the
#                              compiler and CMake, libxml2, libzip, unixODBC with the SQLite,
#                              PostgreSQL and MariaDB drivers, mdbtools and PCRE2, zip and sqlite3
#                              for the bundled package and demo database, and the locale data
#   scripts/setup.sh [all]     that and what the tests need (make test): GoogleTest and Google
#                              Benchmark, the PostgreSQL and MariaDB servers the database tests
#                              start, clang, clang-format and clang-tidy for the format and
#                              static-analysis checks, and libclang-rt for libFuzzer
set -euo pipefail
program_packages=(
    build-essential cmake ninja-build pkg-config
    libxml2-dev libzip-dev zip
    unixodbc-dev libsqliteodbc sqlite3 odbc-postgresql odbc-mariadb
    mdbtools-dev libpcre2-dev
    locales-all
)
test_packages=(
    libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev
    postgresql mariadb-server
    clang clang-format clang-tidy libclang-rt-14-dev
)
case "${1:-all}" in
program) packages=("${program_packages[@]}") ;;
all) packages=("${program_packages[@]}" "${test_packages[@]}") ;;
*)
    echo "usage: $0 [program|all]" >&2
    exit 2
    ;;
esac
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
