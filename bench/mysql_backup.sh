#!/usr/bin/env bash
# Dumps and compresses a 1 GiB database (one table of 5 million rows and a few small tables) with a MySQL
# task through CBackup, and times `mariadb-dump --single-transaction db | gzip -1 > file` on the same
# database (followed by a sync of its file, as the task syncs its archive), in turn in one process,
# ZOV_BENCH_RUNS times (default 3): min and median. The server is the
# tests' one (scripts/test-mysql-server.sh), started here.
# Usage: bench/mysql_backup.sh [build folder]   (ZOV_BENCH_ROWS and ZOV_BENCH_DIR override)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh

build=${1:-build-bench}
rows=${ZOV_BENCH_ROWS:-5000000}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOV_BUILD_TESTS=OFF -DZOV_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target mysql_backup_bench rar >/dev/null
bench=$(realpath "$build/bin/mysql_backup_bench")
rar=$(realpath "$build/program/rar")

work=$(mktemp -d "${ZOV_BENCH_DIR:-${TMPDIR:-/tmp}}/zovmysqlbench_XXXXXX")
server=$work/server
cleanup() {
  scripts/test-mysql-server.sh stop "$server" >/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
scripts/test-mysql-server.sh start "$server" >/dev/null
value() { sed -n "s/^$1=//p" "$server/server.ini"; }
socket=$(value Socket)
export ZOV_BENCH_MYSQL_PASSWORD
ZOV_BENCH_MYSQL_PASSWORD=$(value RootPassword)
client() {
  mariadb --no-defaults --default-character-set=utf8mb4 --socket="$socket" -uroot \
    --password="$ZOV_BENCH_MYSQL_PASSWORD" "$@"
}

# About 215 bytes a row in the dump.
client <<SQL
CREATE DATABASE bench CHARACTER SET utf8mb4;
USE bench;
CREATE TABLE orders (id INT PRIMARY KEY, customer CHAR(32), placed DATETIME, amount DECIMAL(12,2),
  note VARCHAR(200)) ENGINE=InnoDB;
INSERT INTO orders SELECT seq, MD5(seq), '2024-01-01' + INTERVAL (seq % 86400000) SECOND, (seq % 100000) / 100,
  CONCAT(REPEAT('lorem ipsum dolor ', 2 + seq % 6), SHA1(seq)) FROM seq_1_to_${rows};
CREATE TABLE customers (id INT PRIMARY KEY, name VARCHAR(60)) SELECT seq AS id, CONCAT('客户 ', seq) AS name
  FROM seq_1_to_1000;
CREATE TABLE settings (name VARCHAR(40) PRIMARY KEY, value TEXT);
INSERT INTO settings VALUES ('currency', 'EUR'), ('greeting', 'smile 😀');
SQL

mkdir -p "$work/program" "$work/storage"
export ZOV_PROGRAM_DIR="$work/program/"
mariadb-dump --no-defaults --socket="$socket" -uroot --password="$ZOV_BENCH_MYSQL_PASSWORD" bench >/dev/null

pipeline="mariadb-dump --no-defaults --socket='$socket' -uroot --password=\"\$ZOV_BENCH_MYSQL_PASSWORD\" \
  --single-transaction bench | gzip -1 > '$work/bench.sql.gz' && sync -f '$work/bench.sql.gz'"
sync
{ read -r pipe_min t_pipe; read -r task_min t_task; } < <("$bench" "$(value DefaultsFile)" "$socket" bench \
  "$work/storage" "$rar" "${ZOV_BENCH_RUNS:-3}" "$pipeline")

dump_mb=$(gzip -dc "$work/bench.sql.gz" | wc -c | awk '{printf "%.0f", $1 / 1048576}')
archive=$(find "$work/storage" -name 'bench_*.rar' -printf '%s\n' | head -1)
[ -n "$archive" ] || { echo "the task wrote no archive" >&2; exit 1; }
echo "database: $rows rows in the big table, dump $dump_mb MiB; medians (min: pipeline $pipe_min s, task $task_min s)"
echo "load: $(uptime | sed 's/.*load average: //')"
printf '%-44s %8.2f s  %8.1f MB/s  %6.0f MiB\n' "mariadb-dump --single-transaction | gzip -1" "$t_pipe" \
  "$(calc "$dump_mb / $t_pipe")" "$(calc "$(stat -c %s "$work/bench.sql.gz") / 1048576")"
printf '%-44s %8.2f s  %8.1f MB/s  %6.0f MiB\n' "MySQL task (CBackup)" "$t_task" "$(calc "$dump_mb / $t_task")" \
  "$(calc "$archive / 1048576")"
printf 'task / pipeline: %.2f (median), %.2f (min); target <= 1.2\n' "$(calc "$t_task / $t_pipe")" \
  "$(calc "$task_min / $pipe_min")"
