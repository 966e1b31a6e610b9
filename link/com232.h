// Frame codec and receive notification of the sensor link.
#pragma once

#include <cstdint>

// Builds the 36-byte command frame in szWriteBuf: sync word, order, 16 words, big-endian.
void FillTxBuf(std::uint16_t order, const std::uint16_t* words);
// Decodes words 0..count-1 from szReadBuf bytes 4 onward into pp.
void GetRxBuf(int count);
// The receive notification: runs inside event pumping once a whole frame has arrived.
void RX_Receive_Function(int portNumber, int eventMask, void* callbackData);

// Registers the receive notification on `port` with its standard settings, or removes it.
void InstallRxNotification(int port);
void RemoveRxNotification(int port);

// Writes the frame in szWriteBuf to `port`; stores and returns the count written.
int WriteFrame(int port);
// Discards the input queue, then the output queue (the order most commands use).
void FlushQueues(int port);
