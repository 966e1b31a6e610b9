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

Exchange::Exchange(SensorLink& link) : link_(link) {
    if (link_.busy_) {
        refused_ = true;
        written_ = kLineBusy;
        return;
    }
    link_.busy_ = true;
}

Task<int> Exchange::Write(int order, const std::uint16_t* words, Discard discard) {
    if (refused_) co_return written_;
    // The frame is built first: a late reply taken while the discard waits rewrites pp.
    link_.FillTxBuf(static_cast<std::uint16_t>(order), words);
    co_await link_.DiscardQueues(discard);
    framesBefore_ = link_.frames_;
    written_ = link_.WriteFrame();
    link_.tstart = Timer();
    link_.tdiff = 0.0;
    co_return written_;
}

// A reply, its lateness, a stop, a lost device, a closed port: the outcome of a wait once one
// of them is known. A reply taken in the pass that runs out of time counts as `tie` says.
bool Exchange::Decided(Tie tie, const int* stop, Received* got) {
    const bool replied = link_.frames_ != framesBefore_;
    const bool late = Elapsed() > TIMEOUT;
    if (stop && *stop) {
        got->result = WaitResult::kStopped;
        return true;
    }
    if (replied && (tie == Tie::kReplyWins || !late)) {
        link_.ReportReply();
        got->result = WaitResult::kReply;
        std::memcpy(got->frame.data(), link_.szReadBuf, got->frame.size());
        std::copy(link_.pp, link_.pp + PNUM, got->words);
        return true;
    }
    // A vanished device never answers, nor does a port closed meanwhile: no need to wait out
    // the time-out.
    const int port = link_.com;
    if (late || ComDeviceLost(port) || !ComIsOpen(port)) {
        TimedOut();
        got->result = WaitResult::kTimeOut;
        return true;
    }
    return false;
}

// Woken by the reply, a stop or a lost device, and at least ten times a second all the same.
Task<Received> Exchange::Frame(Tie tie, const int* stop) {
    Received got;
    if (refused_) co_return got;
    for (;;) {
        const bool news = link_.frames_ != framesBefore_ || (stop && *stop);
        if (!news) co_await link_.wake_.Next(WakeAfter());
        if (Decided(tie, stop, &got)) co_return got;
    }
}

Task<int> Exchange::Bytes(int count, bool* timedOut) {
    *timedOut = true;
    if (refused_) co_return 0;
    const int port = link_.com;
    NotifyWhenInQueue(port, count, [alive = std::weak_ptr<SensorLink*>(link_.self_)] {
        if (const auto self = alive.lock()) (*self)->wake_.Poke();
    });
    for (;;) {
        const int waiting = GetInQLen(port);
        // A port closed meanwhile (the main panel closed, another port chosen) never answers.
        if (Elapsed() > TIMEOUT || waiting < 0) {
            NotifyWhenInQueue(port, 0, nullptr);
            TimedOut();
            co_return waiting;
        }
        if (waiting >= count) {
            NotifyWhenInQueue(port, 0, nullptr);
            link_.FrameAnswered();
            *timedOut = false;
            link_.ReportReply();
            co_return waiting;
        }
        co_await link_.wake_.Next(WakeAfter());
    }
}

Exchange::Exchange(SensorLink& link, int order, const std::uint16_t* words, Discard discard)
    : link_(link) {
    if (link_.busy_) {
        refused_ = true;
        written_ = kLineBusy;
        return;
    }
    link_.busy_ = true;
    link_.DiscardQueuesBlocking(discard);
    link_.FillTxBuf(static_cast<std::uint16_t>(order), words);
    framesBefore_ = link_.frames_;
    written_ = link_.WriteFrame();
    link_.tstart = Timer();
    link_.tdiff = 0.0;
}

Exchange::~Exchange() {
    if (refused_) return;
    link_.busy_ = false;
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

ModeScope::ModeScope(SensorLink& link) : link_(link) { ++link_.modes_; }

ModeScope::~ModeScope() { --link_.modes_; }
