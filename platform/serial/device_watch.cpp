#include "device_watch.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>
#include <algorithm>
#include <map>

#include "serial_channel.h"

namespace {

struct Watcher {
    std::function<void(bool)> changed;
    QString extraDir;
};

struct Watch {
    QFileSystemWatcher* watcher = nullptr;
    QTimer* settle = nullptr;
    std::map<int, Watcher> watchers;
    int nextId = 1;
    bool devices = false;  // the device folder changed since the last report
};

Watch& TheWatch() {
    static Watch w;
    return w;
}

bool IsExtraDir(const QString& dir) {
    const auto& watchers = TheWatch().watchers;
    return std::any_of(watchers.begin(), watchers.end(),
                       [&dir](const auto& entry) { return entry.second.extraDir == dir; });
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
        // A watcher may stop itself or others: call a copy of the list.
        const auto watchers = t.watchers;
        for (const auto& [id, watcher] : watchers)
            if (watcher.changed) watcher.changed(devices);
    });
    auto kick = [](const QString& dir) {
        Watch& t = TheWatch();
        if (!IsExtraDir(dir)) t.devices = true;
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

void SetExtraDir(Watcher& watcher, const QString& dir) {
    Watch& w = TheWatch();
    const QString old = watcher.extraDir;
    watcher.extraDir = dir;
    if (!old.isEmpty() && !IsExtraDir(old)) w.watcher->removePath(old);
    if (!dir.isEmpty() && !w.watcher->directories().contains(dir)) w.watcher->addPath(dir);
}

}  // namespace

int WatchDevices(std::function<void(bool)> changed) {
    Setup();
    Watch& w = TheWatch();
    const int id = w.nextId++;
    w.watchers[id].changed = std::move(changed);
    return id;
}

void StopWatchingDevices(int id) {
    Watch& w = TheWatch();
    auto it = w.watchers.find(id);
    if (it == w.watchers.end()) return;
    SetExtraDir(it->second, QString());
    w.watchers.erase(it);
}

void WatchDevicePath(int id, const std::string& path) {
    Setup();
    Watch& w = TheWatch();
    auto it = w.watchers.find(id);
    if (it == w.watchers.end()) return;
    QString dir;
    if (!path.empty()) {
        const QString folder = QFileInfo(QString::fromStdString(path)).absolutePath();
        if (QFileInfo(folder).isDir() && folder != QLatin1String("/dev")) dir = folder;
    }
    SetExtraDir(it->second, dir);
}
