#include "tools/store-server/Rules.h"

#include <charconv>
#include <vector>

namespace storeserver {

namespace {

bool parseNumber(std::string_view text, std::int64_t& number) {
    if (text.empty()) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size() && number >= 0;
}

bool parseFlag(std::string_view value) {
    return value.empty() || value != "0";
}

std::string applySwitch(AnswerRules& rules, std::string_view name, std::string_view value) {
    std::int64_t number = 0;
    const auto needNumber = [&]() { return parseNumber(value, number); };
    if (name == "drop") {
        rules.drop = parseFlag(value);
    } else if (name == "endless") {
        rules.endless = parseFlag(value);
    } else if (name == "delay" && needNumber()) {
        rules.delayMs = static_cast<int>(number);
    } else if (name == "short" && needNumber()) {
        rules.shortBytes = number;
    } else if (name == "rate" && needNumber()) {
        rules.bytesPerSecond = number;
    } else if (name == "status" && needNumber()) {
        rules.status = static_cast<int>(number);
    } else if (name == "size" && needNumber()) {
        rules.exactSize = number;
    } else if (name == "generate") {
        const std::size_t x = value.find('x');
        std::int64_t shelves = 0;
        std::int64_t books = 0;
        if (x == std::string_view::npos || !parseNumber(value.substr(0, x), shelves) ||
            !parseNumber(value.substr(x + 1), books) || shelves > 1000000 || books > 1000000) {
            return "generate needs NxM";
        }
        rules.generatedShelves = static_cast<int>(shelves);
        rules.generatedBooks = static_cast<int>(books);
    } else {
        return "unknown rule or bad value: " + std::string(name) + "=" + std::string(value);
    }
    return {};
}

}  // namespace

AnswerRules RuleTable::get(RuleTarget target) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rules[static_cast<int>(target)];
}

std::string RuleTable::set(std::string_view target, std::string_view name, std::string_view value) {
    std::vector<int> targets;
    if (target == "account") {
        targets = {0};
    } else if (target == "book") {
        targets = {1};
    } else if (target == "static") {
        targets = {2};
    } else if (target == "all") {
        targets = {0, 1, 2};
    } else {
        return "unknown rule target: " + std::string(target);
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int index : targets) {
        std::string error = applySwitch(m_rules[index], name, value);
        if (!error.empty()) {
            return error;
        }
    }
    return {};
}

std::string RuleTable::setFromOption(std::string_view option) {
    const std::size_t colon = option.find(':');
    if (colon == std::string_view::npos) {
        return "a rule is written TARGET:NAME[=VALUE],...";
    }
    const std::string_view target = option.substr(0, colon);
    std::string_view rest = option.substr(colon + 1);
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        const std::size_t equals = item.find('=');
        const std::string_view name = item.substr(0, equals);
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1);
        std::string error = set(target, name, value);
        if (!error.empty()) {
            return error;
        }
    }
    return {};
}

void RuleTable::reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (AnswerRules& rules : m_rules) {
        rules = AnswerRules();
    }
}

}  // namespace storeserver
