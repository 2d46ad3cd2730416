#!/usr/bin/env bash
# Builds everything and opens Quillbox on the built-in demo: the local store
# stand-in with the demo account, feeds written this week, a folder acting as
# the reader (build/dev/demo/reader), and settings holding the demo login. The
# feed list and the library are filled first by the libraries' own demo run.
#
# Without a display it says how to run it under a virtual one. With
# QUILLBOX_DEMO_SCREENSHOT=FILE it takes a screenshot of the desktop once the
# menu is up, then closes the program (used by CI under xvfb-run).
set -euo pipefail
source "$(dirname "$0")/demo-setup.sh"

./build/dev/quillbox-demo reader Secret7 \
  "${base}today-1251.xml" \
  "${base}today-atom.xml" \
  "${base}derived__kde_linux_org_ru.koi8-r.xml" \
  "${base}feedrs__rss2_rss_2.0_bbc.xml" >"$demo/libraries.log" 2>&1 ||
  { cat "$demo/libraries.log"; echo "demo: the libraries' demo run failed"; exit 1; }
echo "demo: feeds, news and library prepared (log in $demo/libraries.log)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "demo: no graphical display here. Run it on a desktop, or under a virtual"
  echo "      display:  xvfb-run -a bash scripts/demo.sh"
  exit 1
fi

if [ -z "${QUILLBOX_DEMO_SCREENSHOT:-}" ]; then
  echo "demo: opening Quillbox; the reader is $demo/reader"
  ./build/dev/quillbox
  exit 0
fi

./build/dev/quillbox &
program=$!
sleep "${QUILLBOX_DEMO_WAIT:-8}"
kill -0 "$program" || { echo "demo: the program ended early"; exit 1; }
import -window root "$QUILLBOX_DEMO_SCREENSHOT"
kill -TERM "$program"
wait "$program"
echo "demo: screenshot in $QUILLBOX_DEMO_SCREENSHOT; the program closed cleanly"
