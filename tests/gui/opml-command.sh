#!/usr/bin/env bash
# --import-opml and --export-opml on the command line: on the stored list when
# no Quillbox runs, through the running program when one does.
# Usage: opml-command.sh PROGRAM
set -euo pipefail
program=$1
source "$(dirname "$0")/../support/program-env.sh"
outline() { printf '<outline type="rss" text="%s" xmlUrl="%s"/>' "$1" "$2"; }
{
  echo '<?xml version="1.0" encoding="UTF-8"?><opml version="1.0"><body>'
  outline "One" "http://one.example/rss"
  echo '<outline text="Folder">'
  outline "Two" "http://two.example/atom"
  echo '</outline>'
  outline "One again" "http://one.example/rss"
  echo '</body></opml>'
} >"$work/first.opml"

# No Quillbox runs: the stored list itself.
said=$(cd "$work" && "$program" --import-opml first.opml) || fail "import: $said"
[ "$said" = "Imported from $work/first.opml: 2 added, 1 already in the list." ] || fail "said: $said"
[ -s "$work/home/RSS/RSS.list" ] || fail "no stored list"
"$program" --export-opml "$work/out.opml" >/dev/null || fail "export failed"
grep -q 'xmlUrl="http://two.example/atom"' "$work/out.opml" || fail "export lacks a feed"
if said=$("$program" --import-opml "$work/missing.opml" 2>&1); then fail "a missing file: $said"; fi

# A running Quillbox does the work itself, so its list and the stored one agree.
"$program" >"$work/running.out" 2>&1 &
running=$!
wait_for_log starting
sleep 1
sed 's/two.example/three.example/' "$work/first.opml" >"$work/second.opml"
said=$("$program" --import-opml "$work/second.opml") || fail "import through the program: $said"
[ "$said" = "Imported from $work/second.opml: 1 added, 2 already in the list." ] || fail "said: $said"
"$program" --export-opml "$work/out2.opml" >/dev/null || fail "export through the program"
grep -q 'three.example' "$work/out2.opml" || fail "the running program's list lacks the import"
kill -0 "$running" || fail "the running program ended"
kill -TERM "$running"
wait "$running" || fail "the running program ended badly"
running=""
"$program" --export-opml "$work/out3.opml" >/dev/null || fail "export after the exit"
[ "$(grep -c xmlUrl "$work/out3.opml")" -eq 3 ] || fail "the stored list lost a feed"
echo "opml command: ok"
