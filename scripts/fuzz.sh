#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
# Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
# The libraries are built with ASan+UBSan too, so reports from them count.
cmake --preset fuzz -DQUILLBOX_SANITIZE=ON >/dev/null
cmake --build --preset fuzz
shopt -s nullglob
ran=0
for fuzzer in build/fuzz/fuzz/*; do
  [ -f "$fuzzer" ] && [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus="build/fuzz/corpus-$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/$name/seeds" ] && seeds=("fuzz/$name/seeds")
  echo "== fuzzing $name for ${seconds}s"
  "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "$corpus" "${seeds[@]}"
  ran=$((ran + 1))
done
echo "fuzz: $ran target(s) ran without a crash"
