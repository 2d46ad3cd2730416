#!/usr/bin/env bash
# The program's two main jobs on the built-in demo through the libraries alone,
# without the window: news to the reader, and the store account with a book
# downloaded to the computer and one straight to the reader.
set -euo pipefail
source "$(dirname "$0")/demo-setup.sh"

./build/dev/quillbox-demo reader Secret7 \
  "${base}today-1251.xml" \
  "${base}today-atom.xml" \
  "${base}derived__kde_linux_org_ru.koi8-r.xml" \
  "${base}feedrs__rss2_rss_2.0_bbc.xml"

echo "The reader now holds:"
(cd "$demo/reader" && find . -type f | sort)
