// Fixture for system tests: the real panels, the program's callbacks and the in-process
// simulated sensor on port 1 (answering at once unless a test paces it).
#pragma once

#include <gtest/gtest.h>

#include <QTimer>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "QtorKMBscope10.h"
#include "commands.h"
#include "exchange.h"
#include "files.h"
#include "graph_model.h"
#include "mapping.h"
#include "model.h"
#include "paramfiles.h"
#include "port_table.h"
#include "rs232.h"
#include "run_task.h"
#include "sensor.h"
#include "startup.h"
#include "station.h"
#include "timer.h"
#include "toolkit.h"

class AppTest : public ::testing::Test {
  protected:
    // The panels are loaded once; each test's station adopts them afresh.
    static void SetUpTestSuite() {
        if (loaded.panelHandle > 0) return;
        RegisterCallbacks();
        const std::string file = std::string(QTOR_BIN_DIR) + "/" + kPanelFile;
        loaded.panelHandle = LoadPanel(0, file.c_str(), PANEL);
        loaded.panelPopUp = LoadPanel(0, file.c_str(), POPUP);
        ASSERT_GT(loaded.panelHandle, 0);
        ASSERT_GT(loaded.panelPopUp, 0);
    }

    void SetUp() override {
        ASSERT_GT(loaded.panelHandle, 0);
        PortTableReset();
        PortTableSetSimulated(1, false);
        station.AdoptPanels(loaded);
        InitVars(station);
        sensor = PortSimSensor(1);
        ASSERT_NE(sensor, nullptr);
    }

    void TearDown() override {
        SetTestClockStep(0);
        link.CloseLine();
        CloseCom(1);
        SetFileDialogHook({});
    }

    // Opens port 1 and runs the connect sequence; the sensor's log then starts empty.
    void Connect() {
        RunTask(InitRS232(link, params));
        ASSERT_STREQ(StatusLine().c_str(), sensor->FirmwareText().c_str());
        sensor->ClearLog();
    }

    // The same on a line as strict as hardware: bytes cross at 19200 baud, and a discarded
    // output queue loses what has not crossed.
    void ConnectStrict() {
        PortTableSetSimulated(1, true);
        Connect();
    }

    // A user's action on a control of the main panel (or of the popup), through the callback
    // the panel file names; from a test's own steps, the activity it starts is run to its end
    // (at most a minute of the wall clock).
    void Fire(int control, int event) {
        CallCtrlCallback(panels.panelHandle, control, event);
        if (!insideWhen) Settle();
    }
    void FirePopup(int control, int event) {
        CallCtrlCallback(panels.panelPopUp, control, event);
        if (!insideWhen) Settle();
    }
    // Runs the event loop until no activity runs or waits on the station's line.
    void Settle() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (link.Active() && std::chrono::steady_clock::now() < end) ProcessSystemEvents();
        EXPECT_FALSE(link.Active()) << "the line's activities never ended";
    }

    std::string StatusLine() const {
        std::string s;
        GetCtrlVal(panels.panelHandle, TEXT_Status, &s);
        return s;
    }

    static int Value(int panel, int control) {
        int v = -1;
        GetCtrlVal(panel, control, &v);
        return v;
    }

    bool Dimmed(int control) const {
        int v = 0;
        GetCtrlAttribute(panels.panelHandle, control, ATTR_DIMMED, &v);
        return v != 0;
    }

    std::vector<int> Commands() const {
        std::vector<int> c;
        for (const auto& f : sensor->Log()) c.push_back(f.command);
        return c;
    }

    int CountCommand(int command) const {
        int n = 0;
        for (const auto& f : sensor->Log()) n += f.command == command;
        return n;
    }

    // Runs `action` from the event loop once `condition` holds (checked every millisecond),
    // so it lands inside a mode's event pumping as a user's click would.
    static void When(std::function<bool()> condition, std::function<void()> action) {
        auto* timer = new QTimer;
        timer->setInterval(1);
        QObject::connect(timer, &QTimer::timeout, [timer, condition, action] {
            if (!condition()) return;
            timer->stop();
            timer->deleteLater();
            insideWhen = true;
            action();
            insideWhen = false;
        });
        timer->start();
    }

    static void Pump(double seconds) {
        const double end = Timer() + seconds;
        while (Timer() < end) ProcessSystemEvents();
    }

    static inline PanelHandles loaded;
    static inline bool insideWhen = false;  // an action run from the event loop, as a user's
    Station station{1};
    // The station's parts under the names the code gives them.
    PanelHandles& panels = station.panels;
    SensorLink& link = station.link;
    ParameterSet& params = station.params;
    MeasurementRecord& meas = station.meas;
    PlotArrays& plots = station.plots;
    FilePaths& files = station.files;
    sim::Sensor* sensor = nullptr;
};
