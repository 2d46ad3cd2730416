# Sourced by the demo scripts: builds everything, then sets up the built-in
# demo in build/dev/demo/: the local store stand-in serving the demo account
# and feeds written this week, a folder acting as the reader, a data folder and
# settings of its own. Leaves the stand-in running until the caller exits and
# exports the environment that points the program at all of it.
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)
cmake --preset dev >/dev/null
cmake --build --preset dev

./build/dev/quillbox-selfcheck

demo="$root/build/dev/demo"
rm -rf "$demo"
mkdir -p "$demo/home" "$demo/config" "$demo/reader/System"
server_host=news.example
touch "$demo/reader/System/.leafdevice"

# The sample feeds are years old and hold no news of the last week, so the demo
# also serves two feeds written now: one in windows-1251, one Atom in UTF-8.
feeds="$demo/feeds"
mkdir -p "$feeds"
for sample in derived__kde_linux_org_ru.koi8-r.xml feedrs__rss2_rss_2.0_bbc.xml; do
  ln -s "$root/tests/data/feeds/$sample" "$feeds/$sample"
done
now=$(date -R)
earlier=$(date -R -d '-2 hours')
iconv -f UTF-8 -t WINDOWS-1251 >"$feeds/today-1251.xml" <<FEED
<?xml version="1.0" encoding="windows-1251"?>
<rss version="2.0"><channel><title>Новости дня</title><link>http://$server_host/</link>
<description>Свежие новости</description>
<item><title>Читатель получил новости</title><link>http://$server_host/news/1</link>
<guid>demo-news-1</guid><pubDate>$now</pubDate>
<description><![CDATA[<p>Новости за сегодня <b>доставлены</b> на устройство.</p><p>Второй абзац.</p>]]></description></item>
<item><title>Погода</title><link>http://$server_host/news/2</link><guid>demo-news-2</guid>
<pubDate>$earlier</pubDate><description>Ясно, &lt;i&gt;без осадков&lt;/i&gt;.</description></item>
</channel></rss>
FEED
cat >"$feeds/today-atom.xml" <<FEED
<?xml version="1.0" encoding="utf-8"?>
<feed xmlns="http://www.w3.org/2005/Atom"><title>Quillbox demo log</title>
<id>urn:quillbox:demo</id><updated>$(date -u +%Y-%m-%dT%H:%M:%SZ)</updated>
<entry><title>An Atom entry written just now</title><id>urn:quillbox:demo:1</id>
<updated>$(date -u +%Y-%m-%dT%H:%M:%SZ)</updated>
<content type="html">&lt;ul&gt;&lt;li&gt;lists become text&lt;/li&gt;&lt;li&gt;tables too&lt;/li&gt;&lt;/ul&gt;</content></entry>
</feed>
FEED

server_out="$demo/store-server.out"
./build/dev/store-server --port 0 --fixtures "$root/tests/data/store" \
  --static "$feeds" >"$server_out" 2>"$demo/store-server.log" &
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

