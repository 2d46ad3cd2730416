#include "rss/Dates.h"

#include <cctype>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace quillbox::rss {
namespace {

struct Fields {
    int year = -1;
    int month = -1;
    int day = -1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int offsetMinutes = 0;  // east of UTC
    bool timeSeen = false;
};

bool validFields(const Fields& f) {
    return f.year >= 1970 && f.year <= 9999 && f.month >= 1 && f.month <= 12 && f.day >= 1 &&
           f.day <= 31 && f.hour >= 0 && f.hour <= 24 && f.minute >= 0 && f.minute <= 59 &&
           f.second >= 0 && f.second <= 60;
}

std::int64_t toUnix(const Fields& f) {
    if (!validFields(f)) {
        return 0;
    }
    const std::int64_t value = unixTime(f.year, f.month, f.day, f.hour, f.minute, f.second) -
                               static_cast<std::int64_t>(f.offsetMinutes) * 60;
    return value > 0 ? value : 0;
}

int monthFromName(std::string_view word) {
    static const char* const names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
    if (word.size() < 3) {
        return -1;
    }
    std::string prefix;
    for (std::size_t i = 0; i < 3; ++i) {
        prefix += static_cast<char>(std::tolower(static_cast<unsigned char>(word[i])));
    }
    for (int i = 0; i < 12; ++i) {
        if (prefix == names[i]) {
            return i + 1;
        }
    }
    return -1;
}

bool zoneFromName(std::string_view word, int& offset) {
    struct Zone {
        const char* name;
        int minutes;
    };
    static const Zone zones[] = {
        {"GMT", 0},    {"UT", 0},     {"UTC", 0},    {"Z", 0},      {"EST", -300}, {"EDT", -240},
        {"CST", -360}, {"CDT", -300}, {"MST", -420}, {"MDT", -360}, {"PST", -480}, {"PDT", -420},
        {"CET", 60},   {"CEST", 120}, {"MET", 60},   {"MEST", 120}, {"BST", 60},   {"EET", 120},
        {"EEST", 180}, {"MSK", 180},  {"MSD", 240},  {"WET", 0},    {"WEST", 60},  {"JST", 540},
        {"IST", 330},  {"AEST", 600}, {"AEDT", 660}};
    std::string upper;
    for (const char c : word) {
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    for (const Zone& zone : zones) {
        if (upper == zone.name) {
            offset = zone.minutes;
            return true;
        }
    }
    return false;
}

// "+0300", "-08:00", "+01", "+00:0"
bool numericZone(std::string_view text, int& offset) {
    if (text.size() < 2 || (text[0] != '+' && text[0] != '-')) {
        return false;
    }
    std::string digits;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(text[i]))) {
            digits += text[i];
        } else if (text[i] != ':') {
            return false;
        }
    }
    if (digits.empty() || digits.size() > 4) {
        return false;
    }
    int hours = 0;
    int minutes = 0;
    if (digits.size() <= 2) {
        hours = std::stoi(digits);
    } else {
        hours = std::stoi(digits.substr(0, 2));
        minutes = std::stoi(digits.substr(2));
    }
    if (hours > 14 || minutes > 59) {
        return false;
    }
    offset = (hours * 60 + minutes) * (text[0] == '-' ? -1 : 1);
    return true;
}

// Reads up to maxDigits digits at text[at]; -1 when there are none.
int readNumber(std::string_view text, std::size_t& at, std::size_t maxDigits) {
    int value = 0;
    std::size_t count = 0;
    while (at < text.size() && count < maxDigits &&
           std::isdigit(static_cast<unsigned char>(text[at]))) {
        value = value * 10 + (text[at] - '0');
        ++at;
        ++count;
    }
    return count == 0 ? -1 : value;
}

// 2003-12-13T18:30:02.25+01:00, 2023-12-16, 2006-01-11 16:43:22 -0800, 2020/1/10 14:03:00
std::int64_t parseIsoLike(std::string_view text) {
    Fields f;
    std::size_t at = 0;
    f.year = readNumber(text, at, 4);
    if (at != 4 || at >= text.size() || (text[at] != '-' && text[at] != '/')) {
        return -1;
    }
    const char separator = text[at++];
    f.month = readNumber(text, at, 2);
    if (at >= text.size() || text[at] != separator) {
        if (at == text.size() && f.month > 0) {
            f.day = 1;
            return toUnix(f);
        }
        return -1;
    }
    ++at;
    f.day = readNumber(text, at, 2);
    if (at >= text.size()) {
        return toUnix(f);
    }
    if (text[at] != 'T' && text[at] != 't' && text[at] != ' ') {
        return -1;
    }
    while (at < text.size() && (text[at] == 'T' || text[at] == 't' || text[at] == ' ')) {
        ++at;
    }
    f.hour = readNumber(text, at, 2);
    if (f.hour < 0 || at >= text.size() || text[at] != ':') {
        return -1;
    }
    ++at;
    f.minute = readNumber(text, at, 2);
    if (at < text.size() && text[at] == ':') {
        ++at;
        f.second = readNumber(text, at, 2);
        if (f.second < 0) {
            f.second = 0;
        }
    }
    if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
        ++at;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
            ++at;
        }
    }
    while (at < text.size() && text[at] == ' ') {
        ++at;
    }
    const std::string_view zone = text.substr(at);
    if (!zone.empty() && !numericZone(zone, f.offsetMinutes) &&
        !zoneFromName(zone, f.offsetMinutes)) {
        f.offsetMinutes = 0;  // an unreadable zone: the time itself is still good
    }
    return toUnix(f);
}

