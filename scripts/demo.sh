#!/usr/bin/env bash
# Builds everything and runs the program's built-in demo.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset dev >/dev/null
cmake --build --preset dev
exec ./build/dev/quillbox-selfcheck "$@"
