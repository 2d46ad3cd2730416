#!/usr/bin/env bash
# One program per data folder: a second start hands over to the running one
# and ends; after the running one was killed, a start takes over its lock.
# Usage: single-instance.sh PROGRAM
set -euo pipefail
program=$1
source "$(dirname "$0")/../support/program-env.sh"

"$program" >"$work/first.out" 2>&1 &
running=$!
wait_for_log "starting"
sleep 1
second=$("$program" 2>&1) || fail "the second start failed: $second"
[ "$second" = "Quillbox is already running; its window was brought to the front." ] ||
  fail "the second start said: $second"
wait_for_log "brought to the front by a second start"
logon=$("$program" auto 2>&1) || fail "the start at logon failed: $logon"
[ "$logon" = "Quillbox is already running; nothing to do." ] || fail "at logon: $logon"
kill -0 "$running" || fail "the first program ended"

# A program that died leaves its lock behind; the next start runs anyway.
kill -KILL "$running"
wait "$running" 2>/dev/null || true
"$program" >"$work/third.out" 2>&1 &
running=$!
sleep 3
kill -0 "$running" || fail "the start after a crash did not run: $(cat "$work/third.out")"
kill -TERM "$running"
status=0
wait "$running" || status=$?
running=""
[ "$status" -eq 0 ] || fail "the program ended with $status on SIGTERM"
[ "$(grep -c starting "$log")" -eq 4 ] || fail "expected four starts in the log"
echo "single instance: ok"