// RFC 822 and its relatives, read token by token.
std::int64_t parseWords(std::string_view text) {
    // Each word, and whether a comma closed it (a day name: "mar," is Tuesday
    // in Italian, not March).
    std::vector<std::pair<std::string, bool>> tokens;
    std::string current;
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) || c == ',') {
            if (!current.empty()) {
                tokens.emplace_back(current, c == ',');
                current.clear();
            }
        } else {
            current += c;
        }
    }
    if (!current.empty()) {
        tokens.emplace_back(current, false);
    }
    Fields f;
    bool pm = false;
    bool am = false;
    for (std::size_t index = 0; index < tokens.size(); ++index) {
        const std::string& token = tokens[index].first;
        const bool dayName = index == 0 && tokens[index].second;
        const auto first = static_cast<unsigned char>(token[0]);
        if (token.find(':') != std::string::npos && std::isdigit(first)) {
            std::size_t at = 0;
            f.hour = readNumber(token, at, 2);
            if (at < token.size() && token[at] == ':') {
                ++at;
                f.minute = readNumber(token, at, 2);
            }
            if (at < token.size() && token[at] == ':') {
                ++at;
                f.second = readNumber(token, at, 2);
            }
            if (f.hour < 0 || f.minute < 0 || f.second < 0) {
                return 0;
            }
            f.timeSeen = true;
            continue;
        }
        if ((token[0] == '+' || token[0] == '-') && numericZone(token, f.offsetMinutes)) {
            continue;
        }
        if (std::isdigit(first)) {
            std::size_t at = 0;
            const int value = readNumber(token, at, 9);
            if (at != token.size() &&
                !(at + 2 == token.size() && std::isalpha(static_cast<unsigned char>(token[at])))) {
                continue;  // "1st", "2nd" pass; other mixtures are ignored
            }
            if (f.day < 0 && token.size() <= 2 && value >= 1 && value <= 31) {
                f.day = value;
            } else if (f.year < 0 && (token.size() == 4 || token.size() == 2)) {
                f.year = token.size() == 2 ? (value < 70 ? 2000 + value : 1900 + value) : value;
            } else if (!f.timeSeen && token.size() == 4 && f.year >= 0) {
                f.hour = value / 100;
                f.minute = value % 100;
                f.timeSeen = true;
            }
            continue;
        }
        const int month = dayName ? -1 : monthFromName(token);
        if (month > 0 && f.month < 0) {
            f.month = month;
            continue;
        }
        std::string lower;
        for (const char c : token) {
            lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (lower == "pm" || lower == "p.m.") {
            pm = true;
        } else if (lower == "am" || lower == "a.m.") {
            am = true;
        } else {
            zoneFromName(token, f.offsetMinutes);
        }
    }
    if (pm && f.hour < 12) {
        f.hour += 12;
    }
    if (am && f.hour == 12) {
        f.hour = 0;
    }
    return toUnix(f);
}

}  // namespace

std::int64_t unixTime(int year, int month, int day, int hour, int minute, int second) {
    // Days from the civil date (proleptic Gregorian calendar).
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t days = static_cast<std::int64_t>(era) * 146097 + dayOfEra - 719468;
    return days * 86400 + std::int64_t{hour} * 3600 + std::int64_t{minute} * 60 + second;
}

std::int64_t parseFeedDate(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    if (text.empty() || text.size() > 100) {
        return 0;
    }
    bool allDigits = true;
    for (const char c : text) {
        allDigits = allDigits && std::isdigit(static_cast<unsigned char>(c));
    }
    if (allDigits) {
        if (text.size() >= 9 && text.size() <= 11) {
            return std::stoll(std::string(text));
        }
        return 0;
    }
    const std::int64_t iso = parseIsoLike(text);
    if (iso >= 0) {
        return iso;
    }
    return parseWords(text);
}

}  // namespace quillbox::rss
