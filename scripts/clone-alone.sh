#!/usr/bin/env bash
# Clones the committed repository into an empty temporary folder, with nothing
# beside it, and there runs the README's test command and the demo: proof that
# a clone of the project alone builds, runs and passes its tests.
set -euo pipefail
cd "$(dirname "$0")/.."
source=$(pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
git clone --quiet "$source" "$scratch/quillbox"
cd "$scratch/quillbox"
[ -z "$(ls -A "$scratch" | grep -v '^quillbox$')" ] || { echo "clone-alone: the scratch folder is not empty"; exit 1; }

# The command exactly as the README gives it, without sudo when we are root.
command=$(awk '/^Run the tests:/ {found = 1; next} found && /^    / {sub(/^ +/, ""); print; exit}' README.md)
[ -n "$command" ] || { echo "clone-alone: no test command in the README"; exit 1; }
if [ "$(id -u)" -eq 0 ]; then command=${command//sudo /}; fi
echo "clone-alone: running '$command' in $scratch/quillbox"
bash -c "$command"
bash scripts/demo-libraries.sh >"$scratch/demo.log" 2>&1 || { cat "$scratch/demo.log"; echo "clone-alone: the demo failed"; exit 1; }
# The README's demo opens the window: here on a virtual display, closed again
# after a screenshot, which is kept beside the build's other artifacts.
mkdir -p "$source/build/artifacts"
QUILLBOX_DEMO_SCREENSHOT="$source/build/artifacts/demo-window.png" \
  xvfb-run -a -s "-screen 0 1280x800x24" bash scripts/demo.sh >"$scratch/window.log" 2>&1 ||
  { cat "$scratch/window.log"; echo "clone-alone: the window demo failed"; exit 1; }
echo "clone-alone: tests and demo passed in a clone with nothing beside it"
