# shellcheck shell=bash
# Shared by the install tests (sourced, not run): argument parsing, scratch
# folders, the expected layout of an installed program, and starting the
# installed program offscreen from a program folder it cannot write.
#
# Every check ends the test with "FAIL: <reason>" and exit status 1; a missing
# tool is a failure naming the Debian package that brings it, never a skip.

set -euo pipefail

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# require_tool COMMAND PACKAGE: fails unless COMMAND is on PATH.
require_tool() {
    command -v "$1" >/dev/null 2>&1 ||
        fail "'$1' is not installed (Debian package $2); the install tests need it"
}

# Sets BUILD_DIR, APPSTREAM_ID and ICON_SIZES (an array) from the arguments
# packaging/CMakeLists.txt passes.
parse_arguments() {
    BUILD_DIR="" APPSTREAM_ID="" ICON_SIZES=()
    while [ $# -gt 0 ]; do
        case "$1" in
            --build) BUILD_DIR=$2 ;;
            --appstream-id) APPSTREAM_ID=$2 ;;
            --icon-sizes) IFS=, read -r -a ICON_SIZES <<<"$2" ;;
            *) fail "unknown argument '$1'" ;;
        esac
        shift 2
    done
    [ -n "$BUILD_DIR" ] && [ -f "$BUILD_DIR/CMakeCache.txt" ] ||
        fail "--build must name a configured build folder (got '$BUILD_DIR')"
    [ -n "$APPSTREAM_ID" ] && [ ${#ICON_SIZES[@]} -gt 0 ] || fail "--appstream-id and --icon-sizes are required"
}

# make_scratch: sets SCRATCH to a new temporary folder, removed when the test
# ends (write bits restored first, so read-only parts go too).
make_scratch() {
    SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/quillbox-install-test.XXXXXX")
    trap 'chmod -R u+w "$SCRATCH" 2>/dev/null; rm -rf "$SCRATCH"' EXIT
}

# install_build PREFIX: cmake --install of the build folder into PREFIX.
install_build() {
    cmake --install "$BUILD_DIR" --prefix "$1" >"$SCRATCH/install.log" 2>&1 ||
        { cat "$SCRATCH/install.log" >&2; fail "cmake --install into $1 failed"; }
}

# The names of the *.so files in FOLDER, one a line, sorted.
library_names() {
    find "$1" -maxdepth 1 -name '*.so' -printf '%f\n' | sort
}

# check_layout PREFIX: the program folder holds exactly the build tree's
# libraries and language modules, the command links to the program, and the
# desktop entry, icons and metadata are in place. No RPATH leads anywhere but
# into the program folder itself.
check_layout() {
    local prefix=$1 folder=$1/lib/quillbox
    [ -f "$folder/quillbox" ] && [ -x "$folder/quillbox" ] || fail "no executable $folder/quillbox"
    [ -L "$prefix/bin/quillbox" ] || fail "$prefix/bin/quillbox is not a symbolic link"
    [ "$(readlink -f "$prefix/bin/quillbox")" = "$(readlink -f "$folder/quillbox")" ] ||
        fail "$prefix/bin/quillbox points at $(readlink "$prefix/bin/quillbox"), not the program"
    local part
    for part in dll Language; do
        local built installed
        built=$(library_names "$BUILD_DIR/$part")
        installed=$(library_names "$folder/$part")
        [ -n "$built" ] || fail "the build folder has no $part/*.so: is it built?"
        [ "$built" = "$installed" ] ||
            fail "$part/ differs from the build tree's: built [${built//$'\n'/ }], installed [${installed//$'\n'/ }]"
    done
    for part in english.so russian.so; do
        [ -f "$folder/Language/$part" ] || fail "no language module Language/$part"
    done
    [ -f "$prefix/share/applications/quillbox.desktop" ] || fail "no desktop entry"
    [ -f "$prefix/share/metainfo/$APPSTREAM_ID.metainfo.xml" ] || fail "no AppStream metadata"
    [ -f "$prefix/share/icons/hicolor/scalable/apps/quillbox.svg" ] || fail "no scalable icon"
    local size
    for size in "${ICON_SIZES[@]}"; do
        local icon=$prefix/share/icons/hicolor/${size}x${size}/apps/quillbox.png
        [ -f "$icon" ] || fail "no icon $icon"
        [ "$(od -An -tx1 -N8 "$icon" | tr -d ' \n')" = 89504e470d0a1a0a ] ||
            fail "$icon is not a PNG picture"
        # The width and height in the PNG header: big-endian, bytes 16..23.
        local -a header
        read -r -a header < <(od -An -tu1 -j16 -N8 "$icon")
        local width=$(((header[0] << 24) | (header[1] << 16) | (header[2] << 8) | header[3]))
        local height=$(((header[4] << 24) | (header[5] << 16) | (header[6] << 8) | header[7]))
        [ "$width" -eq "$size" ] && [ "$height" -eq "$size" ] ||
            fail "$icon is ${width}x${height} pixels, not ${size}x${size}"
    done
    local file paths
    while IFS= read -r file; do
        paths=$(readelf -d "$file" | sed -n 's/.*(\(RPATH\|RUNPATH\)).*\[\(.*\)\]/\2/p')
        [ -n "$paths" ] || continue
        local entry
        local -a entries
        IFS=: read -r -a entries <<<"$paths:"
        for entry in "${entries[@]}"; do
            case "$entry" in
                '$ORIGIN' | '$ORIGIN/'*) ;;
                *) fail "$file keeps the RPATH entry '$entry'" ;;
            esac
        done
    done < <(find "$folder" -type f)
    readelf -d "$folder/quillbox" | grep -q 'R.*PATH.*\[\$ORIGIN/dll\]' ||
        fail "the program's RPATH is not \$ORIGIN/dll"
}

