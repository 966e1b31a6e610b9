#include "sensor.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace sim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kOffsetB = 6;  // channel B sees the object a few pixels further right

int Clamp(int v, int lo, int hi) { return std::min(std::max(v, lo), hi); }

// Share of the pixel range [a, a + 8) that lies inside [left, right).
double Covered(int a, int left, int right) {
    const int lo = std::max(a, left);
    const int hi = std::min(a + 8, right);
    return hi > lo ? (hi - lo) / 8.0 : 0.0;
}

// A standard normal value for the instant t, the same each time t is asked for (to the
// millisecond): a held object stays where it is, and a replayed trace sees what was measured.
double NoiseAt(double t) {
    auto mix = [](std::uint64_t x) {  // splitmix64
        x += 0x9E3779B97F4A7C15ULL;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
        return x ^ (x >> 31);
    };
    const auto k = static_cast<std::uint64_t>(std::llround(t * 1000.0));
    const double u1 = (static_cast<double>(mix(k) >> 11) + 1.0) / 9007199254740993.0;  // (0, 1]
    const double u2 = static_cast<double>(mix(k ^ 0x5DEECE66DULL) >> 11) / 9007199254740992.0;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * kPi * u2);
}

}  // namespace

Sensor::Sensor() : ram_(DefaultParameters()), eeprom_(DefaultParameters()) {}

Words Sensor::DefaultParameters() {
    return {200, 200, 512, 512, 1, 1, 1, 512, 512, 100, 1, 0, 1000, 0, 0, 0};
}

std::vector<Reply> Sensor::Feed(const std::uint8_t* data, std::size_t count, double now) {
    std::vector<Reply> replies;
    for (std::size_t i = 0; i < count && !hungUp_; ++i) {
        pending_.push_back(data[i]);
        // Drop bytes until a 00 55 header starts the buffer.
        while (!pending_.empty() &&
               (pending_[0] != 0x00 || (pending_.size() >= 2 && pending_[1] != 0x55))) {
            pending_.erase(pending_.begin());
        }
        if (pending_.size() < kFrameBytes) continue;
        const int command = GetWord(&pending_[2]);
        const Words payload = DecodePayload(pending_.data());
        pending_.clear();
        if (auto reply = Handle(command, payload, now)) replies.push_back(std::move(*reply));
    }
    return replies;
}

std::optional<Reply> Sensor::Handle(int command, const Words& payload, double now) {
    if (hungUp_) return std::nullopt;
    log_.push_back({command, payload, now});
    while (log_.size() > logLimit_) log_.pop_front();
    // A sensor storing into its EEPROM takes up the command only when the store has ended.
    const double at = std::max(now, busyUntil_);
    StoreDue(at);
    if (DivertCommand(command, payload, at)) return std::nullopt;
    auto reply = Answer(command, payload, at);
    ApplyFault(command, reply);
    if (reply) reply->delay += at - now;
    return reply;
}

bool Sensor::DivertCommand(int command, const Words& payload, double now) {
    auto it = faults_.find(command);
    if (it == faults_.end()) return false;
    const Fault fault = it->second;
    const bool write = command == kWriteRam || command == kWriteEeprom;
    if (fault.kind == FaultKind::kLate && write) {
        stores_.push_back({now + std::max(0.0, fault.arg), command, payload});
    } else if (fault.kind != FaultKind::kIgnore) {
        return false;
    }
    if (fault.once) faults_.erase(it);
    return true;
}

void Sensor::StoreDue(double now) {
    for (auto it = stores_.begin(); it != stores_.end();) {
        if (it->due > now) {
            ++it;
            continue;
        }
        (it->command == kWriteRam ? ram_ : eeprom_) = it->words;
        it = stores_.erase(it);
    }
}

std::vector<std::uint8_t> Sensor::Header(int command, const Words& payload) const {
    const Frame f = EncodeFrame(kReplySync, static_cast<std::uint16_t>(command), payload);
    return {f.begin(), f.end()};
}

