// The operator lock of a station: Operator level while a maintenance key is set, Maintenance
// level after the right key, back to Operator by hand, after ten minutes without input and at
// close. Five wrong keys in a row refuse unlocking for a minute. Unlock, lock and every wrong
// key go into the audit trail. Times are passed in (the program's Timer()), so that the rules
// are checked without waiting.
#pragma once

#include <functional>
#include <string>

#include "audit.h"
#include "maintenance_key.h"

class OperatorLock {
  public:
    static constexpr double kIdleSeconds = 600.0;
    static constexpr double kRefusalSeconds = 60.0;
    static constexpr int kWrongKeysBeforeRefusal = 5;

    // `entry` makes an entry of the station for an action (program, port, firmware filled in).
    OperatorLock(StoredKey key, AuditTrail trail,
                 std::function<AuditEntry(const std::string&)> entry);

    bool KeySet() const { return key_.Set(); }
    // True while changes to the sensor need the key.
    bool Locked() const { return KeySet() && !unlocked_; }
    // "Operator" or "Maintenance"; empty without a key (nothing is locked).
    std::string Level() const;

    enum class Unlock { kUnlocked, kWrongKey, kRefused, kTrailUnwritable };
    Unlock TryUnlock(const std::string& key, double now);
    // Seconds unlocking stays refused; 0 when it may be tried.
    double RefusedFor(double now) const;
    // Back to Operator level; `why` ("by hand", "idle", "close") goes into the trail.
    void Lock(const std::string& why, double now);
    // Any input keeps Maintenance level for another ten minutes.
    void Input(double now) { lastInput_ = now; }
    // Relocks after ten minutes without input; true when it did.
    bool RelockIfIdle(double now);

    const AuditTrail& Trail() const { return trail_; }
    // A line for the trail; the reason in *error when it cannot be written.
    bool Keep(const AuditEntry& entry, std::string* error) const;
    AuditEntry Entry(const std::string& action) const { return entry_(action); }

  private:
    StoredKey key_;
    AuditTrail trail_;
    std::function<AuditEntry(const std::string&)> entry_;
    bool unlocked_ = false;
    int wrongInARow_ = 0;
    double refusedUntil_ = -1.0;
    double lastInput_ = 0.0;
};
