// Notice when serial devices appear or vanish, without polling the system's port list: the
// device folder (and the folder of a device named by path) is watched; changes are reported
// from the event loop, at most every 100 ms.
#pragma once

#include <functional>
#include <string>

// `changed(devices)`: devices is true when the system's device folder changed (the port list
// may differ), false when only the watched path's folder did (a cheap look at the path will do).
void WatchDevices(std::function<void(bool devices)> changed);
// Also watches `path` and its folder (a stable name such as a link to an adapter); "" stops.
void WatchDevicePath(const std::string& path);
