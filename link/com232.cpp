// The link's frames: codec, receive notification, writes and the discards that never throw a
// written frame away.
#include <algorithm>

#include "rs232.h"
#include "sensor_link.h"
#include "timer.h"

namespace {

// 19200 baud, 8N1: ten bits a byte.
constexpr double kByteSeconds = 10.0 / 19200.0;
// A USB adapter passes a frame on to its UART a USB frame or two after the write, and a busy
// system may hand it over a few milliseconds late: waiting that long more costs nothing.
constexpr double kAdapterDelay = 0.005;

}  // namespace

void SensorLink::FillTxBuf(std::uint16_t order, const std::uint16_t* words) {
    protocol::EncodeFrame(static_cast<std::uint16_t>(sync & 0xFFFF), order, words, szWriteBuf);
}

void SensorLink::GetRxBuf(int count) { protocol::DecodePayload(szReadBuf, pp, count); }

void SensorLink::RX_Receive_Function(int /*portNumber*/, int mask, void* callbackData) {
    if (!(mask & LWRS_RECEIVE)) return;
    auto* link = static_cast<SensorLink*>(callbackData);
    ComRd(link->com, link->szReadBuf, kFrameBytes);
    link->GetRxBuf(PNUM);
    link->FrameAnswered();
    ++link->frames_;
    FlushInQ(link->com);
    link->wake_.Poke();
}

void SensorLink::InstallRxNotification() {
    InstallComCallback(com, eventMask, kFrameBytes, sync, RX_Receive_Function, this);
}

void SensorLink::RemoveRxNotification() {
    InstallComCallback(com, eventMask, kFrameBytes, sync, nullptr, nullptr);
}

int SensorLink::WriteFrame() {
    const double start = Timer();
    const int written = ComWrt(com, szWriteBuf, kFrameBytes);
    // A frame still crossing delays the next one behind it.
    if (written > 0)
        crossedAt_ = std::max(start, crossedAt_) + written * kByteSeconds + kAdapterDelay;
    return written;
}

Task<> SensorLink::AwaitFrameCrossed() {
    // The line's own time is waited out first: a drain asked for then rarely waits.
    co_await Pause(crossedAt_ - Timer());
    ComDrain(com);
}

void SensorLink::FrameAnswered() { crossedAt_ = std::min(crossedAt_, Timer()); }

Task<> SensorLink::DiscardOutput() {
    co_await AwaitFrameCrossed();
    FlushOutQ(com);
}

Task<> SensorLink::DiscardQueues(Discard order) {
    if (order == Discard::kInThenOut) {
        FlushInQ(com);
        co_await DiscardOutput();
    } else if (order == Discard::kOutThenIn) {
        co_await DiscardOutput();
        FlushInQ(com);
    }
}

Task<> SensorLink::FlushQueues() { co_await DiscardQueues(Discard::kInThenOut); }

Task<> SensorLink::CloseLineAfterFrame() {
    co_await AwaitFrameCrossed();
    CloseCom(com);
    wake_.Poke();
}

void SensorLink::CloseLine() {
    ComDrain(com);
    Delay(crossedAt_ - Timer());
    CloseCom(com);
    wake_.Poke();
}

Task<> SensorLink::Pause(double seconds) {
    const double until = Timer() + seconds;
    // Other news of the line (a late reply) wakes the pause early: it sleeps on.
    while (Timer() < until) co_await wake_.Next(until - Timer());
}

Task<> SensorLink::Yield() { co_await wake_.Next(0.0); }
