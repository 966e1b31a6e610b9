#include "operator_lock.h"

#include <utility>

OperatorLock::OperatorLock(StoredKey key, AuditTrail trail,
                           std::function<AuditEntry(const std::string&)> entry)
    : key_(std::move(key)), trail_(std::move(trail)), entry_(std::move(entry)) {}

std::string OperatorLock::Level() const {
    if (!KeySet()) return {};
    return unlocked_ ? "Maintenance" : "Operator";
}

bool OperatorLock::Keep(const AuditEntry& entry, std::string* error) const {
    return !trail_.Kept() || trail_.Append(entry, error);
}

double OperatorLock::RefusedFor(double now) const {
    return now < refusedUntil_ ? refusedUntil_ - now : 0.0;
}

OperatorLock::Unlock OperatorLock::TryUnlock(const std::string& key, double now) {
    if (!KeySet() || unlocked_) return Unlock::kUnlocked;
    // While refused, a try is not even checked: guessing gains nothing.
    if (RefusedFor(now) > 0.0) return Unlock::kRefused;
    if (refusedUntil_ >= 0.0) {
        refusedUntil_ = -1.0;  // the minute is over: five more tries
        wrongInARow_ = 0;
    }
    std::string error;
    if (!KeyMatches(key_, key)) {
        Keep(Entry("wrong-key"), &error);  // refused whether or not the trail takes it
        if (++wrongInARow_ >= kWrongKeysBeforeRefusal) refusedUntil_ = now + kRefusalSeconds;
        return Unlock::kWrongKey;
    }
    // No maintenance the trail does not know of.
    if (!Keep(Entry("unlock"), &error)) return Unlock::kTrailUnwritable;
    wrongInARow_ = 0;
    unlocked_ = true;
    lastInput_ = now;
    return Unlock::kUnlocked;
}

void OperatorLock::Lock(const std::string& why, double) {
    if (!unlocked_) return;
    unlocked_ = false;
    AuditEntry e = Entry("lock");
    e.detail = why;
    std::string error;
    Keep(e, &error);  // locked either way
}

bool OperatorLock::RelockIfIdle(double now) {
    if (!unlocked_ || now - lastInput_ < kIdleSeconds) return false;
    Lock("idle", now);
    return true;
}
