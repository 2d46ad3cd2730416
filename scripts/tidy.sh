#!/usr/bin/env bash
# Runs clang-tidy (checks and reasons in .clang-tidy) over the libraries, the
# platform code and the tools, with the compile commands of a configured build.
# Any finding fails the run. Usage: scripts/tidy.sh [build folder, default build/dev]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
[ -f "$build/compile_commands.json" ] || { echo "tidy: configure $build first"; exit 1; }
log="$build/clang-tidy.log"
status=0
run-clang-tidy -p "$build" -quiet -j "$(nproc)" \
  '^'"$(pwd)"'/(common|contracts|platform|book|rss|hostkit|tools)/.*\.cpp$' >"$log" 2>&1 || status=$?
# Keep the findings, drop clang-tidy's per-file chatter.
grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated|^Suppressed [0-9]+ warnings|^Use -header-filter|^clang-tidy-?[0-9]* |^Running clang-tidy|^$' "$log" || true
if [ "$status" -ne 0 ] || grep -q -E 'warning:|error:' "$log"; then
  echo "tidy: findings above (also in $log)"
  exit 1
fi
echo "tidy: no findings"
