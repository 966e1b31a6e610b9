// The audit trail: one JSON line per change made to a sensor and per unlock, lock, wrong key
// and alarm acknowledgement. Each line holds its place in the trail ("seq", from 1) and the
// SHA-256 of the line before it ("prev"; the first line: of the empty string), so that a
// changed, removed or moved line breaks the chain. Lines are only ever appended.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Actions: "send-ram", "send-eeprom", "teach", "reset", "unlock", "lock", "wrong-key",
// "acknowledge".
struct AuditEntry {
    std::string time;  // local time with its offset
    std::string user;  // the system user
    std::string program;
    std::string port;
    std::string firmware;
    std::string action;
    struct Change {
        std::string word;  // its name
        std::uint16_t before = 0, after = 0;
    };
    std::vector<Change> changes;   // a parameter write: the words it changed
    std::optional<bool> verified;  // a parameter write: the read-back gave the set sent
    std::string detail;            // anything else worth keeping ("channel A", ...)
};

// The SHA-256 of `text` in lower-case hex.
std::string Sha256Hex(const std::string& text);
// The line of `entry` at place `seq` after a line whose hash is `prev`, without its line end.
std::string AuditLine(const AuditEntry& entry, long long seq, const std::string& prev);
// An entry with the time and the system user of now.
AuditEntry AuditNow(std::string action);
// The words of `after` that differ from `before`, by name.
std::vector<AuditEntry::Change> ChangedWords(const std::uint16_t* before,
                                             const std::uint16_t* after);

class AuditTrail {
  public:
    explicit AuditTrail(std::string path = {}) : path_(std::move(path)) {}
    const std::string& Path() const { return path_; }
    bool Kept() const { return !path_.empty(); }
    // True when an entry can be appended: the file can be written and its last line is whole.
    // A change to a sensor is refused before it is made when this fails.
    bool Ready(std::string* error) const;
    // Appends `entry` chained to the last line, on the disk before it returns.
    bool Append(const AuditEntry& entry, std::string* error) const;

  private:
    // The last line (without its line end) and its place; "" and 0 for an empty trail.
    bool Last(std::string* line, long long* seq, std::string* error) const;
    std::string path_;
};

struct AuditCheck {
    bool ok = false;
    long long lines = 0;     // lines read
    long long brokenAt = 0;  // the first broken line, from 1
    std::string why;
    std::string lastHash;  // of the last line: kept elsewhere, it guards that line too
};
AuditCheck VerifyAuditTrail(const std::string& path);
