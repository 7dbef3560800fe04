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
  libicu-dev
  time
  dpkg-dev man-db valgrind
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y "${missing[@]}"
fi
