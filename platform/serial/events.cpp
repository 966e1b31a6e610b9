#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <map>

#include "event_loop.h"
#include "serial_channel.h"
#include "timer.h"

// Waiting for more events lets the thread sleep until something happens; the short wake-up
// timer bounds that sleep so that callers polling a flag in a loop still get control back
// every few milliseconds, without spinning a core.
void ProcessSystemEvents(double wakeAfter) {
    if (!QCoreApplication::instance()) return;
    static QTimer* wake = [] {
        auto* t = new QTimer;  // lives for the whole run
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
        return t;
    }();
    // A test clock moves a step a pass: its passes must come quickly.
    if (TestClockStep() > 0) wakeAfter = std::min(wakeAfter, 0.005);
    wake->start(std::clamp(static_cast<int>(wakeAfter * 1000.0), 1, 1000));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    AdvanceTestClock(TestClockStep());
}

void RunEventLoopUntil(const bool& done) {
    while (!done) ProcessSystemEvents(0.1);
}

void PostToEventLoop(std::function<void()> fn) {
    QMetaObject::invokeMethod(SerialEventContext(), std::move(fn), Qt::QueuedConnection);
}

namespace {

std::map<int, QTimer*>& Periodic() {
    static std::map<int, QTimer*> timers;
    return timers;
}

}  // namespace

namespace {

struct Call {
    double due = 0;
    std::function<void()> fn;
    QTimer* timer = nullptr;
};

std::map<int, Call>& Calls() {
    static std::map<int, Call> calls;
    return calls;
}

// Qt counts whole milliseconds and may fire early: the call waits until Timer() says its time
// has come. On the test clock, whose time jumps with each event pump, it looks every few
// milliseconds instead.
void ArmCall(int id) {
    Call& c = Calls().at(id);
    double wait = std::max(0.0, c.due - Timer());
    if (TestClockStep() > 0) wait = std::min(wait, 0.005);
    c.timer->start(static_cast<int>(std::ceil(wait * 1000.0)));
}

}  // namespace

int CallAfter(double seconds, std::function<void()> fn) {
    static int next = 1;
    const int id = next++;
    auto* timer = new QTimer(SerialEventContext());
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    Calls()[id] = Call{Timer() + std::max(0.0, seconds), std::move(fn), timer};
    QObject::connect(timer, &QTimer::timeout, [id] {
        auto it = Calls().find(id);
        if (it == Calls().end()) return;
        if (Timer() < it->second.due) {
            ArmCall(id);
            return;
        }
        const std::function<void()> fn = std::move(it->second.fn);
        it->second.timer->deleteLater();
        Calls().erase(it);
        fn();
    });
    ArmCall(id);
    return id;
}

void CancelCall(int id) {
    auto it = Calls().find(id);
    if (it == Calls().end()) return;
    it->second.timer->stop();
    it->second.timer->deleteLater();
    Calls().erase(it);
}

int StartPeriodic(double seconds, std::function<void()> fn) {
    static int next = 1;
    auto* timer = new QTimer(SerialEventContext());
    timer->setInterval(static_cast<int>(seconds * 1000.0));
    QObject::connect(timer, &QTimer::timeout, std::move(fn));
    timer->start();
    Periodic()[next] = timer;
    return next++;
}

void StopPeriodic(int id) {
    auto it = Periodic().find(id);
    if (it == Periodic().end()) return;
    it->second->stop();
    it->second->deleteLater();
    Periodic().erase(it);
}
