#include "line.h"

#include <algorithm>

namespace sim {

double ByteSeconds(long baud, int dataBits, bool parity, int stopBits) {
    if (baud <= 0) return 0.0;
    return (1.0 + dataBits + (parity ? 1.0 : 0.0) + stopBits) / static_cast<double>(baud);
}

void LineQueue::Push(const std::uint8_t* data, std::size_t count, double now) {
    double t = used_ ? std::max(now, free_) : now;
    for (std::size_t i = 0; i < count; ++i) {
        t += byte_;
        q_.push_back({data[i], t});
    }
    if (count) {
        free_ = t;
        used_ = true;
    }
}

std::size_t LineQueue::CountDue(double now) const {
    // Due times grow along the queue.
    std::size_t n = 0;
    while (n < q_.size() && q_[n].due <= now) ++n;
    return n;
}

std::size_t LineQueue::Take(std::uint8_t* out, std::size_t max, double now) {
    std::size_t n = 0;
    while (n < max && !q_.empty() && q_.front().due <= now) {
        out[n++] = q_.front().byte;
        q_.pop_front();
    }
    return n;
}

void LineQueue::DropDue(double now) {
    while (!q_.empty() && q_.front().due <= now) q_.pop_front();
}

void LineQueue::DropAfter(double t) {
    while (!q_.empty() && q_.back().due > t) q_.pop_back();
    free_ = q_.empty() ? std::min(free_, t) : q_.back().due;
}

void Line::HostWrite(const std::uint8_t* data, std::size_t count, double now) {
    if (hungUpAt_) return;  // nobody listens any more
    toSensor_.Push(data, count, now + hold_);
}

void Line::Advance(double now) {
    while (!hungUpAt_ && !toSensor_.Empty() && toSensor_.DueOf(0) <= now) {
        const double at = toSensor_.DueOf(0);
        std::uint8_t b = 0;
        toSensor_.Take(&b, 1, at);
        for (const Reply& r : sensor_.Feed(&b, 1, at)) {
            if (r.hangUp) {
                hungUpAt_ = at;
                toSensor_.Clear();
                toHost_.DropAfter(at);
                break;
            }
            toHost_.Push(r.bytes.data(), r.bytes.size(), at + r.delay + hold_);
        }
    }
}

std::size_t Line::HostAvailable(double now) {
    Advance(now);
    return toHost_.CountDue(now);
}

std::size_t Line::HostRead(std::uint8_t* out, std::size_t max, double now) {
    Advance(now);
    return toHost_.Take(out, max, now);
}

void Line::HostFlushInput(double now) {
    Advance(now);
    toHost_.DropDue(now);
}

void Line::HostFlushOutput(double now) {
    Advance(now);
    toSensor_.DropAfter(now);
}

std::optional<double> Line::HostReadyAt(std::size_t count) const {
    if (count == 0) return 0.0;
    if (toHost_.Size() < count) return std::nullopt;
    return toHost_.DueOf(count - 1);
}

std::optional<double> Line::SensorDoneAt() const {
    if (toSensor_.Empty()) return std::nullopt;
    return toSensor_.DueOf(toSensor_.Size() - 1);
}

std::optional<double> Line::NextEvent() const {
    std::optional<double> next;
    if (!toSensor_.Empty()) next = toSensor_.DueOf(0);
    if (!toHost_.Empty()) next = next ? std::min(*next, toHost_.DueOf(0)) : toHost_.DueOf(0);
    return next;
}

}  // namespace sim
