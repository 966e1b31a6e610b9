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

// Which queues a command discards before it is written, in that order.
enum class Discard { kNone, kInThenOut, kOutThenIn };

// A frame the program wrote is never thrown away by the program: every discard of the output
// queue, and every close, first waits until the frame written last has crossed the line (the
// device drained and the frame's own line time passed; pseudo-terminals and many USB adapters
// report "drained" while the bytes are still on their way). After a reply there is nothing
// to wait for.
void AwaitFrameCrossed(int port);
// A reply came: the frame it answers has crossed (on a line faster than ours, sooner).
void FrameAnswered();
void DiscardOutput(int port);
void DiscardQueues(int port, Discard order);
// Discards the input queue, then the output queue (the order most commands use).
void FlushQueues(int port);
// Closes `port` once the frame written last has crossed.
void CloseLine(int port);
