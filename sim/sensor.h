// The simulated sensor: protocol engine, sensor model and fault injection. It answers
// command frames as the device does; time is passed in by the caller (seconds), so the
// same input always gives the same output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "faults.h"
#include "protocol.h"

namespace sim {

// The sensor speaks the line protocol; its names are the simulator's own.
using namespace protocol;

// One reply as the sensor produces it: the bytes, and when they start to leave relative to
// the moment the command frame was complete.
struct Reply {
    std::vector<std::uint8_t> bytes;
    double delay = 0.0;
    bool hangUp = false;  // the sensor side disappears instead of answering
};

struct ReceivedFrame {
    int command = 0;
    Words words{};
    double time = 0.0;  // when the frame's last byte reached the sensor
};

// Where the object's shadow falls on each channel at one moment.
struct ObjectView {
    int leftA = 0, rightA = 0, leftB = 0, rightB = 0;
};

class Sensor {
  public:
    Sensor();

    // Feeds bytes that reached the sensor at time `now`. Complete frames are handled in order;
    // bytes before a 00 55 header are dropped one at a time. Returns the replies, in order.
    std::vector<Reply> Feed(const std::uint8_t* data, std::size_t count, double now);
    // Handles one frame (its sync word already checked); nullopt means no reply.
    std::optional<Reply> Handle(int command, const Words& payload, double now);

    Words& Ram() { return ram_; }
    Words& Eeprom() { return eeprom_; }
    const Words& Ram() const { return ram_; }
    const Words& Eeprom() const { return eeprom_; }
    std::string& FirmwareText() { return firmware_; }
    // The firmware reply as these words (zeros after them) instead of the text's characters in
    // low bytes; empty: the text again. Lets a test put letters into the high bytes.
    void SetFirmwareWords(std::vector<std::uint16_t> words) { firmwareWords_ = std::move(words); }
    static Words DefaultParameters();

    // Faults, keyed by command number; a new fault on a command replaces the old one.
    void SetFault(int command, const Fault& fault) { faults_[command] = fault; }
    void ClearFault(int command) { faults_.erase(command); }
    void ClearFaults() { faults_.clear(); }
    // True once a hang-up fault has fired: the sensor then ignores everything.
    bool HungUp() const { return hungUp_; }

    // Every frame with a valid sync word, known command or not: the newest ones, at most
    // the log limit, so that a sensor answering for hours keeps a flat memory.
    const std::deque<ReceivedFrame>& Log() const { return log_; }
    void ClearLog() { log_.clear(); }
    void SetLogLimit(std::size_t frames) { logLimit_ = frames; }
    static constexpr std::size_t kDefaultLogLimit = 100000;

    // How long storing a parameter set in the EEPROM keeps the sensor busy: a command that
    // arrives meanwhile is answered once the store has ended, and the EEPROM holds the new
    // set from then on. 0 stores at once.
    void SetEepromStoreSeconds(double seconds) { eepromStore_ = seconds; }
    double EepromStoreSeconds() const { return eepromStore_; }
    // 16 words written one by one into an EEPROM cell of a few milliseconds each.
    static constexpr double kDefaultEepromStore = 0.03;

    // Holds the object still as it stands at time t, whenever commands arrive; nullopt lets
    // it move again. Tests that compare replies taken apart in time need this.
    void Hold(std::optional<double> t) { held_ = t; }
    // How the object moves. kProcess: as a line runs, near the set-point with noise and a slow
    // drift, inside the tolerance nearly always, with a short excursion beyond the upper limit
    // every four minutes. kSweep: across most of the line and back every 8 s, outside the
    // tolerance more often than not, for tests that need values far apart.
    enum class Motion { kProcess, kSweep };
    void SetMotion(Motion m) { motion_ = m; }
    static constexpr double kExcursionPeriod = 240.0, kExcursionStart = 200.0,
                            kExcursionLength = 1.5;
    // Puts the object `seconds` further along its path than another sensor's at the same time:
    // several simulated sensors then see different objects.
    void SetPhase(double seconds) { phase_ = seconds; }
    // Records `first` to `first + count - 1` (by their index word) put channel A's measured
    // value outside its tolerance window, beyond the upper limit (below the lower one where
    // the upper is at the end of the line): an excursion a production line would alarm on.
    void SetExcursion(long long first, long long count) {
        excursionFirst_ = first;
        excursionCount_ = count;
    }
    // Measurement records made so far: the number of the next.
    long long Records() const { return records_; }
    // The measured-value ring as these words (word 0 the position) instead of the model's;
    // empty: the model's again.
    void SetRing(std::vector<std::uint16_t> words) { ring_ = std::move(words); }

    // The model, at time t (seconds).
    ObjectView View(double t) const;
    Words Measure(double t);  // a measurement record; updates max/min and the sample index
    std::vector<std::uint16_t> Video(int channel, double t) const;  // 1 = A, 0 = B; 128 samples
    std::vector<std::uint16_t> Ring(double t) const;  // word 0 = position, 1..127 = values
    static constexpr double kRingPeriod = 0.02;       // one measured value into the ring
    static constexpr int kRingSlots = kSamples - 1;

  private:
    std::optional<Reply> Answer(int command, const Words& payload, double when);
    // A fault that acts on the command itself rather than on its reply; true when it did.
    bool DivertCommand(int command, const Words& payload, double now);
    void StoreDue(double now);
    void ApplyFault(int command, std::optional<Reply>& reply);
    int MeasuredA(double t) const;
    int MeasuredB(double t) const;
    std::vector<std::uint8_t> Header(int command, const Words& payload) const;

    Words ram_;
    Words eeprom_;
    std::string firmware_ = "Q-TOR SIM V1.0";
    std::vector<std::uint16_t> firmwareWords_;
    std::optional<double> held_;
    double phase_ = 0.0;
    Motion motion_ = Motion::kProcess;
    std::vector<std::uint16_t> ring_;
    std::map<int, Fault> faults_;
    struct Store {
        double due;
        int command;
        Words words;
    };
    std::vector<Store> stores_;  // writes that take effect later
    double eepromStore_ = kDefaultEepromStore;
    double busyUntil_ = 0.0;  // the EEPROM store under way ends then
    std::deque<ReceivedFrame> log_;
    std::size_t logLimit_ = kDefaultLogLimit;
    std::vector<std::uint8_t> pending_;  // bytes of an incomplete frame
    bool hungUp_ = false;
    bool extremaValid_ = false;
    int anaMax_ = 0, anaMin_ = 0;
    std::uint16_t sIndex_ = 0;
    long long records_ = 0;  // measurement records so far (the index word wraps)
    long long excursionFirst_ = 0, excursionCount_ = 0;
    std::mt19937 garbage_{12345};  // fixed seed: garbage is reproducible
};

}  // namespace sim
