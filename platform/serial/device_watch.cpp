#include "device_watch.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

#include "serial_channel.h"

namespace {

struct Watch {
    QFileSystemWatcher* watcher = nullptr;
    QTimer* settle = nullptr;
    std::function<void(bool)> changed;
    QString extraDir;
    bool devices = false;  // the device folder changed since the last report
};

Watch& TheWatch() {
    static Watch w;
    return w;
}

void Setup() {
    Watch& w = TheWatch();
    if (w.watcher) return;
    w.watcher = new QFileSystemWatcher(SerialEventContext());
    w.settle = new QTimer(SerialEventContext());
    w.settle->setSingleShot(true);
    w.settle->setInterval(100);  // a device coming up changes several entries at once
    QObject::connect(w.settle, &QTimer::timeout, [] {
        Watch& t = TheWatch();
        const bool devices = t.devices;
        t.devices = false;
        if (t.changed) t.changed(devices);
    });
    auto kick = [](const QString& dir) {
        Watch& t = TheWatch();
        if (dir != t.extraDir) t.devices = true;
        if (!t.settle->isActive()) t.settle->start();
    };
    QObject::connect(w.watcher, &QFileSystemWatcher::directoryChanged, kick);
#ifdef Q_OS_UNIX
    for (const char* dir : {"/dev", "/dev/serial/by-id"}) {
        if (QFileInfo(QString::fromLatin1(dir)).isDir())
            w.watcher->addPath(QString::fromLatin1(dir));
    }
#else
    // No device folder to watch: look at the port list every two seconds.
    auto* poll = new QTimer(SerialEventContext());
    QObject::connect(poll, &QTimer::timeout, [] {
        TheWatch().devices = true;
        TheWatch().settle->start();
    });
    poll->start(2000);
#endif
}

}  // namespace

void WatchDevices(std::function<void(bool)> changed) {
    Setup();
    TheWatch().changed = std::move(changed);
}

void WatchDevicePath(const std::string& path) {
    Setup();
    Watch& w = TheWatch();
    if (!w.extraDir.isEmpty()) w.watcher->removePath(w.extraDir);
    w.extraDir.clear();
    if (path.empty()) return;
    const QString dir = QFileInfo(QString::fromStdString(path)).absolutePath();
    if (QFileInfo(dir).isDir() && dir != QLatin1String("/dev")) {
        w.watcher->addPath(dir);
        w.extraDir = dir;
    }
}
