#pragma once
// Answer rules of the store stand-in: switches that delay, cut, drop, slow or
// replace its answers. Each applies to one kind of answer: the account page,
// book files, or everything else (static files and the /_redirect, /_status
// and /_size answers). Written on the command line as
//   --rule TARGET:NAME[=VALUE][,NAME[=VALUE]...]     TARGET: account|book|static|all
// or at run time as GET /_control/rule?target=TARGET&NAME=VALUE&...
//   delay=MS          wait before answering (ends early when the server stops)
//   drop              close the connection without any answer
//   short=BYTES       announce the full Content-Length, send BYTES, then close
//   rate=BYTES        send at most BYTES per second
//   status=CODE       answer with this status and a short text instead
//   size=BYTES        account: answer exactly BYTES bytes of page text without
//                     entries, whatever the login
//   generate=NxM      account: a page of N shelves of M books each (streamed)
//   endless           account: a page that never ends (a line every 100 ms)
// delay=0, rate=0, status=0, drop=0, endless=0 and generate=0x0 switch a rule
// off; GET /_control/reset switches every rule off.

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace storeserver {

enum class RuleTarget { Account, Book, Static };

struct AnswerRules {
    int delayMs = 0;
    bool drop = false;
    std::int64_t shortBytes = -1;  // -1: the whole body
    std::int64_t bytesPerSecond = 0;
    int status = 0;
    std::int64_t exactSize = -1;  // -1: the real page
    int generatedShelves = 0;
    int generatedBooks = 0;
    bool endless = false;
};

class RuleTable {
  public:
    AnswerRules get(RuleTarget target) const;
    // Applies one switch (NAME, VALUE) to the target ("all" for every target).
    // Returns an error text, empty on success.
    std::string set(std::string_view target, std::string_view name, std::string_view value);
    // Applies a command-line TARGET:NAME[=VALUE],... text.
    std::string setFromOption(std::string_view option);
    void reset();

  private:
    mutable std::mutex m_mutex;
    AnswerRules m_rules[3];
};

}  // namespace storeserver
