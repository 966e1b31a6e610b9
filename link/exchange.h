// One exchange on the line at a time.
//
// The protocol has no framing and no request ids: a reply is known only by arriving after its
// command. So no command is written while another awaits its reply. An action that needs the
// line while it is busy (a button pressed inside a wait's event pumping, a port picked during a
// connect) is queued instead: a running mode carries it out between two cycles, otherwise it
// runs once the exchange under way has ended.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "com232.h"

// How a reply that arrives in the same pass as the time-out counts.
enum class Tie { kReplyWins, kTimeOutWins };

enum class WaitResult { kReply, kTimeOut, kStopped };

// Result of a command refused because another exchange awaits its reply.
constexpr int kLineBusy = -100;

// One command and the wait for its reply. The line is busy from the write until the object
// is destroyed.
class Exchange {
  public:
    // Discards the queues of `port`, builds the frame for `order` from `words`, clears
    // rx_flag, writes the frame and starts the reply clock (tstart). Refused, writing nothing,
    // while another exchange is under way.
    Exchange(int port, int order, const std::uint16_t* words, Discard discard);
    ~Exchange();
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    bool refused() const { return refused_; }
    // The count written, or a negative error (kLineBusy when refused).
    int written() const { return written_; }

    // Waits, pumping events, for the receive notification to take the reply (rx_flag), at most
    // TIMEOUT after the write. A set *stop ends the wait at the end of the pass that set it.
    WaitResult AwaitFrame(Tie tie, const int* stop = nullptr);
    // Waits for `count` bytes in the input queue (with the notification removed), pumping
    // events or polling without. Returns the queue length at the end, negative when the port
    // was closed meanwhile; `*timedOut` tells whether the time-out passed first.
    int AwaitBytes(int count, bool pump, bool* timedOut);

  private:
    void TimedOut() const;
    int port_ = 0;
    bool refused_ = false;
    int written_ = 0;
};

// True while an exchange is under way.
bool LineBusy();

enum class ActionKind {
    kAction,  // a single exchange or sequence: teach, reset, send, get, connect, data buffer
    kMode,    // a mode that runs until stopped: run, video
};

// Runs `action` now when the line is free; otherwise queues it. An action queued under the
// same key replaces the earlier one (the last port picked wins). Modes are never started from
// inside another mode.
void WhenLineFree(const std::string& key, ActionKind kind, std::function<void()> action);
// Carries out the queued actions now; a mode calls it between two cycles.
void ServeQueuedActions();

// Marks a running mode for as long as it lives.
class ModeScope {
  public:
    ModeScope();
    ~ModeScope();
    ModeScope(const ModeScope&) = delete;
    ModeScope& operator=(const ModeScope&) = delete;
};
bool ModeRunning();

// Back to an idle line with nothing queued (tests).
void ResetExchangeState();
