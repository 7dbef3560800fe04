#!/usr/bin/env bash
# Builds the Debian package from a configured build tree, checks its control
# data and contents, unpacks it into a scratch root and runs the demo with the
# unpacked executable. Its downloads must match those of the build tree's
# executable byte for byte and hold the demo's known records. Nothing outside
# a temporary directory is changed.
#
#   scripts/package_test.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$(cd "${1:-build}" && pwd)

work=$(mktemp -d /tmp/qjsqlexe-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }

cmake --build "$build" -j"$(nproc)" --target qjsqlexe >/dev/null
(cd "$build" && cpack -G DEB -B "$work/cpack" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
debs=("$work"/cpack/qjsqlexe_*.deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb, found: ${debs[*]}"
deb=${debs[0]}

# Control data: every library the executable names is a dependency.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in $(objdump -p "$build/qjsqlexe" | awk '$1 == "NEEDED" {print $2}'); do
  path=$(ldd "$build/qjsqlexe" | awk -v lib="$lib" '$1 == lib {print $3}')
  [ -n "$path" ] || continue  # the dynamic loader itself
  pkg=$( (dpkg -S "$path" || dpkg -S "$(realpath "$path")") 2>/dev/null | head -n 1 | cut -d: -f1)
  [[ ", $depends," == *", $pkg "* || ", $depends," == *", $pkg,"* ]] || fail "Depends lacks $pkg ($lib): $depends"
done
# libpq is loaded at the first PostgreSQL connection, not named by the executable.
[[ ", $depends," == *", libpq5,"* || ", $depends," == *", libpq5 "* ]] || fail "Depends lacks libpq5: $depends"
grep -q libsqliteodbc <<< "$(dpkg-deb -f "$deb" Recommends)" || fail "Recommends lacks libsqliteodbc"

expected_files='./etc/qjsqlexe/README
./usr/bin/qjsqlexe
./usr/share/doc/qjsqlexe/changelog.gz
./usr/share/doc/qjsqlexe/copyright
./usr/share/doc/qjsqlexe/examples/QJDNL00P.ODBC.TXT.in
./usr/share/doc/qjsqlexe/examples/QJDNL00P.TXT.in
./usr/share/doc/qjsqlexe/examples/demo.sql
./usr/share/doc/qjsqlexe/examples/qjsqlexe.SQLITE.INI
./usr/share/man/man1/qjsqlexe.1.gz'
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
[ "$files" = "$expected_files" ] || fail "unexpected contents:
$files"
[ "$(dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles)" = /etc/qjsqlexe/README ] \
  || fail "/etc/qjsqlexe/README is not a conffile"
# ICU comes from the system's shared libraries, as Debian asks of a package.
grep -q 'NEEDED *libicuuc' <<< "$(objdump -p "$build/qjsqlexe")" \
  || fail "the executable does not link ICU as a shared library (configure with -DQJ_STATIC_RUNTIME=OFF)"

# Debian's package checker finds no error.
lintian --fail-on error "$deb" > "$work/lintian.log" 2>&1 \
  || { cat "$work/lintian.log" >&2; fail "lintian reports errors"; }

# apt would install it here as it stands (a simulation: nothing changes).
apt-get install -s "$deb" > "$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt-get cannot install the package"; }

rootfs=$work/root
dpkg-deb -x "$deb" "$rootfs"
installed=$rootfs/usr/bin/qjsqlexe
examples=$rootfs/usr/share/doc/qjsqlexe/examples
[ -x "$installed" ] || fail "the executable is not executable"

# The manual page renders without a single warning.
man_err=$(MANWIDTH=80 man --warnings -l "$rootfs/usr/share/man/man1/qjsqlexe.1.gz" 2>&1 >"$work/man.txt") \
  || fail "man failed: $man_err"
[ -z "$man_err" ] || fail "man warns: $man_err"
grep -q "qjsqlexe.SQLITE.INI" "$work/man.txt" || fail "the manual page does not name the query definition file"
# Every exit code of the tool has its entry under EXIT STATUS.
status=$(sed -n '/^EXIT STATUS/,/^NOTES/p' "$work/man.txt")
for code in $(sed -n 's/^ *kExit[A-Za-z]* = \([0-9]*\),.*/\1/p' src/driver/result_codes.h); do
  grep -q -E "^ {7}$code( |$)" <<< "$status" || fail "the manual page lacks exit status $code"
done

# The demo from the installed examples: the query definition file goes
# beside the installed executable, the converted ini file beside the targets.
cp "$examples/qjsqlexe.SQLITE.INI" "$rootfs/usr/bin/qjsqlexe.SQLITE.INI"
sqlite3 "$work/demo.db" < "$examples/demo.sql"
mkdir -p "$work/odbc" "$work/installed/dnl" "$work/built/dnl"
while IFS= read -r line; do
  printf '%s\n' "${line//@DBFILE@/$work/demo.db}"
done < "$examples/QJDNL00P.TXT.in" > "$work/installed/dnl/QJDNL00P.TXT"
cp "$work/installed/dnl/QJDNL00P.TXT" "$work/built/dnl/QJDNL00P.TXT"
printf '[SQLite3]\nDriver=libsqlite3odbc.so\n' > "$work/odbc/odbcinst.ini"
: > "$work/odbc/odbc.ini"
export ODBCSYSINI="$work/odbc" ODBCINI="$work/odbc/odbc.ini"
mkdir -p "$work/built/bin"
cp "$build/qjsqlexe" "$work/built/bin/qjsqlexe"
cp "$examples/qjsqlexe.SQLITE.INI" "$work/built/bin/qjsqlexe.SQLITE.INI"

# run EXE DIR EXPECTED_STDOUT WORDS...: one download under German settings.
run() {
  local exe=$1 dir=$2 expected=$3 out rc=0; shift 3
  out=$(cd "$dir" && env -u LC_ALL -u LC_NUMERIC -u LC_TIME -u LC_COLLATE LANG=de_DE.UTF-8 "$exe" "$@" 2>&1) || rc=$?
  [ "$rc" -eq 0 ] || fail "$exe $* ended with exit code $rc: $out"
  [ "$out" = "$expected" ] || fail "$exe $* printed: $out"
}
for side in installed built; do
  exe=$installed
  [ "$side" = built ] && exe=$work/built/bin/qjsqlexe
  run "$exe" "$work/$side" "330 Saetze kopiert in Datei dnl/qjdnl31p.txt " QJDNL31P ZutCtrl dnl/qjdnl31p.txt 1
  run "$exe" "$work/$side" "315 Saetze kopiert in Datei dnl/qjdnl32p.txt " QJDNL32P ZutCtrl dnl/qjdnl32p.txt 0
  run "$exe" "$work/$side" "105 Saetze kopiert in Datei dnl/qjdnl32p.txt " QJDNL32P Pforte2 dnl/qjdnl32p.txt 0
done

# record FILE WIDTH INDEX: the record as UTF-8 text.
record() { tail -c +$(($2 * $3 + 1)) "$1" | head -c "$2" | iconv -f WINDOWS-1252 -t UTF-8; }
badges=$work/installed/dnl/qjdnl31p.txt bookings=$work/installed/dnl/qjdnl32p.txt
[ "$(stat -c %s "$badges")" -eq $((330 * 54)) ] || fail "qjdnl31p.txt has $(stat -c %s "$badges") bytes"
[ "$(stat -c %s "$bookings")" -eq $((420 * 59)) ] || fail "qjdnl32p.txt has $(stat -c %s "$bookings") bytes"
[ "$(record "$badges" 54 3)" = "010000001003Groß                MARIA       22.04.2020" ] || fail "badge record 4: $(record "$badges" 54 3)"
[ "$(record "$bookings" 59 0)" = "00001000Löffler             00015,2401.11.2026 09:14:000300" ] || fail "booking record 1: $(record "$bookings" 59 0)"
[ "$(record "$bookings" 59 6)" = "00001002KRÄMER              00017,0908.11.2026         0200" ] || fail "booking record 7: $(record "$bookings" 59 6)"
for f in qjdnl31p.txt qjdnl32p.txt; do
  cmp -s "$work/installed/dnl/$f" "$work/built/dnl/$f" || fail "$f of the installed and the built executable differ"
done
# On a throw-away machine (CI, or QJ_PACKAGE_INSTALL=1) the package is also
# installed for real with apt-get, its manual page read with man and the demo
# run with /usr/bin/qjsqlexe and its query definition file in /etc/qjsqlexe;
# the package is purged again afterwards.
if [ "${CI:-}" = true ] || [ "${QJ_PACKAGE_INSTALL:-0}" = 1 ]; then
  if dpkg-query -W -f='${Status}' qjsqlexe 2>/dev/null | grep -q "install ok installed"; then
    fail "qjsqlexe is installed already; not touching it"
  fi
  cleanup_install() {
    rm -f /etc/qjsqlexe/qjsqlexe.SQLITE.INI
    DEBIAN_FRONTEND=noninteractive apt-get purge -y qjsqlexe >/dev/null 2>&1 || true
    rm -rf "$work"
  }
  trap cleanup_install EXIT
  DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb" > "$work/apt-install.log" 2>&1 \
    || { cat "$work/apt-install.log" >&2; fail "apt-get install failed"; }
  MANWIDTH=80 man -P cat qjsqlexe 2>/dev/null | grep -q "qjsqlexe.SQLITE.INI" \
    || fail "man qjsqlexe does not show the page"
  [ -f /etc/qjsqlexe/README ] || fail "the package did not install /etc/qjsqlexe/README"
  [ ! -e /usr/bin/qjsqlexe.SQLITE.INI ] || fail "/usr/bin/qjsqlexe.SQLITE.INI is there; not touching it"
  cp "$examples/qjsqlexe.SQLITE.INI" /etc/qjsqlexe/qjsqlexe.SQLITE.INI
  mkdir -p "$work/system/dnl"
  cp "$work/installed/dnl/QJDNL00P.TXT" "$work/system/dnl/QJDNL00P.TXT"
  run /usr/bin/qjsqlexe "$work/system" "330 Saetze kopiert in Datei dnl/qjdnl31p.txt " QJDNL31P ZutCtrl dnl/qjdnl31p.txt 1
  cmp -s "$work/system/dnl/qjdnl31p.txt" "$work/built/dnl/qjdnl31p.txt" \
    || fail "the download of the apt-installed executable differs"
  echo "package test: installed with apt-get, man qjsqlexe shows the page, the demo ran with /usr/bin/qjsqlexe and /etc/qjsqlexe"
fi
echo "package test: $(basename "$deb") installs and runs the demo (Depends: $depends)"
