#!/usr/bin/env bash
# cmake --install of the build folder into a temporary prefix gives a program
# folder, command, desktop entry, icons and metadata that work: the command
# prints the version, and the installed program runs offscreen from its
# read-only folder with its data under $XDG_DATA_HOME/quillbox/.
set -euo pipefail
# shellcheck source=packaging/tests/support.sh
source "${BASH_SOURCE[0]%/*}/support.sh"
parse_arguments "$@"
require_tool readelf binutils
make_scratch

prefix=$SCRATCH/prefix
install_build "$prefix"
check_layout "$prefix"
check_version "$prefix/bin/quillbox"
run_offscreen "$prefix/bin/quillbox" "$prefix/lib/quillbox"
echo "PASS: installed into a temporary prefix"
