#!/usr/bin/env bash
# Builds everything (dev preset) and runs the whole test suite.
# Usage: scripts/test.sh [preset]   (dev by default; asan for the sanitizer build)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-dev}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j2
