#!/usr/bin/env bash
# The MariaDB server of the tests: a fresh data folder, run as root on a private socket and a free port
# of 127.0.0.1, its root user reached only with the password below.
#
#   test-mysql-server.sh start STATE_DIR   starts it (a server left in STATE_DIR is stopped first) and
#                                          writes STATE_DIR/server.ini ([MYSQL] Socket, Port,
#                                          DefaultsFile, DataDir, RootPassword, Pid)
#   test-mysql-server.sh stop STATE_DIR    stops it and removes its files
set -euo pipefail

# Holds every character a shell, a format or an option file could take for its own.
readonly ROOT_PASSWORD='pa"ss $HOME %d \x `id` end'
readonly ROOT_PASSWORD_SQL='pa"ss $HOME %d \\x `id` end'
readonly START_SECONDS=60

usage() {
  echo "usage: $0 start|stop STATE_DIR" >&2
  exit 2
}

[[ $# -eq 2 ]] || usage
action=$1
state_dir=$(realpath -m "$2")
state_file=$state_dir/server.ini

state_value() {
  sed -n "s/^$1=//p" "$state_file" 2>/dev/null | head -n 1
}

stop_server() {
  [[ -f $state_file ]] || return 0
  local pid folder
  pid=$(state_value Pid)
  folder=$(state_value Folder)
  if [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 1 300); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
  fi
  [[ $folder == /tmp/zov-mariadb.* ]] && rm -rf -- "$folder"
  rm -f -- "$state_file"
}

free_port() {
  local port
  for _ in $(seq 1 50); do
    port=$((20000 + RANDOM % 40000))
    if ! ss -Hltn "sport = :$port" | grep -q .; then
      echo "$port"
      return 0
    fi
  done
  return 1
}

# Starts mariadbd on the folder's option file; its pid, or nothing when it did not come up.
run_server() {
  local folder=$1
  setsid mariadbd --defaults-file="$folder/my.cnf" </dev/null >"$folder/server.out" 2>&1 &
  local pid=$!
  for _ in $(seq 1 $((START_SECONDS * 10))); do
    if ! kill -0 "$pid" 2>/dev/null; then
      return 0
    fi
    if mariadb-admin --no-defaults --socket="$folder/mysqld.sock" -uroot ping >/dev/null 2>&1; then
      echo "$pid"
      return 0
    fi
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
}

start_server() {
  stop_server
  mkdir -p -- "$state_dir"
  local folder port pid=""
  folder=$(mktemp -d /tmp/zov-mariadb.XXXXXX)
  mariadb-install-db --no-defaults --user=root --datadir="$folder/data" --skip-test-db \
    --auth-root-authentication-method=socket >"$folder/install.out" 2>&1 || {
    cat "$folder/install.out" >&2
    rm -rf -- "$folder"
    return 1
  }
  for _ in 1 2 3 4 5; do
    port=$(free_port)
    cat >"$folder/my.cnf" <<EOF
[mysqld]
user=root
datadir=$folder/data
socket=$folder/mysqld.sock
pid-file=$folder/mysqld.pid
port=$port
bind-address=127.0.0.1
log-error=$folder/error.log
innodb_buffer_pool_size=256M
innodb_log_file_size=256M
innodb_flush_log_at_trx_commit=2
character-set-server=utf8mb4
collation-server=utf8mb4_general_ci
EOF
    pid=$(run_server "$folder")
    [[ -n $pid ]] && break
  done
  if [[ -z $pid ]]; then
    cat "$folder/error.log" >&2 || true
    rm -rf -- "$folder"
    return 1
  fi
  mariadb --no-defaults --socket="$folder/mysqld.sock" -uroot <<EOF
ALTER USER root@localhost IDENTIFIED VIA mysql_native_password USING PASSWORD('$ROOT_PASSWORD_SQL');
CREATE USER root@'127.0.0.1' IDENTIFIED VIA mysql_native_password USING PASSWORD('$ROOT_PASSWORD_SQL');
GRANT ALL PRIVILEGES ON *.* TO root@'127.0.0.1' WITH GRANT OPTION;
FLUSH PRIVILEGES;
EOF
  cat >"$state_file" <<EOF
[MYSQL]
Socket=$folder/mysqld.sock
Port=$port
DefaultsFile=$folder/my.cnf
DataDir=$folder/data
RootPassword=$ROOT_PASSWORD
Folder=$folder
Pid=$pid
EOF
  echo "MariaDB test server $pid on $folder/mysqld.sock and 127.0.0.1:$port"
}

case $action in
  start) start_server ;;
  stop) stop_server ;;
  *) usage ;;
esac
