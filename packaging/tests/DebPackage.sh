#!/usr/bin/env bash
# cpack -G DEB makes quillbox_<version>_<arch>.deb with its dependencies
# declared; unpacked into a scratch root, its program prints the version and
# runs offscreen as an installed one does.
set -euo pipefail
# shellcheck source=packaging/tests/support.sh
source "${BASH_SOURCE[0]%/*}/support.sh"
parse_arguments "$@"
require_tool cpack cmake
require_tool dpkg-deb dpkg
require_tool dpkg-shlibdeps dpkg-dev
require_tool readelf binutils
make_scratch

out=$SCRATCH/out
cpack -G DEB -B "$out" --config "$BUILD_DIR/CPackConfig.cmake" >"$SCRATCH/cpack.log" 2>&1 ||
    { cat "$SCRATCH/cpack.log" >&2; fail "cpack -G DEB failed"; }
mapfile -t debs < <(find "$out" -maxdepth 1 -name 'quillbox_*.deb')
[ ${#debs[@]} -eq 1 ] || fail "cpack made ${#debs[@]} quillbox_*.deb files in $out, not one"
deb=${debs[0]}

info=$(dpkg-deb -I "$deb") || fail "dpkg-deb -I cannot read $deb"
echo "$info"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quillbox ] || fail "the package is named '$(field Package)', not quillbox"
for name in Version Architecture Maintainer Section Priority Description; do
    [ -n "$(field "$name")" ] || fail "the package has no $name field"
done
depends=$(field Depends)
# The libraries the program and its libraries link, as dpkg-shlibdeps names
# their packages; the program's own dll/ libraries are not among them.
for package in libc6 libstdc++6 libqt6widgets6 libqt6svg6 libcurl4 libxml2 libinih1; do
    [[ ", $depends," == *", $package "* || ", $depends," == *", $package,"* ]] ||
        fail "Depends does not name $package: $depends"
done
[[ "$depends" != *quillbox* && "$depends" != *libBook* ]] ||
    fail "Depends names the program's own libraries: $depends"

root=$SCRATCH/root
dpkg -x "$deb" "$root" || fail "dpkg -x cannot unpack $deb"
unexpected=$(find "$root" -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$unexpected" ] || fail "the package installs outside /usr: $unexpected"
check_layout "$root/usr"
check_version "$root/usr/bin/quillbox"
run_offscreen "$root/usr/bin/quillbox" "$root/usr/lib/quillbox"
echo "PASS: $(basename "$deb")"
