#include "audit.h"

#include <sodium.h>

#include <algorithm>
#include <chrono>
#include <fstream>

#include "json_text.h"
#include "model.h"
#include "system_files.h"

namespace {

constexpr const char* kPrevKey = R"(,"prev":")";
constexpr std::size_t kHexSize = 2 * crypto_hash_sha256_BYTES;

// The place and the previous line's hash of a line as AuditLine writes them.
bool ParseLine(const std::string& line, long long* seq, std::string* prev) {
    const std::string head = "{\"seq\":";
    if (line.rfind(head, 0) != 0) return false;
    std::size_t i = head.size(), digits = 0;
    long long n = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9' && digits < 18) {
        n = n * 10 + (line[i++] - '0');
        ++digits;
    }
    if (digits == 0 || i >= line.size() || line[i] != ',') return false;
    const std::size_t tail = std::string(kPrevKey).size() + kHexSize + 2;
    if (line.size() < i + tail) return false;
    const std::size_t at = line.size() - tail;
    if (line.compare(at, std::string(kPrevKey).size(), kPrevKey) != 0 ||
        line.compare(line.size() - 2, 2, "\"}") != 0)
        return false;
    *seq = n;
    *prev = line.substr(at + std::string(kPrevKey).size(), kHexSize);
    return true;
}

}  // namespace

std::string Sha256Hex(const std::string& text) {
    static const int ready = sodium_init();  // once; the hash itself needs no more
    (void)ready;
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(text.data()), text.size());
    char hex[kHexSize + 1];
    sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
    return hex;
}

std::string AuditLine(const AuditEntry& e, long long seq, const std::string& prev) {
    std::string line = "{\"seq\":" + std::to_string(seq) + ",\"time\":" + JsonString(e.time) +
                       ",\"user\":" + JsonString(e.user) + ",\"program\":" + JsonString(e.program) +
                       ",\"port\":" + JsonString(e.port) +
                       ",\"firmware\":" + JsonString(e.firmware) +
                       ",\"action\":" + JsonString(e.action);
    if (!e.changes.empty() || e.verified) {
        line += ",\"changes\":[";
        for (std::size_t i = 0; i < e.changes.size(); ++i) {
            const AuditEntry::Change& c = e.changes[i];
            line += std::string(i ? "," : "") + "{\"word\":" + JsonString(c.word) +
                    ",\"old\":" + std::to_string(c.before) + ",\"new\":" + std::to_string(c.after) +
                    "}";
        }
        line += "]";
    }
    if (e.verified) line += std::string(",\"verified\":") + (*e.verified ? "true" : "false");
    if (!e.detail.empty()) line += ",\"detail\":" + JsonString(e.detail);
    return line + kPrevKey + prev + "\"}";
}

AuditEntry AuditNow(std::string action) {
    AuditEntry e;
    e.time = LocalTimeWithOffset(std::chrono::system_clock::now());
    e.user = SystemUserName();
    e.action = std::move(action);
    return e;
}

std::vector<AuditEntry::Change> ChangedWords(const std::uint16_t* before,
                                             const std::uint16_t* after) {
    std::vector<AuditEntry::Change> changes;
    for (int k = 0; k < PNUM; ++k)
        if (before[k] != after[k]) changes.push_back({kParameterNames[k], before[k], after[k]});
    return changes;
}

bool AuditTrail::Last(std::string* line, long long* seq, std::string* error) const {
    line->clear();
    *seq = 0;
    std::ifstream in(path_, std::ios::binary);
    if (!in) return true;  // no trail yet: the first line starts it
    // Only the end is read: a trail grows for years.
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0) return true;
    std::string tail;
    std::streamoff from = size;
    constexpr std::streamoff kStep = 4096;
    while (from > 0) {
        const std::streamoff step = std::min(kStep, from);
        from -= step;
        std::string chunk(static_cast<std::size_t>(step), '\0');
        in.seekg(from);
        if (!in.read(chunk.data(), step)) {
            *error = path_ + ": cannot be read";
            return false;
        }
        tail.insert(0, chunk);
        if (tail.find('\n') != tail.size() - 1 && tail.find('\n') != std::string::npos) break;
    }
    if (tail.back() != '\n') {
        *error = path_ + ": last line incomplete";
        return false;
    }
    tail.pop_back();
    const std::size_t start = tail.rfind('\n');
    *line = start == std::string::npos ? tail : tail.substr(start + 1);
    std::string prev;
    if (!ParseLine(*line, seq, &prev)) {
        *error = path_ + ": last line is no audit entry";
        return false;
    }
    return true;
}

bool AuditTrail::Ready(std::string* error) const {
    std::string line;
    long long seq = 0;
    if (!Last(&line, &seq, error)) return false;
    // Opening for appending, without adding a byte, tells whether the file can be written.
    std::ofstream probe(path_, std::ios::binary | std::ios::app);
    if (!probe) {
        *error = path_ + ": cannot be written";
        return false;
    }
    return true;
}

bool AuditTrail::Append(const AuditEntry& entry, std::string* error) const {
    std::string last;
    long long seq = 0;
    if (!Last(&last, &seq, error)) return false;
    return AppendDurably(path_, AuditLine(entry, seq + 1, Sha256Hex(last)) + "\n", error);
}

AuditCheck VerifyAuditTrail(const std::string& path) {
    AuditCheck c;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        c.why = "cannot be read";
        return c;
    }
    std::string previous;  // the first line chains to the empty string
    std::string line;
    auto broken = [&c](long long at, std::string why) {
        c.brokenAt = at;
        c.why = std::move(why);
        return c;
    };
    while (std::getline(in, line)) {
        ++c.lines;
        if (in.eof()) return broken(c.lines, "incomplete line");
        long long seq = 0;
        std::string prev;
        if (!ParseLine(line, &seq, &prev)) return broken(c.lines, "no audit entry");
        // A place out of turn: a line removed before it, or lines moved.
        if (seq != c.lines)
            return broken(c.lines, "entry " + std::to_string(seq) + " where " +
                                       std::to_string(c.lines) + " belongs");
        // The line before no longer has the hash this one recorded: it was changed.
        if (prev != Sha256Hex(previous))
            return c.lines == 1 ? broken(1, "does not start a trail")
                                : broken(c.lines - 1, "changed (the next line's hash differs)");
        previous = line;
    }
    c.ok = true;
    c.lastHash = Sha256Hex(previous);
    return c;
}
