#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) into build-fuzz, runs every input that ever
# crashed a target (fuzz/regressions/<target>/), then fuzzes each target for
# QJ_FUZZ_SECONDS seconds (default 120). A crash stops the script with a
# non-zero exit code; its input is kept in fuzz/regressions/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${QJ_FUZZ_SECONDS:-120}
build="$root/build-fuzz"
targets=(converted_ini profile_reader profile_integer placeholder format_field)

CC=clang CXX=clang++ cmake -S . -B "$build" -DQJ_FUZZ=ON -DQJ_BUILD_TESTS=OFF -DQJ_SANITIZE=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_all

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

echo "== regression inputs"
for t in "${targets[@]}"; do
  dir="fuzz/regressions/$t"
  mapfile -t inputs < <(find "$dir" -type f ! -name '.*' 2>/dev/null | sort)
  if [ "${#inputs[@]}" -gt 0 ]; then
    "$build/fuzz/fuzz_$t" "${inputs[@]}" >"$build/regressions-$t.log" 2>&1 || {
      cat "$build/regressions-$t.log"
      echo "fuzz: a regression input of $t fails again" >&2
      exit 1
    }
  fi
  echo "$t: ${#inputs[@]} regression inputs pass"
done

echo "== fuzzing each target for $seconds s"
summary=()
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  artifacts="$build/artifacts/$t"
  mkdir -p "$corpus" "$artifacts"
  seeds=()
  [ -d "fuzz/seeds/$t" ] && seeds=("fuzz/seeds/$t")
  log="$build/fuzz-$t.log"
  if ! "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" "$corpus" "${seeds[@]}" >"$log" 2>&1; then
    tail -n 60 "$log"
    mkdir -p "fuzz/regressions/$t"
    for crash in "$artifacts"/*; do
      [ -f "$crash" ] && cp "$crash" "fuzz/regressions/$t/"
    done
    echo "fuzz: $t crashed; the input is kept in fuzz/regressions/$t/" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  summary+=("$t: ${runs:-?} executions in $seconds s")
done
printf '%s\n' "${summary[@]}"
