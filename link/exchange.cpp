#include "exchange.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "rs232.h"
#include "timer.h"

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

Exchange::~Exchange() {
    if (refused_) return;
    link_.busy_ = false;
}

double Exchange::Elapsed() {
    link_.tdiff = Timer() - link_.tstart;
    return link_.tdiff;
}

void Exchange::TimedOut() {
    const int port = link_.com;
    // A port closed meanwhile was closed by whoever has said why (a vanished device, a pick).
    if (!ComIsOpen(port)) return;
    const bool lost = ComDeviceLost(port);
    link_.ReportLink(lost ? LinkHealth::kDisconnected : LinkHealth::kNoReply, port,
                     lost ? kDeviceVanished : "no reply");
}

ModeScope::ModeScope(SensorLink& link) : link_(link) { ++link_.modes_; }

ModeScope::~ModeScope() { --link_.modes_; }
