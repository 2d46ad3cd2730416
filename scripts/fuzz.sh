#!/usr/bin/env bash
# Builds the fuzz preset (clang, libraries instrumented for coverage, ASan and
# UBSan) and runs every libFuzzer target for a bounded time from its corpus
# folder build/fuzz/corpus-<name>. Prints per target the executions, the
# coverage (cov: and ft: of libFuzzer's last stats line) and whether it
# crashed; a crashing input is kept as build/fuzz/crashes/<name>-crash-<sha1>.
# Fails when any target crashed, leaked, timed out or ran out of memory.
# Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build/fuzz

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

# File-based targets work in a folder below this one, removed even after a crash.
scratch=$(mktemp -d /tmp/quillbox-fuzz.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
export QUILLBOX_FUZZ_TMP=$scratch
mkdir -p "$build/crashes" "$build/logs"

shopt -s nullglob
ran=0
failed=()
summary=()
for fuzzer in "$build"/fuzz/*_fuzzer; do
  [ -f "$fuzzer" ] && [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus="$build/corpus-$name"
  log="$build/logs/$name.log"
  mkdir -p "$corpus"
  echo "== fuzzing $name for ${seconds}s"
  status=0
  "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/crashes/$name-" "$corpus" >"$log" 2>&1 || status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  stats=$(grep -E '^#[0-9]+.* cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$stats")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$stats")
  if [ "$status" -eq 0 ]; then
    verdict="no crash"
  else
    artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n 1)
    verdict="CRASHED (exit $status${artifact:+, input $artifact})"
    failed+=("$name")
    echo "-- last lines of $log:"
    grep -E 'ERROR|SUMMARY|#[0-9]+ in |deadly|Test unit' "$log" | head -n 40 || tail -n 40 "$log"
  fi
  line="$name: executions ${execs:-?}, cov ${cov:-?}, ft ${ft:-?}, $verdict"
  echo "$line"
  summary+=("$line")
  ran=$((ran + 1))
done

echo "== fuzz summary (${seconds}s per target)"
printf '%s\n' "${summary[@]}"
if [ "$ran" -eq 0 ]; then
  echo "fuzz: no fuzz target was built" >&2
  exit 1
fi
if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzz: ${#failed[@]} of $ran target(s) crashed: ${failed[*]}" >&2
  echo "minimise an input with: $build/fuzz/<name> -minimize_crash=1 -runs=100000 <input>" >&2
  exit 1
fi
echo "fuzz: $ran target(s) ran without a crash"
