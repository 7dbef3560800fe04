#!/usr/bin/env bash
# Sets up, builds and runs every test: the suite once as built, then once more
# under AddressSanitizer and UndefinedBehaviorSanitizer. A PostgreSQL and a
# MariaDB server are started on loopback for the run and stopped afterwards.
# QJ_WINDOWS=1 also builds the Windows executable and runs its tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/setup.sh

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
cmake -S . -B build-asan -DQJ_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-asan -j"$jobs"

pgdir=$(mktemp -d /tmp/qjsqlexe-pg.XXXXXX)
mariadir=$(mktemp -d /tmp/qjsqlexe-maria.XXXXXX)
trap 'scripts/pg_server.sh stop "$pgdir"; scripts/mariadb_server.sh stop "$mariadir"' EXIT
eval "$(scripts/pg_server.sh start "$pgdir")"
eval "$(scripts/mariadb_server.sh start "$mariadir")"
export QJ_REQUIRE_PG=1 QJ_REQUIRE_MARIA=1

echo "== test suite"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== Debian package"
scripts/package_test.sh build

if [ "${QJ_WINDOWS:-0}" = 1 ]; then
  echo "== Windows build under Wine"
  scripts/windows-tests.sh
fi

echo "== test suite under AddressSanitizer and UndefinedBehaviorSanitizer"
ASAN_OPTIONS="detect_leaks=1:suppressions=$root/tests/support/asan_suppressions.txt" UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS="suppressions=$root/tests/support/lsan_suppressions.txt:print_suppressions=0" \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzz targets (short run)"
  QJ_FUZZ_SECONDS=${QJ_FUZZ_SECONDS:-10} scripts/fuzz.sh
fi
echo "== all tests passed"
