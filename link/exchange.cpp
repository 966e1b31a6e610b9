#include "exchange.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "com232.h"
#include "event_loop.h"
#include "link_state.h"
#include "model.h"
#include "rs232.h"
#include "timer.h"

namespace {

struct Queued {
    std::string key;
    ActionKind kind;
    std::function<void()> action;
};

bool g_busy = false;
int g_modes = 0;
bool g_drainPosted = false;
std::vector<Queued> g_queue;

// Polling the input queue without pumping events: pause between polls so the wait does not
// occupy a core.
constexpr double kQueuePollPause = 0.0002;

double Elapsed() {
    line.tdiff = Timer() - line.tstart;
    return line.tdiff;
}

// A reply, a stop and a lost device all arrive as events, so a wait sleeps until one comes
// or the time-out is due; waking every few milliseconds would cost more than the exchange.
// Woken at least ten times a second all the same.
void PumpUntilTimeOut() { ProcessSystemEvents(std::clamp(TIMEOUT - Elapsed(), 0.001, 0.1)); }

bool Runnable(const Queued& q) { return q.kind == ActionKind::kAction || g_modes == 0; }

// Queued actions run from the event loop once the exchange that held them up has ended. A
// drain that finds the line busy again does nothing: the next exchange's end posts another.
void PostDrain() {
    if (g_drainPosted || g_queue.empty()) return;
    g_drainPosted = true;
    PostToEventLoop([] {
        g_drainPosted = false;
        if (!g_busy) ServeQueuedActions();
    });
}

}  // namespace

Exchange::Exchange(int port, int order, const std::uint16_t* words, Discard discard) : port_(port) {
    if (g_busy) {
        refused_ = true;
        written_ = kLineBusy;
        return;
    }
    g_busy = true;
    DiscardQueues(port, discard);
    line.order = order;
    FillTxBuf(static_cast<std::uint16_t>(order), words);
    line.rx_flag = 0;
    written_ = WriteFrame(port);
    line.tstart = Timer();
    line.tdiff = 0.0;
}

Exchange::~Exchange() {
    if (refused_) return;
    g_busy = false;
    PostDrain();
}

WaitResult Exchange::AwaitFrame(Tie tie, const int* stop) {
    if (refused_) return WaitResult::kTimeOut;
    for (;;) {
        PumpUntilTimeOut();
        const bool replied = line.rx_flag == 1;
        const bool late = Elapsed() > TIMEOUT;
        if (stop && *stop) return WaitResult::kStopped;
        if (replied && (tie == Tie::kReplyWins || !late)) {
            ReportReply(port_);
            return WaitResult::kReply;
        }
        // A vanished device never answers, nor does a port closed meanwhile: no need to
        // wait out the time-out.
        if (late || ComDeviceLost(port_) || !ComIsOpen(port_)) {
            TimedOut();
            return WaitResult::kTimeOut;
        }
    }
}

void Exchange::TimedOut() const {
    // A port closed meanwhile was closed by whoever has said why (a vanished device, a pick).
    if (!ComIsOpen(port_)) return;
    ReportLink(ComDeviceLost(port_) ? LinkHealth::kDisconnected : LinkHealth::kNoReply, port_,
               ComDeviceLost(port_) ? kDeviceVanished : "no reply");
}

int Exchange::AwaitBytes(int count, bool pump, bool* timedOut) {
    *timedOut = true;
    if (refused_) return 0;
    for (;;) {
        if (pump) PumpUntilTimeOut();
        const int waiting = GetInQLen(port_);
        // A port closed meanwhile (the main panel closed, another port chosen) never answers.
        if (Elapsed() > TIMEOUT || waiting < 0) {
            TimedOut();
            return waiting;
        }
        if (waiting >= count) {
            FrameAnswered();
            *timedOut = false;
            ReportReply(port_);
            return waiting;
        }
        if (!pump) Delay(kQueuePollPause);
    }
}

bool LineBusy() { return g_busy; }

void WhenLineFree(const std::string& key, ActionKind kind, std::function<void()> action) {
    const bool blockedByMode = kind == ActionKind::kMode && g_modes > 0;
    if (!g_busy && !blockedByMode) {
        action();
        return;
    }
    for (auto it = g_queue.begin(); it != g_queue.end(); ++it) {
        if (it->key == key) {
            g_queue.erase(it);
            break;
        }
    }
    g_queue.push_back({key, kind, std::move(action)});
}

void ServeQueuedActions() {
    while (!g_busy) {
        auto it = g_queue.begin();
        while (it != g_queue.end() && !Runnable(*it)) ++it;
        if (it == g_queue.end()) return;
        const std::function<void()> action = std::move(it->action);
        g_queue.erase(it);
        action();
    }
}

ModeScope::ModeScope() { ++g_modes; }

ModeScope::~ModeScope() {
    --g_modes;
    PostDrain();
}

bool ModeRunning() { return g_modes > 0; }

void ResetExchangeState() {
    g_busy = false;
    g_modes = 0;
    g_drainPosted = false;
    g_queue.clear();
}
