# Database servers for the db tests: PostgreSQL and MariaDB on loopback, on fixed unusual ports,
# with their data under /tmp so that nothing of the machine's own servers is touched. Sourced by
# run-tests.sh, which calls db_servers_start before CTest and db_servers_stop at exit.
#
# db_servers_start exports what the tests read:
#   QV_PG_CONNECTION       ODBC connection string of the PostgreSQL maintenance database
#   QV_MARIADB_CONNECTION  ODBC connection string of the MariaDB server (no database chosen)
# The test user may create and drop databases, and end other sessions on them (pg_signal_backend);
# each test program makes its own and drops it.

QV_DB_DIR=${QV_DB_DIR:-/tmp/qv-db-servers}
QV_PG_PORT=${QV_PG_PORT:-55432}
QV_MARIADB_PORT=${QV_MARIADB_PORT:-53306}
QV_DB_USER=qv_test
# The password holds ";", "}" and "=" on purpose: every connection the tests open then proves that
# connection-string values are brace-quoted correctly.
QV_DB_PASSWORD='qv;pw}=1'

# ODBC drivers the tests use, registered in odbcinst.ini when the packages did not do it.
db_register_odbc_drivers() {
    command -v odbcinst >/dev/null || { echo "db-servers: odbcinst is missing (scripts/setup.sh installs it)" >&2; return 0; }
    local libdir
    libdir=$(dirname "$(find /usr/lib -name 'libsqlite3odbc.so' -print -quit 2>/dev/null || true)")
    local entries=(
        "SQLite3|libsqlite3odbc.so"
        "PostgreSQL Unicode|psqlodbcw.so"
        "MariaDB Unicode|libmaodbc.so"
    )
    local entry name library
    for entry in "${entries[@]}"; do
        name=${entry%%|*}
        library=${entry#*|}
        if odbcinst -q -d -n "$name" >/dev/null 2>&1; then
            continue
        fi
        if [ ! -e "$libdir/$library" ]; then
            echo "db-servers: ODBC driver library $library not found; skipping '$name'" >&2
            continue
        fi
        printf '[%s]\nDescription=%s\nDriver=%s\n' "$name" "$name" "$libdir/$library" >"$QV_DB_DIR/driver.ini"
        odbcinst -i -d -f "$QV_DB_DIR/driver.ini" >/dev/null
    done
}

db_pg_bin() {
    local bin
    bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
    [ -n "$bin" ] && echo "$bin"
}

db_pg_start() {
    local bin dir
    bin=$(db_pg_bin) || { echo "db-servers: PostgreSQL is not installed" >&2; return 1; }
    dir=$QV_DB_DIR/pg
    rm -rf "$dir"
    mkdir -p "$dir/run"
    printf '%s\n' "$QV_DB_PASSWORD" >"$dir/pwfile"
    chown -R postgres:postgres "$dir"
    runuser -u postgres -- "$bin/initdb" -D "$dir/data" -U postgres --pwfile="$dir/pwfile" \
        --auth-local=trust --auth-host=scram-sha-256 -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
        { cat "$dir/initdb.log" >&2; return 1; }
    runuser -u postgres -- "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-p $QV_PG_PORT -c listen_addresses=127.0.0.1 -k $dir/run -c fsync=off -c max_connections=200" \
        start >/dev/null || { cat "$dir/server.log" >&2; return 1; }
    # DROP DATABASE ... WITH (FORCE) ends every other process on the database first, and refuses
    # unless it may signal each of them: an autovacuum worker belongs to no role of the tests, so
    # without pg_signal_backend a test's drop fails whenever one happens to be working there.
    local sql="CREATE ROLE $QV_DB_USER LOGIN CREATEDB PASSWORD '${QV_DB_PASSWORD//\'/\'\'}';
               GRANT pg_signal_backend TO $QV_DB_USER;"
    runuser -u postgres -- "$bin/psql" -q -h "$dir/run" -p "$QV_PG_PORT" -U postgres -d postgres \
        -v ON_ERROR_STOP=1 -c "$sql" >/dev/null || return 1
    export QV_PG_CONNECTION="Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$QV_PG_PORT;Database=postgres;UID=$QV_DB_USER;PWD={${QV_DB_PASSWORD//\}/\}\}}}"
}

db_pg_stop() {
    local bin dir=$QV_DB_DIR/pg
    bin=$(db_pg_bin) || return 0
    if [ -f "$dir/data/postmaster.pid" ]; then
        runuser -u postgres -- "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
}

db_mariadb_start() {
    command -v mariadbd >/dev/null || command -v /usr/sbin/mariadbd >/dev/null ||
        { echo "db-servers: MariaDB is not installed" >&2; return 1; }
    local dir=$QV_DB_DIR/mariadb
    rm -rf "$dir"
    mkdir -p "$dir/data"
    chown -R mysql:mysql "$dir"
    mariadb-install-db --no-defaults --user=mysql --datadir="$dir/data" --skip-test-db \
        --auth-root-authentication-method=socket >"$dir/install.log" 2>&1 ||
        { cat "$dir/install.log" >&2; return 1; }
    /usr/sbin/mariadbd --no-defaults --user=mysql --datadir="$dir/data" --port="$QV_MARIADB_PORT" \
        --bind-address=127.0.0.1 --socket="$dir/mysqld.sock" --pid-file="$dir/mysqld.pid" \
        --log-error="$dir/server.log" --skip-name-resolve --innodb-flush-log-at-trx-commit=0 \
        --character-set-server=utf8mb4 --collation-server=utf8mb4_unicode_ci >/dev/null 2>&1 &
    local attempt
    for attempt in $(seq 1 60); do
        if mariadb-admin --no-defaults --socket="$dir/mysqld.sock" -u root ping >/dev/null 2>&1; then
            break
        fi
        sleep 0.5
    done
    local password=${QV_DB_PASSWORD//\\/\\\\}
    password=${password//\'/\\\'}
    mariadb --no-defaults --socket="$dir/mysqld.sock" -u root -e \
        "CREATE USER '$QV_DB_USER'@'%' IDENTIFIED BY '$password';
         GRANT ALL PRIVILEGES ON *.* TO '$QV_DB_USER'@'%';" ||
        { cat "$dir/server.log" >&2; return 1; }
    export QV_MARIADB_CONNECTION="Driver={MariaDB Unicode};Server=127.0.0.1;Port=$QV_MARIADB_PORT;UID=$QV_DB_USER;PWD={${QV_DB_PASSWORD//\}/\}\}}}"
}

db_mariadb_stop() {
    local dir=$QV_DB_DIR/mariadb
    if [ -f "$dir/mysqld.pid" ]; then
        local pid
        pid=$(cat "$dir/mysqld.pid")
        kill "$pid" 2>/dev/null || true
        local attempt
        for attempt in $(seq 1 60); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.5
        done
    fi
    rm -rf "$dir"
}

db_servers_start() {
    mkdir -p "$QV_DB_DIR"
    chmod 755 "$QV_DB_DIR"
    db_register_odbc_drivers
    db_pg_stop
    db_mariadb_stop
    db_pg_start
    db_mariadb_start
    echo "db-servers: PostgreSQL on 127.0.0.1:$QV_PG_PORT, MariaDB on 127.0.0.1:$QV_MARIADB_PORT"
}

db_servers_stop() {
    db_pg_stop
    db_mariadb_stop
}
