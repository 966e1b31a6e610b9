// Notice when serial devices appear or vanish, without polling the system's port list: the
// device folder (and the folder of a device named by path) is watched; changes are reported
// from the event loop, at most every 100 ms.
#pragma once

#include <functional>
#include <string>

// `changed(devices)`: devices is true when the system's device folder changed (the port list
// may differ), false when only a watched path's folder did (a cheap look at the path will do).
// Each watcher adds its own; returns an id for the calls below.
int WatchDevices(std::function<void(bool devices)> changed);
void StopWatchingDevices(int id);
// Also watches `path` and its folder for watcher `id` (a stable name such as a link to an
// adapter); "" stops.
void WatchDevicePath(int id, const std::string& path);
