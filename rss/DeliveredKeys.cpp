// Keys files RSS/news/<hash>.delivered, one beside each store file. Text, one
// record a line, lines end with '\n':
//
//   QUILLBOX-DELIVERED 1
//   <crc> D <time> <key>      an item delivered to the reader (time: first fetched)
//   <crc> S <time> <key>      an item dropped from the store (time: last listed)
//   END <count>
//
// The key is escaped as in RSS.list (RecordFormat.h). <crc> is the CRC-32 of
// the rest of the line after "<crc> ", as 8 hexadecimal digits, so a damaged
// line is recognised and only that key is lost. The store file holds the same
// keys; each copy makes up for damage to the other.

#include "rss/DeliveredKeys.h"

#include <map>

#include "rss/Files.h"
#include "rss/RecordFormat.h"

namespace quillbox::rss {
namespace {

constexpr std::string_view kHeader = "QUILLBOX-DELIVERED 1\n";
constexpr std::uint64_t kMaxKeysFileBytes = 16u << 20;

bool parseKeyLine(std::string_view line, RememberedKey& key) {
    // 8 hex digits, ' ', kind, ' ', time, ' ', escaped key
    if (line.size() < 14 || line[8] != ' ' || line[10] != ' ') {
        return false;
    }
    const std::string_view payload = line.substr(9);
    if (line.substr(0, 8) != crcHex(payload)) {
        return false;
    }
    const char kind = line[9];
    if (kind != 'D' && kind != 'S') {
        return false;
    }
    const std::size_t space = line.find(' ', 11);
    if (space == std::string_view::npos ||
        !parseNumberField(line.substr(11, space - 11), key.time) ||
        !unescapeField(line.substr(space + 1), key.key)) {
        return false;
    }
    key.delivered = kind == 'D';
    return !key.key.empty();
}

std::string formatKeys(const std::vector<RememberedKey>& keys) {
    std::string out(kHeader);
    for (const RememberedKey& key : keys) {
        std::string payload;
        payload += key.delivered ? 'D' : 'S';
        payload += ' ';
        payload += numberField(key.time);
        payload += ' ';
        appendEscaped(payload, key.key);
        out += crcHex(payload);
        out += ' ';
        out += payload;
        out += '\n';
    }
    out += "END " + std::to_string(keys.size()) + "\n";
    return out;
}

}  // namespace

std::string deliveredKeysPath(const std::string& storePath) {
    const std::size_t slash = storePath.find_last_of('/');
    const std::size_t dot = storePath.find_last_of('.');
    const bool hasSuffix = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasSuffix ? storePath.substr(0, dot) : storePath) + ".delivered";
}

Result<std::vector<RememberedKey>> readDeliveredKeys(const std::string& path) {
    Result<std::string> bytes = readWholeFile(path, kMaxKeysFileBytes);
    if (!bytes.ok()) {
        return bytes.error();
    }
    const std::string_view text = bytes.value();
    std::vector<RememberedKey> keys;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        RememberedKey key;
        if (parseKeyLine(text.substr(start, end - start), key)) {
            keys.push_back(std::move(key));
        }
        start = end + 1;
    }
    return keys;
}

Status writeDeliveredKeys(const std::string& path, const std::vector<RememberedKey>& keys) {
    const std::string bytes = formatKeys(keys);
    const Result<std::string> existing = readWholeFile(path, kMaxKeysFileBytes);
    if (existing.ok() && existing.value() == bytes) {
        return Done{};
    }
    return writeFileAtomically(path, bytes);
}

Status addDeliveredKeys(const std::string& path, const std::vector<std::string>& keys,
                        std::int64_t now) {
    Result<std::vector<RememberedKey>> read = readDeliveredKeys(path);
    if (!read.ok() && read.error().code != kFileMissing) {
        return read.error();
    }
    std::vector<RememberedKey> all =
        read.ok() ? std::move(read).value() : std::vector<RememberedKey>{};
    std::map<std::string, std::size_t> known;
    for (std::size_t i = 0; i < all.size(); ++i) {
        known.emplace(all[i].key, i);
    }
    for (const std::string& key : keys) {
        const auto found = known.find(key);
        if (found != known.end()) {
            all[found->second].delivered = true;
        } else {
            known.emplace(key, all.size());
            all.push_back(RememberedKey{key, now, true});
        }
    }
    return writeDeliveredKeys(path, all);
}

}  // namespace quillbox::rss
