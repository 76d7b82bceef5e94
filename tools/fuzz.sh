#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz") and runs each for a bounded
# time on a scratch copy of its seed corpus. Exits non-zero if a target fails.
#   bash tools/fuzz.sh [--seconds N]     (default 60 per target)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="${2:?--seconds needs a number}"; shift 2 ;;
    --seconds=*) seconds="${1#*=}"; shift ;;
    *) echo "usage: $0 [--seconds N]" >&2; exit 2 ;;
  esac
done
case "$seconds" in ''|*[!0-9]*|0) echo "--seconds must be a positive integer" >&2; exit 2 ;; esac

targets=(fuzz_settings_text fuzz_set_channel)
jobs=$(nproc 2>/dev/null || echo 2); [ "$jobs" -gt 2 ] && jobs=2

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs" --target "${targets[@]}"

# The rules library is built with recoverable UBSan checks; make every report fatal.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
export ASAN_OPTIONS="abort_on_error=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"

run_root=build/fuzz/fuzz-run
failed=0
summary=()
for t in "${targets[@]}"; do
  bin=build/fuzz/tests/fuzz/$t
  dir=$run_root/$t
  # A fresh scratch corpus each run: the committed seeds are never written.
  rm -rf "$dir"
  mkdir -p "$dir/corpus" "$dir/artifacts"
  cp tests/fuzz/corpus/"$t"/* "$dir/corpus/"
  log=$dir/log.txt
  echo "== $t: ${seconds}s"
  rc=0
  # libFuzzer stops itself at -max_total_time; the outer timeout only guards
  # against a hang that it cannot interrupt.
  timeout --kill-after=10 $((seconds + 60)) "$bin" \
    -max_total_time="$seconds" -max_len=256 -timeout=10 -rss_limit_mb=2048 \
    -use_value_profile=1 -print_final_stats=1 \
    -artifact_prefix="$dir/artifacts/" "$dir/corpus" >"$log" 2>&1 || rc=$?
  runs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1/p' "$log" | tail -n1)
  secs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\2/p' "$log" | tail -n1)
  [ -n "$runs" ] || runs=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\)/\1/p' "$log" | tail -n1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n1 || true)
  corpus=$(find "$dir/corpus" -type f | wc -l)
  # A sanitizer report counts as a failure even if the run went on.
  if grep -q 'runtime error:\|ERROR: AddressSanitizer' "$log"; then [ "$rc" -ne 0 ] || rc=99; fi
  if [ "$rc" -ne 0 ] || [ -z "$secs" ]; then
    failed=1
    echo "FAILED $t (exit $rc); log: $log"
    grep -E 'disagreement|ERROR|SUMMARY|Test unit written' "$log" | head -n 20 || true
    summary+=("$t: FAILED after ${runs:-?} executions (exit $rc), artifacts in $dir/artifacts")
  else
    summary+=("$t: $runs executions in $secs s, $cov, corpus $corpus files")
  fi
done

echo
echo "== fuzz summary"
printf '%s\n' "${summary[@]}"
exit "$failed"