std::optional<Reply> Sensor::Answer(int command, const Words& payload, double when) {
    const double now = held_.value_or(when);  // the model's time
    switch (command) {
        case kWriteRam: ram_ = payload; return std::nullopt;
        case kWriteEeprom:
            if (eepromStore_ <= 0) {
                eeprom_ = payload;
            } else {
                busyUntil_ = when + eepromStore_;
                stores_.push_back({busyUntil_, kWriteEeprom, payload});
            }
            return std::nullopt;
        case kReadRam: return Reply{Header(command, ram_)};
        case kReadEeprom: return Reply{Header(command, eeprom_)};
        case kEcho: return Reply{Header(command, payload)};
        case kTeach:
            ram_[kTValA] = static_cast<std::uint16_t>(MeasuredA(now));
            ram_[kTValB] = static_cast<std::uint16_t>(MeasuredB(now));
            return Reply{Header(command, ram_)};
        case kFirmware: {
            Reply r;
            r.bytes.assign(kFirmwareBytes, 0);
            if (!firmwareWords_.empty()) {
                const std::size_t n = std::min(firmwareWords_.size(), kFirmwareBytes / 2);
                for (std::size_t i = 0; i < n; ++i) PutWord(&r.bytes[2 * i], firmwareWords_[i]);
                return r;
            }
            const std::size_t n = std::min(firmware_.size(), kFirmwareBytes / 2);
            for (std::size_t i = 0; i < n; ++i) r.bytes[2 * i + 1] = std::uint8_t(firmware_[i]);
            return r;
        }
        case kMeasure: return Reply{Header(command, Measure(now))};
        case kDataBlock: {
            const int start = payload[0];
            const int selector = payload[1];
            std::vector<std::uint16_t> source;
            if (selector == 0 || selector == 1) source = Video(selector, now);
            if (selector == 2) source = Ring(now);
            Reply r;
            r.bytes.assign(kBlockBytes, 0);
            for (int i = 0; i < 64; ++i) {
                const std::size_t at =
                    static_cast<std::size_t>(start) + static_cast<std::size_t>(i);
                if (at < source.size()) PutWord(&r.bytes[2 * i], source[at]);
            }
            return r;
        }
        case kResetMaxMin: extremaValid_ = false; return Reply{Header(command, Measure(now))};
        default: return std::nullopt;  // unknown commands are ignored
    }
}

void Sensor::ApplyFault(int command, std::optional<Reply>& reply) {
    auto it = faults_.find(command);
    if (it == faults_.end()) return;
    const Fault fault = it->second;
    if (fault.kind == FaultKind::kHangUp) {
        hungUp_ = true;
        pending_.clear();
        reply = Reply{{}, 0.0, true};
    } else if (!reply) {
        return;  // nothing to distort: the fault waits for a command that answers
    } else {
        auto& bytes = reply->bytes;
        const auto n = static_cast<std::size_t>(std::max(0.0, fault.arg));
        switch (fault.kind) {
            case FaultKind::kNoReply: reply.reset(); break;
            case FaultKind::kLate: reply->delay += std::max(0.0, fault.arg); break;
            case FaultKind::kCut:
                if (n < bytes.size()) bytes.resize(n);
                break;
            case FaultKind::kLengthen: bytes.insert(bytes.end(), n, 0x00); break;
            case FaultKind::kWrongSync:
                PutWord(bytes.data(), fault.arg > 0 ? std::uint16_t(fault.arg) : 0xAA00);
                break;
            case FaultKind::kGarbage:
                for (auto& b : bytes) b = static_cast<std::uint8_t>(garbage_() & 0xFF);
                break;
            case FaultKind::kHangUp:
            case FaultKind::kIgnore: break;
        }
    }
    if (fault.once) faults_.erase(command);
}

ObjectView Sensor::View(double t) const {
    t += phase_;
    double centre = 0, width = 0;
    if (motion_ == Motion::kSweep) {
        // Across the line and back, breathing a little, slowly enough to follow by eye.
        centre = 512.0 + 220.0 * std::sin(2.0 * kPi * t / 8.0);
        width = 140.0 + 40.0 * std::sin(2.0 * kPi * t / 13.0);
    } else {
        // Around the default set-point: a drift of a few minutes, noise of 18 pixels from one
        // record to the next (a Cpk near 1.7 in the default tolerance of 100), and now and
        // then a short excursion well beyond the upper limit.
        const double drift = 12.0 * std::sin(2.0 * kPi * t / 300.0);
        const double cycle = std::fmod(std::max(t, 0.0), kExcursionPeriod);
        const bool out = cycle >= kExcursionStart && cycle < kExcursionStart + kExcursionLength;
        centre = 512.0 + drift + 18.0 * NoiseAt(t) + (out ? 160.0 : 0.0);
        width = 140.0 + 10.0 * std::sin(2.0 * kPi * t / 13.0);
    }
    ObjectView v;
    v.leftA = Clamp(static_cast<int>(std::lround(centre - width / 2)), 0, kPixels);
    v.rightA = Clamp(static_cast<int>(std::lround(centre + width / 2)), 0, kPixels);
    v.leftB = Clamp(v.leftA + kOffsetB, 0, kPixels);
    v.rightB = Clamp(v.rightA + kOffsetB, 0, kPixels);
    return v;
}

