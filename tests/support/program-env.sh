# Sourced by the scripts that run the program itself: a fresh folder for its
# data, settings, log and runtime files, the offscreen platform, fail() and
# wait_for_log(). A program started in the background goes into $running, so
# that it is killed on every way out.
work=$(mktemp -d)
running=""
cleanup() {
  [ -n "$running" ] && kill -KILL "$running" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
export QUILLBOX_HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state"
export XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen
log="$work/state/quillbox/quillbox.log"

fail() {
  echo "FAIL: $*"
  cat "$log" 2>/dev/null || true
  exit 1
}

# Waits until the log has a line matching $1, at most 20 s.
wait_for_log() {
  for _ in $(seq 200); do
    grep -q "$1" "$log" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "no log line '$1'"
}
