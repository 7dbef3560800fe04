#!/usr/bin/env bash
# Cross-builds qjsqlexe.exe and its Windows unit tests with mingw-w64 into
# build-win (64-bit Windows). QJ_WINDOWS_32=1 builds a 32-bit qjsqlexe.exe
# into build-win32 as well (it needs g++-mingw-w64-i686-posix; Wine runs it
# only with wine32 installed).
set -euo pipefail
cd "$(dirname "$0")/.."

QJ_WINDOWS=1 scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-win -j"$jobs" --target qjsqlexe qj_unit_tests

if [ "${QJ_WINDOWS_32:-0}" = 1 ]; then
  cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DQJ_MINGW_ARCH=i686 \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQJ_BUILD_TESTS=OFF >/dev/null
  cmake --build build-win32 -j"$jobs" --target qjsqlexe
fi
echo "build-win/qjsqlexe.exe"
