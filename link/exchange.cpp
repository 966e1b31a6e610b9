#include "exchange.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "event_loop.h"
#include "rs232.h"
#include "timer.h"

namespace {

// Polling the input queue without pumping events: pause between polls so the wait does not
// occupy a core.
constexpr double kQueuePollPause = 0.0002;

}  // namespace

Exchange::Exchange(SensorLink& link, int order, const std::uint16_t* words, Discard discard)
    : link_(link) {
    if (link_.busy_) {
        refused_ = true;
        written_ = kLineBusy;
        return;
    }
    link_.busy_ = true;
    link_.DiscardQueues(discard);
    link_.FillTxBuf(static_cast<std::uint16_t>(order), words);
    framesBefore_ = link_.frames_;
    written_ = link_.WriteFrame();
    link_.tstart = Timer();
    link_.tdiff = 0.0;
}

Exchange::~Exchange() {
    if (refused_) return;
    link_.busy_ = false;
    link_.PostDrain();
}

double Exchange::Elapsed() {
    link_.tdiff = Timer() - link_.tstart;
    return link_.tdiff;
}

// A reply, a stop and a lost device all arrive as events, so a wait sleeps until one comes
// or the time-out is due; waking every few milliseconds would cost more than the exchange.
// Woken at least ten times a second all the same.
void Exchange::PumpUntilTimeOut() {
    ProcessSystemEvents(std::clamp(TIMEOUT - Elapsed(), 0.001, 0.1));
}

Received Exchange::AwaitFrame(Tie tie, const int* stop) {
    Received got;
    if (refused_) return got;
    const int port = link_.com;
    for (;;) {
        // A reply taken while another link was waited for needs no more waiting.
        if (link_.frames_ == framesBefore_) PumpUntilTimeOut();
        const bool replied = link_.frames_ != framesBefore_;
        const bool late = Elapsed() > TIMEOUT;
        if (stop && *stop) {
            got.result = WaitResult::kStopped;
            return got;
        }
        if (replied && (tie == Tie::kReplyWins || !late)) {
            link_.ReportReply();
            got.result = WaitResult::kReply;
            std::memcpy(got.frame.data(), link_.szReadBuf, got.frame.size());
            std::copy(link_.pp, link_.pp + PNUM, got.words);
            return got;
        }
        // A vanished device never answers, nor does a port closed meanwhile: no need to
        // wait out the time-out.
        if (late || ComDeviceLost(port) || !ComIsOpen(port)) {
            TimedOut();
            return got;
        }
    }
}

void Exchange::TimedOut() {
    const int port = link_.com;
    // A port closed meanwhile was closed by whoever has said why (a vanished device, a pick).
    if (!ComIsOpen(port)) return;
    const bool lost = ComDeviceLost(port);
    link_.ReportLink(lost ? LinkHealth::kDisconnected : LinkHealth::kNoReply, port,
                     lost ? kDeviceVanished : "no reply");
}

int Exchange::AwaitBytes(int count, bool pump, bool* timedOut) {
    *timedOut = true;
    if (refused_) return 0;
    for (;;) {
        if (pump) PumpUntilTimeOut();
        const int waiting = GetInQLen(link_.com);
        // A port closed meanwhile (the main panel closed, another port chosen) never answers.
        if (Elapsed() > TIMEOUT || waiting < 0) {
            TimedOut();
            return waiting;
        }
        if (waiting >= count) {
            link_.FrameAnswered();
            *timedOut = false;
            link_.ReportReply();
            return waiting;
        }
        if (!pump) Delay(kQueuePollPause);
    }
}

bool SensorLink::Runnable(const Queued& q) const {
    return q.kind == ActionKind::kAction || modes_ == 0;
}

// Queued actions run from the event loop once the exchange that held them up has ended. A
// drain that finds the line busy again does nothing: the next exchange's end posts another.
void SensorLink::PostDrain() {
    if (drainPosted_ || queue_.empty()) return;
    drainPosted_ = true;
    PostToEventLoop([alive = std::weak_ptr<SensorLink*>(self_)] {
        const auto self = alive.lock();
        if (!self) return;
        SensorLink& link = **self;
        link.drainPosted_ = false;
        if (!link.busy_) link.ServeQueuedActions();
    });
}

void SensorLink::WhenLineFree(const std::string& key, ActionKind kind,
                              std::function<void()> action) {
    const bool blockedByMode = kind == ActionKind::kMode && modes_ > 0;
    if (!busy_ && !blockedByMode) {
        action();
        return;
    }
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
        if (it->key == key) {
            queue_.erase(it);
            break;
        }
    }
    queue_.push_back({key, kind, std::move(action)});
}

void SensorLink::ServeQueuedActions() {
    while (!busy_) {
        auto it = queue_.begin();
        while (it != queue_.end() && !Runnable(*it)) ++it;
        if (it == queue_.end()) return;
        const std::function<void()> action = std::move(it->action);
        queue_.erase(it);
        action();
    }
}

ModeScope::ModeScope(SensorLink& link) : link_(link) { ++link_.modes_; }

ModeScope::~ModeScope() {
    --link_.modes_;
    link_.PostDrain();
}
