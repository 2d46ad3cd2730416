#!/usr/bin/env bash
# Builds everything and runs the program's main jobs on the built-in demo: the
# local store stand-in serving the demo account and the sample feeds, and a
# folder acting as the reader. Leaves the results in build/dev/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
cmake --preset dev >/dev/null
cmake --build --preset dev

./build/dev/quillbox-selfcheck

demo="$root/build/dev/demo"
rm -rf "$demo"
mkdir -p "$demo/home" "$demo/config" "$demo/reader/System"
touch "$demo/reader/System/.leafdevice"

server_out="$demo/store-server.out"
./build/dev/store-server --port 0 --fixtures "$root/tests/data/store" \
  --static "$root/../shared/feeds" >"$server_out" 2>"$demo/store-server.log" &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  grep -q listening "$server_out" 2>/dev/null && break
  sleep 0.1
done
address=$(sed -n 's/^listening //p' "$server_out" | head -n 1)
[ -n "$address" ] || { echo "store stand-in did not start"; exit 1; }
base="http://$address/"

export QUILLBOX_HOME="$demo/home"
export QUILLBOX_DRIVES="E=$demo/reader"
export QUILLBOX_STORE_URL="$base"
export XDG_CONFIG_HOME="$demo/config"

./build/dev/quillbox-demo reader Secret7 \
  "${base}derived__kde_linux_org_ru.windows-1251.xml" \
  "${base}derived__kde_linux_org_ru.koi8-r.xml" \
  "${base}feedrs__rss2_rss_2.0_bbc.xml" \
  "${base}feedparser__examples_atom10.xml"

echo "The reader now holds:"
(cd "$demo/reader" && find . -type f | sort)
