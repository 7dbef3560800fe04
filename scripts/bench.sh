#!/usr/bin/env bash
# Benchmarks a full qjsqlexe download against its peers on 1,000,000 rows:
# through ODBC against a bare ODBC fetch through the same driver and
# connection string and unixODBC's isql; through the native SQLite engine
# against the sqlite3 shell (sorted, to a file); a 10-row download for the
# start-up cost (native and ODBC, also against builds with shared ICU and C++
# runtime, and against the sqlite3 shell's 10 rows); and the same against
# PostgreSQL, through psqlODBC and the native engine, with psql \copy of the
# raw SELECT and psql's own formatted and sorted export as native peers.
# Every engine's download must be the same bytes.
# Prints wall time and peak RSS as median, min and max of several runs, and
# the ratios that matter.
#
#   scripts/bench.sh            all of it
#   QJ_BENCH_RUNS=3 scripts/bench.sh   fewer runs per figure (default 5)
#   QJ_BENCH_PG=0 scripts/bench.sh     without the PostgreSQL part
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${QJ_BENCH_RUNS:-5}
short_runs=$((runs * 4 + 1))  # the 10-row runs are short and noisier
with_pg=${QJ_BENCH_PG:-1}
build=$root/build-bench
cache=$root/bench/cache
work=$build/bench-run

scripts/setup.sh

# The tool runs under German settings: comma decimals, dd.MM.yyyy dates, the
# German collation for the sort.
tool_locale=(env -u LC_ALL -u LC_COLLATE -u LC_NUMERIC -u LC_TIME LANG=de_DE.UTF-8)

echo "== build (Release) in build-bench"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQJ_STATIC_RUNTIME=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target qjsqlexe bare_fetch sort_bench >/dev/null

mkdir -p "$cache"
db=$cache/items.db
if [ ! -f "$db" ]; then
  echo "== generating $db (once)"
  rm -f "$db.tmp"
  sqlite3 "$db.tmp" < bench/generate.sql >/dev/null
  mv "$db.tmp" "$db"
fi

rm -rf "$work"
mkdir -p "$work/odbc" "$work/tool" "$work/sqlite" "$work/sqlite-native" "$work/peers"
# The benchmark's own driver configuration, without the system's settings.
cat > "$work/odbc/odbcinst.ini" <<INI
[SQLite3]
Driver=libsqlite3odbc.so

[PostgreSQL Unicode]
Driver=psqlodbcw.so
INI
cat > "$work/odbc/odbc.ini" <<INI
[qjbench_sqlite]
Driver=SQLite3
Database=$db
NoCreat=1
StepAPI=1
INI
export ODBCSYSINI=$work/odbc ODBCINI=$work/odbc/odbc.ini

select_sql="SELECT name, id, price, day, stamp, name FROM items"
select10_sql="$select_sql WHERE id <= 10"
record_width=107
cp "$build/qjsqlexe" "$work/tool/qjsqlexe"
# Six fields: the name as CHAR, id and price as DEC, the date and the
# timestamp, and the name once more as TXT, untrimmed: 107 bytes a record under de_DE.
fields='FELD01=NAME
FTYP01=CHAR
FLEN01=30
FELD02=ID
FTYP02=DEC
FLEN02=8
FELD03=PRICE
FTYP03=DEC
FLEN03=10
FELD04=DAY
FTYP04=CHAR
FLEN04=10
FELD05=STAMP
FTYP05=CHAR
FLEN05=19
FELD06=NAME2
FTYP06=TXT
FLEN06=30'
make_query_ini() {  # dbsys
  cat > "$work/tool/qjsqlexe.$1.INI" <<INI
[GETFIR1]
SQL001=SELECT 1
FELD01=FIRMA
FTYP01=CHAR
FLEN01=4

[BENCH]
SQL001=$select_sql
$fields

[BENCH10]
SQL001=$select10_sql
$fields
INI
}
# Converted ini file: DB_SYSTEM, DATABASE (a connection string), LOGIN, PASS.
write_converted_ini() {  # dir dbsys connection user password
  printf 'x;QJ;\n1;DB_SYSTEM;%s\nx;QJ;\n2;DATABASE;%s\nx;QJ;\n3;LOGIN;%s\nx;QJ;\n4;PASS;%s\n' \
    "$2" "$3" "$4" "$5" > "$1/QJDNL00P.TXT"
}

