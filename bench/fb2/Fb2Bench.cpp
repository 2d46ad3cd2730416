// Converting news to FB2: a whole book of 1000 feeds x 50 items of synthetic
// item HTML (1-2 KB each, with the usual markup) written to a file, and one
// item's HTML converted on its own.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "rss/fb2/Fb2Writer.h"
#include "rss/fb2/HtmlToFb2.h"

using namespace quillbox;

namespace {

const char* const kSentences[] = {
    "Правительство объявило о новых мерах поддержки малого бизнеса в регионах.",
    "The committee will publish its final report early next month, officials said.",
    "Эксперты ожидают, что цены на электроэнергию стабилизируются к концу года.",
    "Local volunteers cleaned up more than two tonnes of rubbish from the river bank.",
    "В городе открылась выставка современного искусства из частных коллекций.",
    "Researchers found that the new battery keeps 90 percent of its charge after 1000 cycles.",
};

std::string sentence(int seed) {
    return kSentences[seed % 6];
}

// About 1-2 KB of item HTML; the mix of markup varies with the item number.
std::string itemHtml(int feed, int item) {
    const int seed = feed * 50 + item;
    std::string html = "<p>" + sentence(seed) + " <b>" + sentence(seed + 1) + "</b> " +
                       sentence(seed + 2) + "</p>";
    html += "<p>" + sentence(seed + 3) + " <a href=\"/news/" + std::to_string(seed) +
            "\">Подробнее</a> &mdash; <i>" + sentence(seed + 4) + "</i></p>";
    if (seed % 3 == 0) {
        html += "<ul><li>" + sentence(seed + 1) + "</li><li>" + sentence(seed + 2) + "</li><li>" +
                sentence(seed + 5) + "</li></ul>";
    }
    if (seed % 5 == 0) {
        html +=
            "<table><tr><th>Region</th><th>Value</th></tr><tr><td>North</td><td>12.5%</td>"
            "</tr><tr><td>South</td><td>8.1%</td></tr></table>";
    }
    if (seed % 4 == 0) {
        html += "<blockquote><p>" + sentence(seed + 3) + "</p></blockquote>";
    }
    html +=
        "<div class=\"share\"><img src=\"https://cdn.example.org/pixel.gif\" width=\"1\">"
        "<script>track(" +
        std::to_string(seed) + ");</script></div>";
    html += "<p>" + sentence(seed + 5) + "<br>" + sentence(seed) + "&nbsp;&copy; 2025</p>";
    return html;
}

const rss::NewsBook& newsBook(int feeds, int items, std::size_t& htmlBytes) {
    static rss::NewsBook book;
    static std::size_t bytes = 0;
    if (static_cast<int>(book.feeds.size()) != feeds) {
        book = rss::NewsBook{};
        bytes = 0;
        book.bookTitle = "News 2025-11-24 16:00";
        book.created = 1764000000;
        for (int f = 0; f < feeds; ++f) {
            rss::FeedNews feed;
            feed.title = "Лента " + std::to_string(f);
            feed.url = "https://feeds.example.org/" + std::to_string(f) + ".xml";
            for (int i = 0; i < items; ++i) {
                rss::NewsItem item;
                item.key = std::to_string(f) + "/" + std::to_string(i);
                item.title = sentence(f + i);
                item.link =
                    "https://site" + std::to_string(f) + ".example.org/item/" + std::to_string(i);
                item.published = book.created - i * 600;
                item.contentHtml = itemHtml(f, i);
                bytes += item.contentHtml.size();
                feed.items.push_back(std::move(item));
            }
            book.feeds.push_back(std::move(feed));
        }
        for (int i = 0; i < 20; ++i) {
            book.failures.push_back(rss::FeedFailure{"Broken " + std::to_string(i),
                                                     "http://broken.example/" + std::to_string(i),
                                                     "The host could not be reached."});
        }
    }
    htmlBytes = bytes;
    return book;
}

void BM_WriteNewsBook(benchmark::State& state) {
    const int feeds = static_cast<int>(state.range(0));
    const int items = static_cast<int>(state.range(1));
    std::size_t htmlBytes = 0;
    const rss::NewsBook& book = newsBook(feeds, items, htmlBytes);
    std::string folder = (getenv("TMPDIR") != nullptr ? getenv("TMPDIR") : "/tmp");
    folder += "/fb2-bench-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr) {
        state.SkipWithError("cannot create a temporary folder");
        return;
    }
    const std::string path = folder + "/news.fb2";
    for (auto _ : state) {
        const Status written = rss::writeNewsBook(book, path);
        if (!written) {
            state.SkipWithError(written.error().message.c_str());
            break;
        }
    }
    struct stat info {};
    ::stat(path.c_str(), &info);
    state.counters["item_html_MB"] = static_cast<double>(htmlBytes) / 1e6;
    state.counters["book_MB"] = static_cast<double>(info.st_size) / 1e6;
    state.SetItemsProcessed(state.iterations() * feeds * items);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * htmlBytes));
    ::unlink(path.c_str());
    ::rmdir(folder.c_str());
}
BENCHMARK(BM_WriteNewsBook)
    ->Args({1000, 50})
    ->Args({100, 50})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_HtmlToFb2OneItem(benchmark::State& state) {
    const std::string html = itemHtml(0, 0);
    const std::string base = "https://site.example.org/item/1";
    for (auto _ : state) {
        benchmark::DoNotOptimize(rss::fb2::htmlToFb2(html, base, {}));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * html.size()));
    state.counters["html_bytes"] = static_cast<double>(html.size());
}
BENCHMARK(BM_HtmlToFb2OneItem);

}  // namespace

BENCHMARK_MAIN();
