#include "com232.h"

#include "model.h"
#include "rs232.h"

void FillTxBuf(std::uint16_t order, const std::uint16_t* words) {
    std::uint8_t* buf = line.szWriteBuf;
    buf[0] = static_cast<std::uint8_t>((line.sync >> 8) & 0xFF);
    buf[1] = static_cast<std::uint8_t>(line.sync & 0xFF);
    buf[2] = static_cast<std::uint8_t>(order >> 8);
    buf[3] = static_cast<std::uint8_t>(order & 0xFF);
    for (int k = 0; k < PNUM; ++k) {
        buf[4 + 2 * k] = static_cast<std::uint8_t>(words[k] >> 8);
        buf[5 + 2 * k] = static_cast<std::uint8_t>(words[k] & 0xFF);
    }
}

void GetRxBuf(int count) {
    for (int k = 0; k < count && k < PNUM; ++k) {
        line.pp[k] =
            static_cast<std::uint16_t>(line.szReadBuf[4 + 2 * k] * 256 + line.szReadBuf[5 + 2 * k]);
    }
}

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
