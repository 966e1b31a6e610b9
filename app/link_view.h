// The link element on the main panel (the port in use and the state of its line, in words and
// colour), the port selector's list, and the watch that connects again by itself when a
// vanished device comes back.
#pragma once

#include <functional>
#include <string>

#include "gui.h"
#include "panels.h"
#include "sensor_link.h"

// Fills the port selector from the port table and selects `com`.
void FillPortSelector(const PanelHandles& panels, int com);

class LinkView {
  public:
    LinkView(SensorLink& link, Gui& gui, const PanelHandles& panels);
    ~LinkView();
    LinkView(const LinkView&) = delete;
    LinkView& operator=(const LinkView&) = delete;

    // Watches devices; `reconnect` connects the link's port again once its device is back.
    void Install(Activity reconnect);
    // Shows a change of the link's state in the link element and on standard error (why a port
    // cannot be opened), and marks the values stale when the line fails.
    void Show(const LinkStatus& status);
    // A port picked by the user wins over the watch: it stops waiting for the old device.
    void PortPicked() { StopWaiting(); }
    // Lists the system's ports afresh into the port selector (it is opened, a device came or
    // went).
    void RescanPorts();
    // True while the watch waits for the device of the port in use to come back.
    bool Waiting() const { return watch_.waiting; }
    // What the link element shows.
    const std::string& State() const { return state_; }
    // No sensor: the displays show a file played back.
    void ShowReplay(const std::string& name);
    // The trace was started (the Trace toggle is set) or has failed (the toggle goes off).
    void TraceStarted();
    void TraceFailed(const std::string& why);

  private:
    struct Watch {
        bool waiting = false;
        int port = 0;
        std::string path;        // the device as the port table names it
        bool pathNamed = false;  // put on the number by path, not listed by the system
        double lastAttempt = -1e9;
        int periodic = 0;
    };
    void StopWaiting();
    void StartWaiting(int port);
    bool DeviceBack() const;
    void CheckReturn();
    Task<> Reconnect();
    void OnLost(int port);
    void OnDevices(bool devices);

    SensorLink& link_;
    Gui& gui_;
    const PanelHandles& panels_;
    Activity reconnect_;
    Watch watch_;
    std::string state_ = "no port opened";
    std::string traceProblem_;
    int lostHandler_ = 0;
    int deviceWatch_ = 0;
};