# The figures are taken in rounds: each round runs every command of a group
# once, in turn, so that a slow spell of the (virtual) machine hits all of
# them alike. A command is the array CMD_<label> ("-" in a label becomes "_");
# EXPECT_COUNT[label] is the count message a tool run must print.
declare -A TIMES MEMS EXPECT_COUNT T_MED T_MIN T_MAX M_MED M_MIN M_MAX
stats() {  # numbers on stdin -> "median min max"
  sort -g | awk '{v[NR]=$1} END {printf "%s %s %s\n", v[int((NR+1)/2)], v[1], v[NR]}'
}
run_once() {  # LABEL: runs CMD_<label> once and keeps its wall time (s) and peak RSS (KB)
  local label=$1 start end
  local -n cmd="CMD_${label//-/_}"
  start=$(date +%s%N)
  if ! /usr/bin/time -f '%M' -o "$work/time.txt" "${cmd[@]}" >"$work/last.out" 2>"$work/last.err"; then
    echo "!! $label failed:" >&2; cat "$work/last.out" "$work/last.err" >&2; exit 1
  fi
  end=$(date +%s%N)
  if [ -s "$work/last.err" ]; then echo "!! $label wrote to stderr:" >&2; cat "$work/last.err" >&2; exit 1; fi
  if [ -n "${EXPECT_COUNT[$label]:-}" ] && ! grep -q "^${EXPECT_COUNT[$label]} Saetze kopiert in Datei " "$work/last.out"; then
    echo "!! $label: unexpected output:" >&2; cat "$work/last.out" >&2; exit 1
  fi
  TIMES[$label]+="$(awk -v a="$start" -v b="$end" 'BEGIN{printf "%.3f", (b - a) / 1e9}') "
  MEMS[$label]+="$(tail -n 1 "$work/time.txt") "
}
rounds() {  # COUNT LABEL...: COUNT rounds over the labels, then each label's figures
  local count=$1 i label; shift
  # One untimed round first: caches, the server's buffers and its first
  # checkpoint after the load are not part of any figure.
  for label in "$@"; do run_once "$label"; done
  for label in "$@"; do TIMES[$label]=""; MEMS[$label]=""; done
  for ((i = 0; i < count; i++)); do
    for label in "$@"; do run_once "$label"; done
  done
  for label in "$@"; do
    read -r T_MED[$label] T_MIN[$label] T_MAX[$label] < <(printf '%s\n' ${TIMES[$label]} | stats)
    read -r M_MED[$label] M_MIN[$label] M_MAX[$label] < <(printf '%s\n' ${MEMS[$label]} | stats)
    printf '%-10s %8.3f s (min %.3f, max %.3f)   peak RSS %6.1f MB (min %.1f, max %.1f)\n' "$label" \
      "${T_MED[$label]}" "${T_MIN[$label]}" "${T_MAX[$label]}" \
      "$(awk -v k="${M_MED[$label]}" 'BEGIN{print k/1024}')" "$(awk -v k="${M_MIN[$label]}" 'BEGIN{print k/1024}')" \
      "$(awk -v k="${M_MAX[$label]}" 'BEGIN{print k/1024}')"
  done
}
# ratio A B TARGET: A over B within each round; the median of these, with
# their min and max, against the target ("-": none).
ratio() {
  local -a a=(${TIMES[$1]}) b=(${TIMES[$2]})
  local i per=()
  for ((i = 0; i < ${#a[@]}; i++)); do per+=("$(awk -v x="${a[i]}" -v y="${b[i]}" 'BEGIN{printf "%.4f", x / y}')"); done
  read -r med lo hi < <(printf '%s\n' "${per[@]}" | stats)
  awk -v r="$med" -v lo="$lo" -v hi="$hi" -v target="$3" -v what="$1 / $2" \
    'BEGIN { printf "%-40s %5.2f (min %.2f, max %.2f)", what, r, lo, hi
             if (target == "-") print ""; else printf "  target <= %s  %s\n", target, (r <= target ? "met" : "MISSED") }'
}

make_query_ini SQLITE
sqlite_conn="DRIVER=SQLite3;Database=$db;NoCreat=1;StepAPI=1"
write_converted_ini "$work/sqlite" SQLITE "$sqlite_conn" bench bench
write_converted_ini "$work/sqlite-native" SQLITE "file:$db" bench bench
cat "$db" > /dev/null  # into the page cache before the first timed run

echo "$select_sql" > "$work/peers/query.sql"
CMD_full=("${tool_locale[@]}" "$work/tool/qjsqlexe" BENCH T1 "$work/sqlite/download.txt" 1)
EXPECT_COUNT[full]=1000000
CMD_bare=("$build/bare_fetch" "$sqlite_conn;UID=bench;PWD=bench" "$select_sql")
CMD_isql=(sh -c 'exec isql -b -d, qjbench_sqlite < "$1" > "$2"' sh "$work/peers/query.sql" "$work/peers/isql.txt")
CMD_sqlite3=(sqlite3 "$db" ".output $work/peers/sqlite3.txt" "$select_sql ORDER BY name COLLATE NOCASE")
CMD_native=("${tool_locale[@]}" "$work/tool/qjsqlexe" BENCH T1 "$work/sqlite-native/download.txt" 1)
EXPECT_COUNT[native]=1000000
CMD_full_10=("${tool_locale[@]}" "$work/tool/qjsqlexe" BENCH10 T1 "$work/sqlite/download10.txt" 1)
EXPECT_COUNT[full-10]=10
CMD_native_10=("${tool_locale[@]}" "$work/tool/qjsqlexe" BENCH10 T1 "$work/sqlite-native/download10.txt" 1)
EXPECT_COUNT[native-10]=10
CMD_bare_10=("$build/bare_fetch" "$sqlite_conn;UID=bench;PWD=bench" "$select10_sql")
CMD_sqlite3_10=(sqlite3 "$db" ".output $work/peers/sqlite3-10.txt" "$select10_sql ORDER BY name COLLATE NOCASE")

echo "== SQLite, 1,000,000 rows, $runs rounds (full: ODBC, native: the native engine)"
rounds "$runs" full native bare isql sqlite3
download_bytes=$(stat -c %s "$work/sqlite/download.txt")
download_sum=$(sha256sum < "$work/sqlite/download.txt" | cut -c1-16)
echo "== SQLite, 10 rows, $short_runs rounds"
rounds "$short_runs" full-10 native-10 bare-10 sqlite3-10

# Start-up: the executable as built (ICU and the C++ runtime linked in, see
# QJ_STATIC_RUNTIME) against the same with every library shared, lazily and
# immediately bound. Wall times in rounds; instruction counts from callgrind
# when valgrind is there, since a 10-row run is mostly noise on a busy machine.
startup_variants=(shared:-DQJ_STATIC_RUNTIME=OFF now:-DQJ_STATIC_RUNTIME=OFF:-DCMAKE_EXE_LINKER_FLAGS=-Wl,-z,now)
for variant in "${startup_variants[@]}"; do
  name=${variant%%:*}
  IFS=: read -r -a options <<< "${variant#*:}"
  cmake -S . -B "$build-$name" -DCMAKE_BUILD_TYPE=Release -DQJ_BUILD_TESTS=OFF "${options[@]}" >/dev/null
  cmake --build "$build-$name" -j"$(nproc)" --target qjsqlexe >/dev/null
  mkdir -p "$work/tool-$name"
  cp "$build-$name/qjsqlexe" "$work/tool-$name/qjsqlexe"
  cp "$work/tool/qjsqlexe.SQLITE.INI" "$work/tool-$name/"
  declare -n cmd_ref="CMD_${name}_10"
  cmd_ref=("${tool_locale[@]}" "$work/tool-$name/qjsqlexe" BENCH10 T1 "$work/sqlite/download10-$name.txt" 1)
  unset -n cmd_ref
  EXPECT_COUNT[$name-10]=10
done
echo "== start-up: 10-row download, linked in / shared / shared bound at once, $short_runs rounds"
rounds "$short_runs" full-10 shared-10 now-10
instructions() {  # LABEL: instructions of one run of CMD_<label> under callgrind
  local -n cmd="CMD_${1//-/_}"
  valgrind --tool=callgrind --trace-children=yes --callgrind-out-file=/dev/null "${cmd[@]}" 2>&1 >/dev/null |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p' | tail -n 1
}
if command -v valgrind >/dev/null; then
  ir_static=$(instructions full-10) ir_shared=$(instructions shared-10) ir_now=$(instructions now-10)
fi

echo "== sorting the download's 1,000,000 records as the run does (AddRecordLine, SortOutputLines), $runs runs"
sort_times=()
for ((i = 0; i < runs; i++)); do
  line=$("${tool_locale[@]}" "$build/sort_bench" "$work/sqlite/download.txt" "$record_width")
  echo "  $line"
  sort_times+=("$(sed -n 's/.*, sort \([0-9.]*\) s,.*/\1/p' <<< "$line")")
done
read -r sort_med sort_min sort_max < <(printf '%s\n' "${sort_times[@]}" | stats)

if [ "$with_pg" = 1 ]; then
  csv=$cache/items.csv
  if [ ! -f "$csv" ]; then
    sqlite3 -csv "$db" "SELECT id, name, price, day, stamp FROM items" > "$csv.tmp"
    mv "$csv.tmp" "$csv"
  fi
  pgdir=$(mktemp -d /tmp/qjsqlexe-bench-pg.XXXXXX)
  trap 'scripts/pg_server.sh stop "$pgdir"' EXIT
  eval "$(scripts/pg_server.sh start "$pgdir")"
  export PGPASSWORD=$QJ_PG_PASSWORD
  psql_args=(-X -q -v ON_ERROR_STOP=1 -h "$QJ_PG_HOST" -p "$QJ_PG_PORT" -U "$QJ_PG_USER" -d "$QJ_PG_DB")
  echo "== loading PostgreSQL"
  psql "${psql_args[@]}" -c "CREATE TABLE items(id integer PRIMARY KEY, name varchar(30) NOT NULL,
      price double precision, day date, stamp timestamp)" \
    -c "\\copy items FROM '$csv' WITH (FORMAT csv)" -c "VACUUM ANALYZE items"
  # The loaded rows flushed before the first run (a checkpoint is the superuser's).
  psql -X -q -h "$QJ_PG_SOCKET_DIR" -p "$QJ_PG_PORT" -U postgres -d "$QJ_PG_DB" -c "CHECKPOINT"
  make_query_ini PG
  mkdir -p "$work/pg"
  mkdir -p "$work/pg-native"
  pg_conn="DRIVER={PostgreSQL Unicode};Server=$QJ_PG_HOST;Port=$QJ_PG_PORT;Database=$QJ_PG_DB;UseDeclareFetch=1;Fetch=10000"
  write_converted_ini "$work/pg" PG "$pg_conn" "$QJ_PG_USER" "$QJ_PG_PASSWORD"
  write_converted_ini "$work/pg-native" PG "postgresql://$QJ_PG_HOST:$QJ_PG_PORT/$QJ_PG_DB" "$QJ_PG_USER" "$QJ_PG_PASSWORD"
  CMD_pg_full=("${tool_locale[@]}" "$work/tool/qjsqlexe" BENCH T1 "$work/pg/download.txt" 1)
  EXPECT_COUNT[pg-full]=1000000
  CMD_pg_native=("${tool_locale[@]}" "$work/tool/qjsqlexe" BENCH T1 "$work/pg-native/download.txt" 1)
  EXPECT_COUNT[pg-native]=1000000
  CMD_pg_bare=("$build/bare_fetch" "$pg_conn;UID=$QJ_PG_USER;PWD=$QJ_PG_PASSWORD" "$select_sql")
  CMD_pg_psql=(psql "${psql_args[@]}" -c "\\copy ($select_sql) TO '$work/peers/psql.txt'")
  # psql's own download: the server formats the same fields and sorts by the
  # German ICU collation.
  fmt_sql="SELECT rpad(name, 30) || lpad(id::text, 8, '0') || lpad(replace(price::text, '.', ','), 10, '0')
    || coalesce(to_char(day, 'DD.MM.YYYY'), rpad('', 10))
    || coalesce(to_char(stamp, 'DD.MM.YYYY HH24:MI:SS'), rpad('', 19)) || rpad(name, 30)
    FROM items ORDER BY name COLLATE \"de-DE-x-icu\""
  CMD_pg_psql_fmt=(psql "${psql_args[@]}" -c "\\copy ($fmt_sql) TO '$work/peers/psql-fmt.txt'")
  echo "== PostgreSQL, 1,000,000 rows, $runs rounds (pg-full: psqlODBC, pg-native: the native engine)"
  rounds "$runs" pg-full pg-native pg-bare pg-psql pg-psql-fmt
  pg_sum=$(sha256sum < "$work/pg/download.txt" | cut -c1-16)
fi

echo "== ratios (per round; median, min and max)"
ratio full bare 1.7
ratio full isql 1.15
ratio full-10 bare-10 2
awk -v m="$sort_med" -v lo="$sort_min" -v hi="$sort_max" 'BEGIN {
  printf "%-40s %5.3f s (min %.3f, max %.3f)  target <= 0.5 s  %s\n", "SortOutputLines, 1,000,000 records",
    m, lo, hi, (m <= 0.5 ? "met" : "MISSED") }'
