# Reading the screen and working the mouse and keyboard for the end-to-end
# tests. Sourced by e2e.sh, which sets E2E_TMP (scratch folder) and
# E2E_SHOTS (screenshot folder) and provides fail.
#
# Places are design coordinates of the reader's display area, 351x465 at
# scale 1.0 (app/FormDesign.cpp, buttons as TForm1::SetImages re-places
# them). On a 1280x800 screen at 96 DPI the window fills the screen and the
# device picture (468x718) is centred, so the display area, 59,80 into the
# picture, starts at (465,121).

SCREEN_W=1280
SCREEN_H=800
PANEL_W=351
PANEL_H=465
PANEL_X=$(((SCREEN_W - 468) / 2 + 59))
PANEL_Y=$(((SCREEN_H - 718) / 2 + 80))
# A point on the device picture below the display: the pointer there hides
# every highlight frame.
NEUTRAL_X=$((PANEL_X + 175))
NEUTRAL_Y=$((PANEL_Y + 500))

shot_count=0

# shot NAME: a screenshot of the whole screen, numbered in the order taken.
shot() {
    shot_count=$((shot_count + 1))
    local file
    file=$(printf '%s/%02d-%s.png' "$E2E_SHOTS" "$shot_count" "$1")
    import -window root "$file" || fail "could not take the screenshot $file"
    echo "e2e: screenshot $(basename "$file")"
}

# capture: the display area as 8-bit grey, one byte a pixel, row by row, in
# $E2E_TMP/panel.gray, and as one line of numbers a row in panel.rows;
# every reading below looks at the last capture.
capture() {
    import -window root -crop "${PANEL_W}x${PANEL_H}+${PANEL_X}+${PANEL_Y}" +repage \
        -colorspace Gray -depth 8 "gray:$E2E_TMP/panel.gray" 2>/dev/null &&
        od -An -v -tu1 -w"$PANEL_W" "$E2E_TMP/panel.gray" >"$E2E_TMP/panel.rows" &&
        dark_total=$(dark_count 0 0 "$PANEL_W" "$PANEL_H")
}

# settled: the last capture is no frame of a screen change's fade, which
# covers the whole display area in one grey going to black and back; near
# black it would pass for anything dark.
settled() {
    [ "${dark_total:-0}" -lt $((PANEL_W * PANEL_H / 3)) ]
}

# luma X Y: the grey level (0 black .. 255 white) of one pixel.
luma() {
    od -An -tu1 -j $(($2 * PANEL_W + $1)) -N1 "$E2E_TMP/panel.gray" | tr -d ' \n'
}

# dark_count X Y W H: how many pixels of the rectangle are darker than 30%
# (grey below 77).
dark_count() {
    awk -v x="$1" -v y="$2" -v w="$3" -v h="$4" '
        NR > y && NR <= y + h { for (i = x + 1; i <= x + w; i++) if ($i < 77) n++ }
        END { print n + 0 }' "$E2E_TMP/panel.rows"
}

# The left edge of a picture button at X, Y and H high: its border, drawn
# three pixels in, or the side of a highlight frame over it.
button_edge_at() {
    [ "$(luma $(($1 + 3)) $(($2 + $3 / 2)))" -lt 140 ] || [ "$(luma $(($1 + 1)) $(($2 + $3 / 2)))" -lt 60 ]
}

# The highlight frame lies over the button at X Y W H: its dark side covers
# the button's left border, inside it the button stays light.
frame_at() {
    settled && [ "$(luma $(($1 + 1)) $(($2 + $4 / 2)))" -lt 60 ] &&
        [ "$(luma $(($1 + 8)) $(($2 + $4 / 2)))" -gt 150 ]
}

