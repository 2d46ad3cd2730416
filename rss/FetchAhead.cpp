// Fetching ahead along a feed list. The library notes each list it changes
// (entries and addresses by position); a call for one of its entries starts
// the requests for the feeds after it on a pool of transfers and waits only
// for its own. Answers fetched ahead are held in memory up to a bound and are
// used only when address, position, list version, folder, network settings
// and the request itself are what a fetch made now would use.

#include "rss/FetchAhead.h"

#include <algorithm>
#include <map>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/FixedText.h"
#include "contracts/RSS.h"
#include "platform/HttpPool.h"
#include "rss/NewsStore.h"
#include "rss/Urls.h"

namespace quillbox::rss {
namespace {

using Clock = std::chrono::steady_clock;
using platform::HttpPool;
using platform::HttpRequest;
using platform::HttpResponse;

constexpr std::chrono::milliseconds kPollSlice{20};
constexpr std::chrono::milliseconds kPumpSpacing{10};
// The size assumed for an answer before any has been seen.
constexpr std::uint64_t kLeastAnswerBytes = 64u << 10;

struct ListNotes {
    std::vector<const TRSSItem*> entries;
    std::vector<std::string> urls;  // ANSI bytes, as the entries held them
    std::uint64_t version = 0;
};

struct Answer {
    std::string url;  // the entry's address (ANSI bytes) it was fetched for
    HttpRequest request;
    HttpPool::Id id = 0;
    std::string body;
    bool asked = false;     // its feed was asked for: no longer held ahead
    bool overflow = false;  // given up at the memory bound
};

// Everything about the network that shapes a request, but its address and
// headers.
std::string networkKey(const NetworkOptions& network) {
    const auto number = [](auto value) { return std::to_string(value) + '\n'; };
    return network.proxy.host + '\n' + number(network.proxy.port) + network.proxy.user + '\n' +
           network.proxy.password + '\n' + network.userAgent + '\n' +
           number(network.connectTimeout.count()) + number(network.stallTimeout.count()) +
           number(network.totalTimeout.count()) + number(network.maxRedirects) +
           number(network.maxFeedBytes);
}

struct Session {
    const TRSSList* list = nullptr;
    std::uint64_t version = 0;
    std::string rssFolder;
    std::string network;
    NetworkOptions options;
    std::map<std::size_t, std::unique_ptr<Answer>> answers;  // by position
    HttpPool pool;         // after answers: its transfers write into them
    std::size_t next = 0;  // the next position that may be fetched ahead
    std::uint64_t largestAnswer = 0;
    Clock::time_point lastUse;
    bool stale = false;  // ended while a call was still using it

