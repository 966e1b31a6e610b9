// Fixture for system tests: the real panels, the program's callbacks and the in-process
// simulated sensor on port 1 (answering at once unless a test paces it).
#pragma once

#include <gtest/gtest.h>

#include <QTimer>
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
#include "sensor.h"
#include "startup.h"
#include "timer.h"
#include "toolkit.h"

class AppTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (panels.panelHandle > 0) return;
        RegisterCallbacks();
        const std::string file = std::string(QTOR_BIN_DIR) + "/" + kPanelFile;
        panels.panelHandle = LoadPanel(0, file.c_str(), PANEL);
        panels.panelPopUp = LoadPanel(0, file.c_str(), POPUP);
        ASSERT_GT(panels.panelHandle, 0);
        ASSERT_GT(panels.panelPopUp, 0);
        InstallPanelViews();
    }

    void SetUp() override {
        ASSERT_GT(panels.panelHandle, 0);
        ResetModel();
        ResetExchangeState();
        files = FilePaths{};  // no folder remembered from an earlier test's dialog
        PortTableReset();
        PortTableSetSimulated(1, false);
        InitVars();
        sensor = PortSimSensor(1);
        ASSERT_NE(sensor, nullptr);
    }

    void TearDown() override {
        SetTestClockStep(0);
        CloseCom(line.com);
        CloseCom(1);
        SetFileDialogHook({});
    }

    // Opens port 1 and runs the connect sequence; the sensor's log then starts empty.
    void Connect() {
        InitRS232(1);
        ASSERT_STREQ(StatusLine().c_str(), sensor->FirmwareText().c_str());
        sensor->ClearLog();
    }

    // The same on a line as strict as hardware: bytes cross at 19200 baud, and a discarded
    // output queue loses what has not crossed.
    void ConnectStrict() {
        PortTableSetSimulated(1, true);
        Connect();
    }

    static std::string StatusLine() {
        std::string s;
        GetCtrlVal(panels.panelHandle, TEXT_Status, &s);
        return s;
    }

    static int Value(int panel, int control) {
        int v = -1;
        GetCtrlVal(panel, control, &v);
        return v;
    }

    static bool Dimmed(int control) {
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
            action();
        });
        timer->start();
    }

    static void Pump(double seconds) {
        const double end = Timer() + seconds;
        while (Timer() < end) ProcessSystemEvents();
    }

    sim::Sensor* sensor = nullptr;
};