int Sensor::MeasuredA(double t) const {
    const ObjectView v = View(t);
    return (v.leftA + v.rightA) / 2;
}

int Sensor::MeasuredB(double t) const {
    const ObjectView v = View(t);
    return (v.leftB + v.rightB) / 2;
}

Words Sensor::Measure(double t) {
    const ObjectView v = View(t);
    int a = MeasuredA(t);
    const long long record = records_++;
    if (record >= excursionFirst_ && record < excursionFirst_ + excursionCount_) {
        const int high = ram_[kTValA] + ram_[kTTol];
        a = high + 20 <= kPixels - 1 ? high + 20 : std::max(0, ram_[kTValA] - ram_[kTTol] - 20);
    }
    const int b = MeasuredB(t);
    if (!extremaValid_) {
        anaMax_ = anaMin_ = a;
        extremaValid_ = true;
    }
    anaMax_ = std::max(anaMax_, a);
    anaMin_ = std::min(anaMin_, a);
    const int mode = ram_[kEvalMode];
    Words r{};
    r[kAvalue] = std::uint16_t(a);
    r[kBvalue] = std::uint16_t(b);
    r[kMvalue] = std::uint16_t(mode == 3 ? Clamp(512 + a - ram_[kTValA], 0, kPixels) : (a + b) / 2);
    r[kRecTTol] = ram_[kTTol];
    r[kRecTValA] = ram_[kTValA];
    r[kRecTValB] = ram_[kTValB];
    r[kTVal] = mode == 3 ? 512 : (mode == 2 ? ram_[kTValB] : ram_[kTValA]);
    r[kEdcntA] = 2;
    r[kEdcntB] = 2;
    r[kLeftA] = std::uint16_t(v.leftA);
    r[kRightA] = std::uint16_t(v.rightA);
    r[kRightB] = std::uint16_t(v.rightB);
    r[kLeftB] = std::uint16_t(v.leftB);
    r[kAnaMax] = std::uint16_t(anaMax_);
    r[kAnaMin] = std::uint16_t(anaMin_);
    r[kSIndex] = sIndex_++;
    return r;
}

std::vector<std::uint16_t> Sensor::Video(int channel, double t) const {
    const ObjectView v = View(t);
    const int left = channel == 1 ? v.leftA : v.leftB;
    const int right = channel == 1 ? v.rightA : v.rightB;
    const int power = channel == 1 ? ram_[kPowerA] : ram_[kPowerB];
    std::vector<std::uint16_t> out(kSamples);
    for (int i = 0; i < kSamples; ++i) {
        // A fixed ripple, as from the optics, and a little more light on A than on B.
        const double ripple = 25.0 * std::sin(0.9 * i + channel) + 10.0 * std::sin(0.23 * i);
        const double bright =
            std::min(1023.0, (850.0 + ripple - 20.0 * (1 - channel)) * power / 200.0);
        const double shadow = 100.0 + (i * 7) % 11;
        const double f = Covered(8 * i, left, right);
        out[i] = static_cast<std::uint16_t>(std::lround(bright * (1.0 - f) + shadow * f));
    }
    return out;
}

std::vector<std::uint16_t> Sensor::Ring(double t) const {
    if (!ring_.empty()) {
        std::vector<std::uint16_t> out = ring_;
        out.resize(kSamples);
        return out;
    }
    const long long now = static_cast<long long>(std::floor(std::max(t, 0.0) / kRingPeriod));
    std::vector<std::uint16_t> out(kSamples);
    // The position is the slot written next, which holds the oldest value: the ring read from
    // there runs from the oldest value to the newest.
    out[0] = static_cast<std::uint16_t>(1 + (now + 1) % kRingSlots);
    for (int slot = 1; slot <= kRingSlots; ++slot) {
        // The newest sample written into this slot.
        const long long k = now - ((now - (slot - 1)) % kRingSlots + kRingSlots) % kRingSlots;
        out[slot] = static_cast<std::uint16_t>(MeasuredA(static_cast<double>(k) * kRingPeriod));
    }
    return out;
}

}  // namespace sim