# screen_is NAME: the last capture shows that screen. Each test looks at
# pictures of the skin and the language module that only that screen has.
screen_is() {
    settled || return 1
    case "$1" in
        splash) # the emblem's quill and the name under it
            [ "$(dark_count 250 100 40 50)" -gt 500 ] && [ "$(dark_count 65 275 225 50)" -gt 2000 ] ;;
        menu) # the news and exit icons of the menu's grid
            [ "$(dark_count 35 125 60 50)" -gt 400 ] && [ "$(dark_count 255 345 60 50)" -gt 150 ] ;;
        news) # the title's news tile, and the two rows of buttons
            [ "$(dark_count 48 0 33 33)" -gt 500 ] && button_edge_at 11 392 35 && button_edge_at 12 426 35 ;;
        shelves) # one row of two wide buttons, none where the book screen has its rows
            button_edge_at 25 405 40 && button_edge_at 175 405 40 &&
                ! button_edge_at 11 392 35 && ! button_edge_at 11 426 35 ;;
        books) # two rows of buttons, and no news tile in the title
            button_edge_at 11 392 35 && button_edge_at 11 426 35 &&
                [ "$(dark_count 48 0 33 33)" -lt 500 ] ;;
        settings) # the language arrows
            [ "$(dark_count 10 178 30 30)" -gt 300 ] && [ "$(dark_count 310 178 30 30)" -gt 300 ] ;;
        *) fail "no test for the screen '$1'" ;;
    esac
}

# The two-second message box: its ink border on both sides and at the top,
# light inside.
message_shown() {
    settled && [ "$(luma 1 220)" -lt 80 ] && [ "$(luma 348 220)" -lt 80 ] &&
        [ "$(luma 175 156)" -lt 80 ] && [ "$(luma 5 220)" -gt 150 ]
}

# The hourglass, centred on the screen.
hourglass_shown() {
    settled && [ "$(dark_count 160 212 30 40)" -gt 40 ]
}

# wait_for WHAT SECONDS COMMAND...: runs COMMAND until it succeeds; fails
# the test naming WHAT when it has not within SECONDS.
wait_for() {
    local what=$1 seconds=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || fail "waited ${seconds} s for $what"
        program_alive || fail "the program ended while waiting for $what"
        sleep 0.1
    done
}

captured() {
    capture && "$@"
}

# wait_screen NAME: until the display area shows that screen (a change of
# screen fades through black first), and has been drawn whole: the window
# reaches the screen in several pieces, so two captures in a row must agree.
wait_screen() {
    wait_for "the $1 screen" "${2:-30}" screen_steady "$1"
}

screen_steady() {
    captured screen_is "$1" || return 1
    cp "$E2E_TMP/panel.gray" "$E2E_TMP/previous.gray"
    sleep 0.1
    captured screen_is "$1" && cmp -s "$E2E_TMP/panel.gray" "$E2E_TMP/previous.gray"
}

# wait_message: until a message box shows, then until it has gone again.
wait_message() {
    wait_for "a message ($1)" 60 captured message_shown
    shot "$1"
    wait_for "the message ($1) to go" 15 captured not message_shown
}

not() {
    ! "$@"
}

quietly() {
    "$@" >/dev/null
}

# wait_idle: until neither a message nor the hourglass shows.
wait_idle() {
    wait_for "the window to be idle" 60 captured idle
}

idle() {
    settled && ! message_shown && ! hourglass_shown
}

# hover_click NAME X Y W H: points at a picture button until its highlight
# frame shows over it (a disabled window does not answer the pointer; a fade
# covers the buttons), then clicks the frame.
hover_click() {
    local name=$1 x=$2 y=$3 w=$4 h=$5
    local deadline=$((SECONDS + 60))
    while :; do
        xdotool mousemove "$NEUTRAL_X" "$NEUTRAL_Y" mousemove \
            $((PANEL_X + x + w / 2)) $((PANEL_Y + y + h / 2))
        sleep 0.1
        if captured frame_at "$x" "$y" "$w" "$h"; then
            break
        fi
        [ "$SECONDS" -lt "$deadline" ] || fail "no highlight frame over $name"
        program_alive || fail "the program ended while pointing at $name"
    done
    xdotool click 1
}

# click_at X Y: a click on a plain control (a list row, a check box).
click_at() {
    xdotool mousemove $((PANEL_X + $1)) $((PANEL_Y + $2)) click 1
}

# type_into X Y TEXT: clicks into the edit at X Y, selects what it holds and
# types TEXT over it, in one go (no pauses: see enter_account in e2e.sh).
type_into() {
    xdotool mousemove $((PANEL_X + $1)) $((PANEL_Y + $2)) click --delay 0 1 \
        key --delay 0 ctrl+a type --delay 0 "$3"
}
