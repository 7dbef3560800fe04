#!/usr/bin/env bash
# Builds qjsqlexe and runs the demo downloads against an SQLite database made
# from demo/demo.sql, through the native SQLite engine and once through the
# SQLite3 ODBC driver. Everything it creates lies under demo/out; it needs no
# database server and no data source entry in /etc.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/setup.sh
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" --target qjsqlexe

out="$root/demo/out"
rm -rf "$out"
mkdir -p "$out/bin" "$out/dnl" "$out/odbc"

# The executable with its query definition file beside it (database system SQLITE).
cp build/qjsqlexe "$out/bin/qjsqlexe"
cp demo/qjsqlexe.SQLITE.INI "$out/bin/qjsqlexe.SQLITE.INI"

# The demo database.
sqlite3 "$out/demo.db" < demo/demo.sql

# The converted ini file lies beside the download files. Its DATABASE value
# names the SQLite file as a URI filename for the native engine; values
# longer than 200 bytes are cut on reading, and a URI needs "?", "#" and "%"
# escaped, which the demo leaves to the user.
dbfile="$out/demo.db"
case "$dbfile" in
  *[?#%]*)
    echo "demo: the path $dbfile holds ?, # or %, which a file: URI needs escaped" >&2
    exit 1
    ;;
esac
if [ "${#dbfile}" -gt 190 ]; then
  echo "demo: the path $dbfile is too long for the converted ini file" >&2
  exit 1
fi
fill() {
  while IFS= read -r line; do
    printf '%s\n' "${line//@DBFILE@/$dbfile}"
  done < "$1" > "$2"
}
fill demo/QJDNL00P.TXT.in "$out/dnl/QJDNL00P.TXT"
# A second download directory reaches the same file through the SQLite3 ODBC
# driver.
mkdir -p "$out/dnl-odbc"
fill demo/QJDNL00P.ODBC.TXT.in "$out/dnl-odbc/QJDNL00P.TXT"

# An ODBC driver configuration of our own, so that nothing in /etc is needed.
cat > "$out/odbc/odbcinst.ini" <<INI
[SQLite3]
Description=SQLite3 ODBC Driver
Driver=libsqlite3odbc.so
INI
: > "$out/odbc/odbc.ini"
export ODBCSYSINI="$out/odbc" ODBCINI="$out/odbc/odbc.ini"
unset LC_ALL LC_NUMERIC LC_TIME LC_COLLATE

# Runs one download from demo/out under German locale settings; any exit code
# but 0 ends the demo.
run() {
  echo "\$ qjsqlexe $*"
  local rc=0
  (cd "$out" && LANG=de_DE.UTF-8 bin/qjsqlexe "$@") || rc=$?
  echo
  if [ "$rc" -ne 0 ]; then
    echo "demo: qjsqlexe ended with exit code $rc" >&2
    exit "$rc"
  fi
}

# Shows the first records of a download, cut into lines of the record width
# and converted from Windows-1252 for the terminal.
show() {
  local file=$1 width=$2
  echo "== $file: $(wc -c < "$out/$file") bytes, first records:"
  head -c $((width * 8)) "$out/$file" | fold -b -w "$width" | iconv -f WINDOWS-1252 -t UTF-8
  echo
  echo
}

echo "== Badge download, one pass per company, replacing, with trace"
run QJDNL31P ZutCtrl dnl/qjdnl31p.txt 1 /D
show dnl/qjdnl31p.txt 54

echo "== Booking download, one pass, appending (twice: two terminals)"
run QJDNL32P ZutCtrl dnl/qjdnl32p.txt 0
run QJDNL32P Pforte2 dnl/qjdnl32p.txt 0
show dnl/qjdnl32p.txt 59

echo "== Badge download again, through the SQLite3 ODBC driver"
run QJDNL31P ZutCtrl dnl-odbc/qjdnl31p.txt 1
if ! cmp -s "$out/dnl/qjdnl31p.txt" "$out/dnl-odbc/qjdnl31p.txt"; then
  echo "demo: the ODBC download differs from the native one" >&2
  exit 1
fi
echo "the same $(wc -c < "$out/dnl-odbc/qjdnl31p.txt") bytes as dnl/qjdnl31p.txt"
echo

echo "demo: both downloads written under $out/dnl, the ODBC one under $out/dnl-odbc"
