# The processes of one end-to-end session, each started here and ended by
# its process id on every way out: a virtual X server on a display of its
# own, a notification area, the store stand-in serving the demo account and
# a feed written now, and the program, with every folder it writes in
# E2E_TMP. Sourced by e2e.sh, which sets PROGRAM, STORE_SERVER, SOURCE_DIR,
# E2E_TMP and provides fail.

xvfb_pid=""
tray_pid=""
server_pid=""
program_pid=""
program_status=""
store_url=""

# need_tool COMMAND PACKAGE: fails unless COMMAND can be run.
need_tool() {
    command -v "$1" >/dev/null 2>&1 || fail "$1 is missing; install the Debian package $2"
}

program_alive() {
    [ -z "$program_pid" ] || kill -0 "$program_pid" 2>/dev/null
}

# stop_process PID: TERM, then KILL if it is still there after 10 s.
stop_process() {
    local pid=$1
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

end_session() {
    stop_process "$program_pid"
    program_pid=""
    stop_process "$server_pid"
    stop_process "$tray_pid"
    stop_process "$xvfb_pid"
}

# start_display: Xvfb on the first free display, which it names on fd 3 once
# it accepts clients.
start_display() {
    Xvfb -displayfd 3 -screen 0 "${SCREEN_W}x${SCREEN_H}x24" -dpi 96 -nolisten tcp \
        3>"$E2E_TMP/display" >"$E2E_TMP/xvfb.log" 2>&1 &
    xvfb_pid=$!
    wait_for "the virtual X server" 30 display_named
    export DISPLAY=":$(head -n 1 "$E2E_TMP/display")"
    echo "e2e: X server on $DISPLAY"
}

display_named() {
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb ended: $(tail -n 5 "$E2E_TMP/xvfb.log")"
    [ -s "$E2E_TMP/display" ]
}

# start_tray: a notification area (the freedesktop system tray protocol that
# QSystemTrayIcon looks for on X11).
start_tray() {
    wmsystemtray --non-wmaker -v >"$E2E_TMP/tray.log" 2>&1 &
    tray_pid=$!
    wait_for "the notification area" 30 tray_ready
}

tray_ready() {
    kill -0 "$tray_pid" 2>/dev/null || fail "wmsystemtray ended: $(tail -n 5 "$E2E_TMP/tray.log")"
    grep -q "now the system tray" "$E2E_TMP/tray.log"
}

# start_store: the stand-in on a free loopback port, with the demo accounts
# and a feed whose one item is dated now (older news is not delivered).
start_store() {
    local feeds="$E2E_TMP/feeds"
    mkdir -p "$feeds"
    cat >"$feeds/today.xml" <<FEED
<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0"><channel><title>End-to-end news</title>
<link>http://news.example/</link><description>Written by the test</description>
<item><title>Written just now</title><link>http://news.example/1</link>
<guid>e2e-news-1</guid><pubDate>$(date -R)</pubDate>
<description>&lt;p&gt;The news of &lt;b&gt;today&lt;/b&gt;.&lt;/p&gt;</description></item>
</channel></rss>
FEED
    "$STORE_SERVER" --port 0 --fixtures "$SOURCE_DIR/tests/data/store" --static "$feeds" --verbose \
        >"$E2E_TMP/store.out" 2>"$E2E_TMP/store.log" &
    server_pid=$!
    wait_for "the store stand-in" 30 store_listening
    store_url="http://$(sed -n 's/^listening //p' "$E2E_TMP/store.out" | head -n 1)/"
}

store_listening() {
    kill -0 "$server_pid" 2>/dev/null || fail "store-server ended: $(tail -n 5 "$E2E_TMP/store.log")"
    grep -q '^listening ' "$E2E_TMP/store.out"
}

# store_requests PATH: how many requests for PATH the stand-in has had.
store_requests() {
    curl -s --max-time 10 "${store_url}_control/requests" | grep -c "^GET $1" || true
}

# prepare_folders: the data folder, the settings, and a folder acting as the
# reader (its marker file makes it one).
prepare_folders() {
    HOME_DIR="$E2E_TMP/home"
    CONFIG_DIR="$E2E_TMP/config"
    READER_DIR="$E2E_TMP/reader"
    mkdir -p "$HOME_DIR" "$CONFIG_DIR" "$READER_DIR/System" "$E2E_TMP/state" "$E2E_TMP/cache"
    mkdir -m 700 "$E2E_TMP/runtime"
    touch "$READER_DIR/System/.leafdevice"
}

# start_session: everything but the program.
start_session() {
    prepare_folders
    start_display
    start_tray
    start_store
}

# start_program: the program on the session's display and folders, until
# its window shows. Under AddressSanitizer, the X keyboard library's counted,
# unterminated names passed to strndup are read as overflows by strict string
# checks, so those are off for the program (later ASAN_OPTIONS entries win).
start_program() {
    ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}strict_string_checks=0" \
    env -u WAYLAND_DISPLAY -u QT_SCALE_FACTOR -u QT_SCREEN_SCALE_FACTORS \
        -u QT_AUTO_SCREEN_SCALE_FACTOR \
        DBUS_SESSION_BUS_ADDRESS=disabled: QT_QPA_PLATFORM=xcb QT_FONT_DPI=96 \
        QUILLBOX_HOME="$HOME_DIR" QUILLBOX_DRIVES="E=$READER_DIR" QUILLBOX_STORE_URL="$store_url" \
        XDG_CONFIG_HOME="$CONFIG_DIR" XDG_STATE_HOME="$E2E_TMP/state" \
        XDG_CACHE_HOME="$E2E_TMP/cache" XDG_RUNTIME_DIR="$E2E_TMP/runtime" \
        "$PROGRAM" >>"$E2E_TMP/program.out" 2>>"$E2E_TMP/program.err" &
    program_pid=$!
    program_status=""
    wait_for "the program's window" 60 window_shown
}

# The id of the program's visible main window (titled Form1), if any.
main_window() {
    { xdotool search --all --onlyvisible --pid "$program_pid" --name '^Form1$' 2>/dev/null || true; } |
        head -n 1
}

window_shown() {
    [ -n "$(main_window)" ]
}

# wait_program_end: until the program has ended; its exit status goes in
# program_status.
wait_program_end() {
    local deadline=$((SECONDS + 60))
    while kill -0 "$program_pid" 2>/dev/null; do
        [ "$SECONDS" -lt "$deadline" ] || fail "the program did not end within 60 s"
        sleep 0.1
    done
    program_status=0
    wait "$program_pid" || program_status=$?
    program_pid=""
}

# The program's visible windows other than the main window, each as
# "ID X Y WIDTH HEIGHT".
other_windows() {
    local id
    for id in $(xdotool search --onlyvisible --pid "$program_pid" 2>/dev/null || true); do
        eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null || echo WIDTH=0)"
        if [ "$WIDTH" -gt 0 ] && [ "$WIDTH" -lt "$SCREEN_W" ]; then
            echo "$id $X $Y $WIDTH $HEIGHT"
        fi
    done
    return 0
}

# tray_icon: "ID X Y WIDTH HEIGHT" of the program's icon in the notification
# area, a small window of the program's own that the tray has taken in.
tray_icon() {
    other_windows | awk '$4 <= 64 && $5 <= 64 { print; found = 1; exit } END { exit !found }'
}

# popup_menu: "ID X Y WIDTH HEIGHT" of the tray icon's menu.
popup_menu() {
    other_windows | awk '$4 > 64 || $5 > 64 { print; found = 1; exit } END { exit !found }'
}
