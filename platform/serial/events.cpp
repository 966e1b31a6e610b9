#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "event_loop.h"
#include "serial_channel.h"
#include "timer.h"

// Waiting for more events lets the thread sleep until something happens; the short wake-up
// timer bounds that sleep so that callers polling a flag in a loop still get control back
// every few milliseconds, without spinning a core.
void ProcessSystemEvents() {
    if (!QCoreApplication::instance()) return;
    static QTimer* wake = [] {
        auto* t = new QTimer;  // lives for the whole run
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
        t->setInterval(5);
        return t;
    }();
    wake->start();
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    AdvanceTestClock(TestClockStep());
}

void PostToEventLoop(std::function<void()> fn) {
    QMetaObject::invokeMethod(SerialEventContext(), std::move(fn), Qt::QueuedConnection);
}