ratio full sqlite3 "-"
ratio native sqlite3 0.8
ratio native-10 sqlite3-10 2
ratio native full "-"
ratio full-10 shared-10 "-"
ratio full-10 now-10 "-"
if [ -n "${ir_static:-}" ]; then
  awk -v a="$ir_static" -v b="$ir_shared" -v c="$ir_now" 'BEGIN {
    printf "%-40s %5.2f (%d / %d instructions)\n", "start-up instructions, linked in / shared", a / b, a, b
    printf "%-40s %5.2f (%d / %d instructions)\n", "start-up instructions, linked in / now", a / c, a, c }'
fi
if [ "$with_pg" = 1 ]; then
  ratio pg-full pg-bare 1.35
  ratio pg-full pg-psql "-"
  ratio pg-native pg-psql-fmt 0.5
  ratio pg-native pg-psql 2.0
  ratio pg-native pg-full "-"
fi
# Peak RSS of every engine against 1.5 x the download's size + 30 MB.
rss_labels=(full native)
if [ "$with_pg" = 1 ]; then rss_labels+=(pg-full pg-native); fi
for label in "${rss_labels[@]}"; do
  awk -v m="${M_MED[$label]}" -v lo="${M_MIN[$label]}" -v hi="${M_MAX[$label]}" -v d="$download_bytes" -v l="$label" 'BEGIN {
    limit = 1.5 * d / 1048576 + 30
    printf "%-40s %5.1f MB (min %.1f, max %.1f)  limit %.1f MB  %s\n", l " peak RSS", m / 1024, lo / 1024, hi / 1024,
      limit, (m / 1024 <= limit ? "met" : "MISSED") }'
