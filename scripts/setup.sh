#!/usr/bin/env bash
# Installs every package qjsqlexe needs to build, test, run the demo and the benchmarks.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

packages=(
  build-essential cmake g++ clang libclang-rt-14-dev
  libgtest-dev
  unixodbc unixodbc-dev libsqliteodbc odbc-postgresql
  postgresql postgresql-client sqlite3
  mariadb-server mariadb-client odbc-mariadb
  libicu-dev libsqlite3-dev libpq-dev
  time
  dpkg-dev man-db valgrind lintian
)
# The Windows build (QJ_WINDOWS=1): the mingw-w64 cross compiler, Wine to run
# it headless (without its recommended desktop packages), localedef for the
# locale Wine takes from the environment.
windows_packages=()
if [ "${QJ_WINDOWS:-0}" = 1 ]; then
  windows_packages=(g++-mingw-w64-x86-64-posix wine wine64 locales)
  if [ "${QJ_WINDOWS_32:-0}" = 1 ]; then windows_packages+=(g++-mingw-w64-i686-posix); fi
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
windows_missing=()
for p in "${windows_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || windows_missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ] || [ "${#windows_missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  if [ "${#missing[@]}" -gt 0 ]; then $SUDO apt-get install -y "${missing[@]}"; fi
  if [ "${#windows_missing[@]}" -gt 0 ]; then
    $SUDO apt-get install -y --no-install-recommends "${windows_missing[@]}"
  fi
fi
