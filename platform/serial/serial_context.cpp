// The object the serial layer's queued calls and timers are delivered to.
#include <QObject>

#include "serial_channel.h"

QObject* SerialEventContext() {
    static QObject* context = new QObject;  // lives for the whole run
    return context;
}