done
# Every engine's download is the same bytes.
same() {  # FILE LABEL
  if cmp -s "$work/sqlite/download.txt" "$1"; then
    echo "the $2 download is identical to the SQLite ODBC download"
  else
    echo "!! the $2 download differs from the SQLite ODBC download" >&2
    exit 1
  fi
}
same "$work/sqlite-native/download.txt" "native SQLite"
cmp -s "$work/sqlite/download10.txt" "$work/sqlite-native/download10.txt" || { echo "!! the 10-row downloads differ" >&2; exit 1; }
if [ "$with_pg" = 1 ]; then
  echo "download SHA-256 (first 16): SQLite $download_sum, PostgreSQL $pg_sum"
  same "$work/pg/download.txt" "PostgreSQL ODBC"
  same "$work/pg-native/download.txt" "native PostgreSQL"
else
  echo "download SHA-256 (first 16): SQLite $download_sum"
fi

# Where a run's instructions go, stage by stage: the first 200,000 rows of the
# SQLite download under callgrind (instruction counts, not wall time, so that
# a busy machine does not blur them), against the bare fetch of the same rows.
# Stages: the fetch (ReadNext), the column values (TQuery::Field; beside the
# fetch, the copies of their buffers and the values built from them), their
# text forms (AppendValueText), the rest of the formatting (FormatRecordFrom, on
# the second thread for the records formatted beside), adding the records,
# the sort (its threads included) and the write; the rest holds the copies of
# the rows handed to the second thread. Instructions of every thread count
# alike: what runs beside the fetch saves time, not instructions. Off with
# QJ_BENCH_STAGES=0.
if [ "${QJ_BENCH_STAGES:-1}" = 1 ] && command -v valgrind >/dev/null; then
  stage_rows=200000
  stage_sql="$select_sql WHERE id <= $stage_rows"
  { printf '\n[STAGES]\nSQL001=%s\n%s\n' "$stage_sql" "$fields"; } >> "$work/tool/qjsqlexe.SQLITE.INI"
  echo "== stages of a run over $stage_rows rows (instructions, callgrind)"
  ( cd "$work" && "${tool_locale[@]}" valgrind --tool=callgrind --callgrind-out-file="$work/stages.cg" \
      "$work/tool/qjsqlexe" STAGES T1 "$work/sqlite/stages.txt" 1 >/dev/null 2>&1 )
  bare_ir=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$build/bare_fetch" \
    "$sqlite_conn;UID=bench;PWD=bench" "$stage_sql" 2>&1 >/dev/null | sed -n 's/.*Collected : \([0-9]*\).*/\1/p' | tail -n 1)
  callgrind_annotate --inclusive=yes --threshold=100 "$work/stages.cg" 2>/dev/null |
    awk -v bare="$bare_ir" -v rows="$stage_rows" '
      { gsub(",", "", $1) }
      /PROGRAM TOTALS/ { total = $1 }
      /qj::ReadNext\(\)/ { fetch += $1 }
      /qj::TQuery::Field\(int\)/ || /qj::TQuery::CaptureField\(/ { values += $1 }
      /qj::TQuery::BuildCapturedField\(/ { built += $1 }
      /qj::AppendValueText\(/ { texts += $1 }
      /qj::FormatRecordFrom\(/ { format += $1 }
      /QueryRow::Column\(int\)/ { column += $1 }
      /qj::AddRecordLine\(\)/ { add += $1 }
      /qj::SortOutputLines\(\)/ || /_State_impl.*(QuickSortOnTwoCores|OnTwoCores)/ { sort += $1 }
      /qj::WriteFile\(\)/ { write += $1 }
      END {
        format -= column + texts + built
        values += built
        rest = total - fetch - values - texts - format - add - sort - write
        printf "%-28s %14s %10s %14s\n", "stage", "instructions", "per row", "/ bare fetch"
        split("fetch values texts format add sort write rest", names, " ")
        split(fetch " " values " " texts " " format " " add " " sort " " write " " rest, counts, " ")
        for (i = 1; i <= 8; i++)
          printf "%-28s %14d %10.0f %14.3f\n", names[i], counts[i], counts[i] / rows, counts[i] / bare
        printf "%-28s %14d %10.0f %14.3f\n", "whole run", total, total / rows, total / bare
        printf "%-28s %14d %10.0f %14.3f\n", "bare fetch", bare, bare / rows, 1
      }'
fi
