#include "com232.h"

#include <algorithm>

#include "model.h"
#include "rs232.h"
#include "timer.h"

namespace {

// 19200 baud, 8N1: ten bits a byte.
constexpr double kByteSeconds = 10.0 / 19200.0;
// A USB adapter passes a frame on to its UART a USB frame or two after the write.
constexpr double kAdapterDelay = 0.002;

}  // namespace

void FillTxBuf(std::uint16_t order, const std::uint16_t* words) {
    protocol::EncodeFrame(static_cast<std::uint16_t>(line.sync & 0xFFFF), order, words,
                          line.szWriteBuf);
}

void GetRxBuf(int count) { protocol::DecodePayload(line.szReadBuf, line.pp, count); }

void RX_Receive_Function(int /*portNumber*/, int mask, void* /*callbackData*/) {
    if (!(mask & LWRS_RECEIVE)) return;
    ComRd(line.com, line.szReadBuf, kFrameBytes);
    GetRxBuf(PNUM);
    FrameAnswered();
    line.rx_flag = 1;
    line.graphrefresh = 1;
    FlushInQ(line.com);
}

void InstallRxNotification(int port) {
    InstallComCallback(port, eventMask, kFrameBytes, line.sync, RX_Receive_Function, nullptr);
}

void RemoveRxNotification(int port) {
    InstallComCallback(port, eventMask, kFrameBytes, line.sync, nullptr, nullptr);
}

int WriteFrame(int port) {
    const double start = Timer();
    line.nBytesW = ComWrt(port, line.szWriteBuf, kFrameBytes);
    // A frame still crossing delays the next one behind it.
    if (line.nBytesW > 0)
        line.crossedAt =
            std::max(start, line.crossedAt) + line.nBytesW * kByteSeconds + kAdapterDelay;
    return line.nBytesW;
}

void AwaitFrameCrossed(int port) {
    ComDrain(port);
    Delay(line.crossedAt - Timer());
}

void FrameAnswered() { line.crossedAt = std::min(line.crossedAt, Timer()); }

void DiscardOutput(int port) {
    AwaitFrameCrossed(port);
    FlushOutQ(port);
}

void DiscardQueues(int port, Discard order) {
    if (order == Discard::kInThenOut) {
        FlushInQ(port);
        DiscardOutput(port);
    } else if (order == Discard::kOutThenIn) {
        DiscardOutput(port);
        FlushInQ(port);
    }
}

void FlushQueues(int port) { DiscardQueues(port, Discard::kInThenOut); }

void CloseLine(int port) {
    AwaitFrameCrossed(port);
    CloseCom(port);
}
