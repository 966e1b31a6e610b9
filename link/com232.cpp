#include "com232.h"

#include "model.h"
#include "rs232.h"

void FillTxBuf(std::uint16_t order, const std::uint16_t* words) {
    protocol::EncodeFrame(static_cast<std::uint16_t>(line.sync & 0xFFFF), order, words,
                          line.szWriteBuf);
}

void GetRxBuf(int count) { protocol::DecodePayload(line.szReadBuf, line.pp, count); }

void RX_Receive_Function(int /*portNumber*/, int mask, void* /*callbackData*/) {
    if (!(mask & LWRS_RECEIVE)) return;
    ComRd(line.com, line.szReadBuf, kFrameBytes);
    GetRxBuf(PNUM);
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
    line.nBytesW = ComWrt(port, line.szWriteBuf, kFrameBytes);
    return line.nBytesW;
}

void FlushQueues(int port) {
    FlushInQ(port);
    FlushOutQ(port);
}
