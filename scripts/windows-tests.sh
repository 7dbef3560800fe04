#!/usr/bin/env bash
# Builds the Windows executable and runs its tests under Wine, headless: the
# unit tests (build-win/tests/qj_unit_tests.exe) and the end-to-end comparison
# with the Linux build (WindowsBuild.* of build/tests/qj_e2e_tests, which must
# be built). The Wine prefix and a glibc de_DE.UTF-8 locale (from which Wine
# takes its user locale) are made under /tmp for the run and removed after.
# PostgreSQL comes from the caller's environment (scripts/pg_server.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/build-windows.sh

work=$(mktemp -d /tmp/qjsqlexe-wine.XXXXXX)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LOCPATH="$work/locale"
unset LC_ALL LC_NUMERIC LC_TIME LC_COLLATE DISPLAY
wine=/usr/lib/wine/wine64
cleanup() {
  WINEPREFIX="$work/prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$LOCPATH"
localedef -i de_DE -f UTF-8 "$LOCPATH/de_DE.UTF-8"
export LANG=de_DE.UTF-8
"$wine" wineboot -i >/dev/null 2>&1
# The short date of de-DE as Windows has it; Wine's own data says d.M.yyyy.
"$wine" reg add 'HKCU\Control Panel\International' /v sShortDate /d dd.MM.yyyy /f >/dev/null
/usr/lib/wine/wineserver -w
# One server for all runs, instead of one started per run.
/usr/lib/wine/wineserver -p

echo "== Windows unit tests under Wine"
"$wine" build-win/tests/qj_unit_tests.exe --gtest_brief=1

echo "== Windows build against the Linux build"
QJ_WINDOWS_EXE="$root/build-win/qjsqlexe.exe" QJ_WINE="$wine" \
  build/tests/qj_e2e_tests --gtest_filter='WindowsBuild.*' --gtest_brief=1
