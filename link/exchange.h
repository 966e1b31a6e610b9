// One exchange on a sensor's line at a time.
//
// The protocol has no framing and no request ids: a reply is known only by arriving after its
// command. So no command is written while another awaits its reply. An action that needs the
// line while another runs on it (a button pressed during a mode or a get, a port picked during
// a connect) waits for its turn on the link (SensorLink::WhenLineFree): a running mode carries
// it out between two cycles, otherwise it starts once the activity under way has ended.
//
// An exchange is written and returns; its reply, its time-out or the device's loss resumes the
// step that awaits it, from the event loop.
#pragma once

#include <algorithm>
#include <cstdint>

#include "sensor_link.h"
#include "task.h"

// How a reply that arrives in the same pass as the time-out counts.
enum class Tie { kReplyWins, kTimeOutWins };

enum class WaitResult { kReply, kTimeOut, kStopped };

// Result of a command refused because another exchange awaits its reply.
constexpr int kLineBusy = -100;

// What a wait for a reply frame brought: the frame, or why none came.
struct Received {
    WaitResult result = WaitResult::kTimeOut;
    protocol::Frame frame{};         // the 36 bytes as they came
    std::uint16_t words[PNUM] = {};  // their payload, decoded as pp holds it
    bool ok() const { return result == WaitResult::kReply; }
    // The reply's sync word: only the echo check looks at it.
    std::uint16_t SyncWord() const { return protocol::GetWord(frame.data()); }
};

// One command and the wait for its reply. The line is busy from the claim until the object is
// destroyed.
class Exchange {
  public:
    // Claims the line for one exchange; refused while another awaits its reply on the link.
    explicit Exchange(SensorLink& link);
    ~Exchange();
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    bool refused() const { return refused_; }
    // The count written, or a negative error (kLineBusy when refused).
    int written() const { return written_; }

    // Builds the frame for `order` from `words`, discards the queues of the link's port
    // (waiting first for a frame still crossing), writes it and starts the reply clock
    // (tstart). Returns the count written, or kLineBusy when refused.
    Task<int> Write(int order, const std::uint16_t* words, Discard discard);
    // The reply frame the receive notification takes, at most TIMEOUT after the write; a set
    // *stop ends the wait (the stop wakes it through SensorLink::Wake).
    Task<Received> Frame(Tie tie, const int* stop = nullptr);
    // Waits for `count` bytes in the input queue (the notification removed); the queue length
    // at the end, negative when the port was closed meanwhile; `*timedOut` tells whether the
    // time-out passed first.
    Task<int> Bytes(int count, bool* timedOut);

  private:
    bool Decided(Tie tie, const int* stop, Received* got);
    double WakeAfter() { return std::clamp(TIMEOUT - Elapsed(), 0.001, 0.1); }
    double Elapsed();
    void TimedOut();
    SensorLink& link_;
    bool refused_ = false;
    int written_ = 0;
    unsigned long framesBefore_ = 0;
};

// Marks a running mode on a link for as long as it lives.
class ModeScope {
  public:
    explicit ModeScope(SensorLink& link);
    ~ModeScope();
    ModeScope(const ModeScope&) = delete;
    ModeScope& operator=(const ModeScope&) = delete;

  private:
    SensorLink& link_;
};
