#!/usr/bin/env bash
# The installed desktop entry and AppStream metadata pass their validators,
# and the metadata, the entry and the installed icon agree on the names.
set -euo pipefail
# shellcheck source=packaging/tests/support.sh
source "${BASH_SOURCE[0]%/*}/support.sh"
parse_arguments "$@"
require_tool desktop-file-validate desktop-file-utils
require_tool appstreamcli appstream
make_scratch

prefix=$SCRATCH/prefix
install_build "$prefix"
desktop=$prefix/share/applications/quillbox.desktop
metainfo=$prefix/share/metainfo/$APPSTREAM_ID.metainfo.xml

# desktop-file-validate exits 0 on hints; anything it prints is a fault here.
report=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate refused $desktop: $report"
[ -z "$report" ] || fail "desktop-file-validate complained about $desktop: $report"
echo "desktop-file-validate: no complaints"

appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate refused $metainfo"
# validate-tree also checks that the launchable names an installed desktop entry.
appstreamcli validate-tree --no-net "$prefix" || fail "appstreamcli validate-tree refused $prefix"

grep -qx 'Exec=quillbox' "$desktop" || fail "the desktop entry does not start 'quillbox'"
[ -x "$prefix/bin/quillbox" ] || fail "the desktop entry's command bin/quillbox is not installed"
grep -qx 'Icon=quillbox' "$desktop" || fail "the desktop entry's icon is not 'quillbox'"
[ -f "$prefix/share/icons/hicolor/scalable/apps/quillbox.svg" ] ||
    fail "the desktop entry's icon quillbox is not installed"
grep -q '<launchable type="desktop-id">quillbox.desktop</launchable>' "$metainfo" ||
    fail "the metadata does not launch quillbox.desktop"
grep -q "<id>$APPSTREAM_ID</id>" "$metainfo" || fail "the metadata's id is not $APPSTREAM_ID"
echo "PASS: desktop entry and AppStream metadata"
