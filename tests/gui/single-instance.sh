#!/usr/bin/env bash
# One program per data folder: a second start hands over to the running one
# and ends; after the running one was killed, a start takes over its lock.
# Usage: single-instance.sh PROGRAM
set -euo pipefail
program=$1
work=$(mktemp -d)
first=""
cleanup() {
  [ -n "$first" ] && kill -KILL "$first" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
export QUILLBOX_HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state"
export XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen
log="$work/state/quillbox/quillbox.log"

fail() { echo "FAIL: $*"; cat "$log" 2>/dev/null || true; exit 1; }
# Waits until the log has a line matching $1, at most 20 s.
wait_for_log() {
  for _ in $(seq 200); do
    grep -q "$1" "$log" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "no log line '$1'"
}

"$program" >"$work/first.out" 2>&1 &
first=$!
wait_for_log "starting"
sleep 1
second=$("$program" 2>&1) || fail "the second start failed: $second"
[ "$second" = "Quillbox is already running; its window was brought to the front." ] ||
  fail "the second start said: $second"
wait_for_log "brought to the front by a second start"
logon=$("$program" auto 2>&1) || fail "the start at logon failed: $logon"
[ "$logon" = "Quillbox is already running; nothing to do." ] || fail "at logon: $logon"
kill -0 "$first" || fail "the first program ended"

# A program that died leaves its lock behind; the next start runs anyway.
kill -KILL "$first"
wait "$first" 2>/dev/null || true
"$program" >"$work/third.out" 2>&1 &
first=$!
sleep 3
kill -0 "$first" || fail "the start after a crash did not run: $(cat "$work/third.out")"
kill -TERM "$first"
status=0
wait "$first" || status=$?
first=""
[ "$status" -eq 0 ] || fail "the program ended with $status on SIGTERM"
[ "$(grep -c starting "$log")" -eq 4 ] || fail "expected four starts in the log"
echo "single instance: ok"