# check_version COMMAND: COMMAND --version prints "Quillbox <version>".
check_version() {
    local output
    output=$(env -u QUILLBOX_HOME "$1" --version) || fail "$1 --version failed"
    [[ "$output" =~ ^Quillbox\ [0-9]+(\.[0-9]+)+$ ]] ||
        fail "$1 --version printed '$output', not 'Quillbox <version>'"
    echo "$1 --version: $output"
}

# run_offscreen COMMAND PROGRAM_FOLDER: makes PROGRAM_FOLDER read-only, starts
# COMMAND offscreen with a fresh home, lets it run for a few seconds, ends it
# with SIGTERM and requires exit status 0, its data in
# $XDG_DATA_HOME/quillbox/ and nothing new in PROGRAM_FOLDER.
#
# The program sends its data elsewhere when access(W_OK) refuses the program
# folder. Root passes that check whatever the mode bits say, so as root the
# program runs without the capabilities that override file permissions
# (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH), which is what a user sees.
run_offscreen() {
    local command=$1 folder=$2 home=$SCRATCH/home
    mkdir -p "$home/data" "$home/config" "$home/cache" "$home/runtime"
    chmod 700 "$home/runtime"
    chmod -R a-w "$folder"
    local -a unprivileged=()
    if [ "$(id -u)" -eq 0 ]; then
        require_tool setpriv util-linux
        # shellcheck disable=SC2054 # the commas separate setpriv's capabilities
        unprivileged=(setpriv --bounding-set=-dac_override,-dac_read_search)
    fi
    if "${unprivileged[@]}" test -w "$folder"; then
        fail "the program folder $folder stays writable for the program, so the data fallback cannot be tested"
    fi
    local before after
    before=$(find "$folder" | sort)

    local log=$SCRATCH/program.log
    env -i PATH=/usr/bin:/bin HOME="$home" XDG_DATA_HOME="$home/data" \
        XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" XDG_STATE_HOME="$home/state" \
        XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=offscreen \
        QUILLBOX_STORE_URL=http://127.0.0.1:9/ \
        ${ASAN_OPTIONS+ASAN_OPTIONS="$ASAN_OPTIONS"} \
        ${UBSAN_OPTIONS+UBSAN_OPTIONS="$UBSAN_OPTIONS"} \
        "${unprivileged[@]}" "$command" >"$log" 2>&1 &
    local pid=$!
    sleep 3
    if ! kill -0 "$pid" 2>/dev/null; then
        local status=0
        wait "$pid" || status=$?
        cat "$log" >&2
        fail "the program ended by itself within 3 s (status $status)"
    fi
    kill -TERM "$pid"
    local tenths=0
    while kill -0 "$pid" 2>/dev/null && [ $tenths -lt 200 ]; do
        sleep 0.1
        tenths=$((tenths + 1))
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid"
        cat "$log" >&2
        fail "the program did not end within 20 s of SIGTERM"
    fi
    local status=0
    wait "$pid" || status=$?
    if [ $status -ne 0 ]; then
        cat "$log" >&2
        fail "the program ended with status $status on SIGTERM, not 0"
    fi
    local data
    for data in RSS BookLibrary; do
        [ -d "$home/data/quillbox/$data" ] || {
            cat "$log" >&2
            fail "no $data/ in \$XDG_DATA_HOME/quillbox/ after the program ended"
        }
    done
    after=$(find "$folder" | sort)
    [ "$before" = "$after" ] ||
        fail "the program wrote into its read-only folder: $(diff <(echo "$before") <(echo "$after") | grep '^>' | head -5)"
    echo "started offscreen from a read-only $folder, ended on SIGTERM with status 0, data in \$XDG_DATA_HOME/quillbox/: $(ls "$home/data/quillbox" | tr '\n' ' ')"
}