    Session(const AheadLimits& limits, const NetworkOptions& settings)
        : pool(HttpPool::Limits{limits.maxTransfers, limits.maxPerHost,
                                settings.proxy.host.empty()}) {}
};

struct State {
    std::unordered_map<const TRSSList*, ListNotes> lists;
    std::unordered_map<const TRSSItem*, const TRSSList*> owners;
    std::uint64_t versions = 0;
    std::unique_ptr<Session> session;
    AheadLimits limits;
    AheadFigures figures;
    bool busy = false;  // a call is under way; a call re-entered through its pump goes alone
};

State& state() {
    static State instance;
    return instance;
}

void release(const Answer& answer) {
    if (!answer.asked) {
        state().figures.heldBytes -= answer.body.size();
    }
}

void dropAnswer(Session& session, std::map<std::size_t, std::unique_ptr<Answer>>::iterator at) {
    session.pool.remove(at->second->id);
    release(*at->second);
    ++state().figures.dropped;
    session.answers.erase(at);
}

// Stops every transfer and frees every answer. A session a call still uses is
// only emptied and marked stale; the call ends it.
void endSession() {
    State& st = state();
    if (!st.session) {
        return;
    }
    Session& session = *st.session;
    session.pool.clear();
    while (!session.answers.empty()) {
        dropAnswer(session, session.answers.begin());
    }
    session.stale = true;
    if (!st.busy) {
        st.session.reset();
    }
}

platform::BodySink sinkFor(Answer& answer) {
    return [&answer](const char* data, std::size_t size) {
        State& st = state();
        if (!answer.asked) {
            if (st.figures.heldBytes + size > st.limits.maxHeldBytes) {
                // Over the bound: give this one up; it is fetched when asked for.
                st.figures.heldBytes -= answer.body.size();
                std::string().swap(answer.body);
                answer.overflow = true;
                return false;
            }
            st.figures.heldBytes += size;
            st.figures.mostHeldBytes = std::max(st.figures.mostHeldBytes, st.figures.heldBytes);
        }
        answer.body.append(data, size);
        if (st.session) {
            st.session->largestAnswer =
                std::max<std::uint64_t>(st.session->largestAnswer, answer.body.size());
        }
        return true;
    };
}

// Queues requests for the feeds after position, within the window, while the
// answers held and expected stay within the memory bound.
void topUp(Session& session, std::size_t position) {
    State& st = state();
    const auto notes = st.lists.find(session.list);
    if (session.stale || notes == st.lists.end()) {
        return;
    }
    const std::vector<std::string>& urls = notes->second.urls;
    const std::size_t end = std::min(urls.size(), position + 1 + st.limits.window);
    session.next = std::max(session.next, position + 1);
    while (session.next < end) {
        const std::size_t inFlight = session.pool.running() + session.pool.queued();
        const std::uint64_t expected = std::max(session.largestAnswer, kLeastAnswerBytes);
        if (inFlight >= 2 * st.limits.maxTransfers ||
            st.figures.heldBytes + (inFlight + 1) * expected > st.limits.maxHeldBytes) {
            return;  // fetching ahead pauses until answers are taken
        }
        const std::size_t at = session.next++;
        if (session.answers.count(at) != 0) {
            continue;
        }
        const std::string typed = addressText(urls[at]);
        const std::string identity = feedIdentity(typed);
        HttpRequest request =
            feedRequest(typed, peekFetchRecord(storePath(session.rssFolder, identity), identity),
                        session.options);
        if (!isHttpUrl(request.url)) {
            continue;  // refused without a fetch when asked for
        }
        auto answer = std::make_unique<Answer>();
        answer->url = urls[at];
        answer->request = std::move(request);
        answer->id = session.pool.add(answer->request, sinkFor(*answer));
        session.answers.emplace(at, std::move(answer));
    }
}

// The fetch for the asked-for feed: its answer fetched ahead when that was made
// with this very request, else a new transfer ahead of all others.
Result<HttpResponse> fetchAsked(Session& session, std::size_t position, const std::string& url,
                                const HttpRequest& request, const platform::Pump& pump) {
    State& st = state();
    Answer* answer = nullptr;
    const auto found = session.answers.find(position);
    if (found != session.answers.end()) {
        Answer& ahead = *found->second;
        if (ahead.url == url && !ahead.overflow && ahead.request.url == request.url &&
            ahead.request.headers == request.headers) {
            release(ahead);
            ahead.asked = true;
            session.pool.hurry(ahead.id);
            ++st.figures.used;
            answer = &ahead;
        } else {
            dropAnswer(session, found);
        }
    }
    if (answer == nullptr) {
        auto fresh = std::make_unique<Answer>();
        fresh->url = url;
        fresh->request = request;
        fresh->asked = true;
        fresh->id = session.pool.add(request, sinkFor(*fresh), true);
        answer = fresh.get();
        session.answers[position] = std::move(fresh);
    }
    const HttpPool::Id id = answer->id;
    try {
        topUp(session, position);
        // The window's events are handled at least once a feed, also when its
        // answer came ahead and nothing is waited for.
        if (pump) {
            pump();
        }
        Clock::time_point lastPump = Clock::now();
        while (session.pool.contains(id) && !session.pool.finished(id)) {
            session.pool.step(kPollSlice);
            topUp(session, position);
            if (pump && Clock::now() - lastPump >= kPumpSpacing) {
                pump();
                lastPump = Clock::now();
            }
        }
    } catch (const platform::TransferCancelled& cancelled) {
        endSession();
        return Error{static_cast<int>(platform::HttpFailure::Cancelled), cancelled.what()};
    }
    if (!session.pool.contains(id)) {
        // The list changed while the caller's pump ran: this feed is still
        // the one asked for, fetched on its own.
        return platform::httpGet(request, pump);
    }
    Result<HttpResponse> outcome = session.pool.take(id);
    if (outcome.ok()) {
        outcome.value().body = std::move(answer->body);
    }
    session.answers.erase(position);
    return outcome;
}

struct BusyCall {
    BusyCall() { state().busy = true; }
    ~BusyCall() {
        State& st = state();
        st.busy = false;
        if (st.session && st.session->stale) {
            st.session.reset();
        }
    }
    BusyCall(const BusyCall&) = delete;
    BusyCall& operator=(const BusyCall&) = delete;
};

}  // namespace

void noteListChanged(const TRSSList& list) {
    State& st = state();
    ListNotes& notes = st.lists[&list];
    for (const TRSSItem* entry : notes.entries) {
        const auto owner = st.owners.find(entry);
        if (owner != st.owners.end() && owner->second == &list) {
            st.owners.erase(owner);
        }
    }
    notes.entries.clear();
    notes.urls.clear();
    const std::size_t count = std::min<std::size_t>(list.Count, kMaxFeeds);
    for (std::size_t i = 0; i < count; ++i) {
        const TRSSItem* entry = list.Items[i];
        notes.entries.push_back(entry);
        notes.urls.emplace_back(entry != nullptr ? fieldText(entry->URL) : std::string_view());
        if (entry != nullptr) {
            st.owners[entry] = &list;
        }
    }
    notes.version = ++st.versions;
    if (st.session && st.session->list == &list) {
        endSession();
    }
    if (notes.entries.empty()) {
        st.lists.erase(&list);
    }
}

std::uint8_t updateFeedInList(TRSSItem& entry, const std::string& rssFolder,
                              const UpdateOptions& options) {
    State& st = state();
    const auto owner = st.owners.find(&entry);
    if (st.busy || owner == st.owners.end()) {
        return updateFeed(entry, rssFolder, options);
    }
    const TRSSList* list = owner->second;
    const ListNotes& notes = st.lists.at(list);
    const auto at = std::find(notes.entries.begin(), notes.entries.end(), &entry);
    const std::size_t position = static_cast<std::size_t>(at - notes.entries.begin());
    const std::string url(fieldText(entry.URL));
    if (at == notes.entries.end() || notes.urls[position] != url) {
        // Changed behind the library's back: nothing fetched ahead fits it.
        endSession();
        return updateFeed(entry, rssFolder, options);
    }

    const std::string network = networkKey(options.network);
    const Clock::time_point now = Clock::now();
    if (st.session && (st.session->list != list || st.session->version != notes.version ||
                       st.session->rssFolder != rssFolder || st.session->network != network ||
                       now - st.session->lastUse > st.limits.maxUnused)) {
        endSession();
    }
    if (!st.session) {
        st.session = std::make_unique<Session>(st.limits, options.network);
        st.session->list = list;
        st.session->version = notes.version;
        st.session->rssFolder = rssFolder;
        st.session->network = network;
        st.session->options = options.network;
        st.session->options.pump = nullptr;
    }
    Session& session = *st.session;
    session.lastUse = now;
    // Answers for feeds before this one will not be asked for any more.
    while (!session.answers.empty() && session.answers.begin()->first < position) {
        dropAnswer(session, session.answers.begin());
    }

    const BusyCall busy;
    const platform::Pump callerPump = options.network.pump;
    UpdateOptions withPool = options;
    // While the feed's pictures are fetched, the feeds ahead keep moving.
    withPool.network.pump = [&session, &callerPump, position] {
        session.pool.step(std::chrono::milliseconds(0));
        topUp(session, position);
        if (callerPump) {
            callerPump();
        }
    };
    const FeedFetch fetch = [&](const HttpRequest& request) {
        return fetchAsked(session, position, url, request, callerPump);
    };
    const std::uint8_t result = updateFeed(entry, rssFolder, withPool, fetch);
    session.lastUse = Clock::now();
    if (result == kRssHostUnreachable) {
        // The caller's update stops here: nothing more is fetched for it.
        endSession();
    }
    return result;
}

void dropFetchedAhead() {
    endSession();
}

void setAheadLimits(const AheadLimits& limits) {
    endSession();
    state().limits = limits;
}

AheadLimits aheadLimits() {
    return state().limits;
}

AheadFigures aheadFigures() {
    return state().figures;
}

void resetAheadFigures() {
    AheadFigures& figures = state().figures;
    figures = AheadFigures{figures.heldBytes, figures.heldBytes, 0, 0};
}

}  // namespace quillbox::rss
