// The object the serial layer's queued calls and timers are delivered to.
#include <QCoreApplication>
#include <QObject>

#include "serial_channel.h"

QObject* SerialEventContext() {
    // Lives for the whole run, in the application's thread even when another thread (the plant
    // link's) posts first: calls posted to it run where the event loop runs.
    static QObject* context = [] {
        auto* c = new QObject;
        if (QCoreApplication* app = QCoreApplication::instance()) c->moveToThread(app->thread());
        return c;
    }();
    return context;
}
