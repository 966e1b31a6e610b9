// The link element and the watch, against qtor-sensor-sim on a pseudo-terminal reached through
// a link that goes away with the sensor and comes back with the next one, as an adapter
// unplugged and plugged in again does.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "../serial/serial_sim_process.h"
#include "app_fixture.h"
#include "gui.h"
#include "link_view.h"
#include "modes.h"
#include "run_task.h"
#include "sensor_link.h"
#include "toolkit_internal.h"
#include "trace.h"

namespace fs = std::filesystem;

namespace {

class LinkWatch : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        path = (fs::temp_directory_path() / ("qtor-link-" + std::to_string(::getpid()))).string();
        PortTableSetDevice(1, path);
    }
    void TearDown() override {
        link.trace.Stop();
        AppTest::TearDown();
        sim.reset();
        fs::remove(path);
    }
    void Plug(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--instant", "--link", path};
        args.insert(args.end(), extra.begin(), extra.end());
        sim = std::make_unique<SimProcess>(args);
        ASSERT_FALSE(sim->path().empty());
    }
    void Unplug() { ASSERT_EQ(sim->Stop(SIGTERM), 0); }
    // Pumps events until the link's state is `health`; the seconds it took, or -1.
    double Until(LinkHealth health, double seconds) {
        const double t0 = Timer();
        while (Timer() - t0 < seconds) {
            if (link.Health().health == health) return Timer() - t0;
            ProcessSystemEvents();
        }
        return -1;
    }
    int LinkColour() {
        int c = 0;
        GetCtrlAttribute(panels.panelHandle, TEXT_Link, ATTR_TEXT_BGCOLOR, &c);
        return c;
    }
    std::string path;  // the sensor's link to its pseudo-terminal
    std::unique_ptr<SimProcess> sim;
};

TEST_F(LinkWatch, AnUnpluggedSensorIsSaidAtOnceAndConnectedAgainWhenItComesBack) {
    Plug();
    RunTask(InitRS232(link, params));
    ASSERT_EQ(link.Health().health, LinkHealth::kConnected);
    EXPECT_EQ(station.linkView.State(), "connected: Q-TOR SIM V1.0");
    const int connected = LinkColour();
    station.gui.PlotVIDEOBarGraph(meas, params, plots);
    EXPECT_FALSE(station.gui.ValuesStale());

    Unplug();
    const double noticed = Until(LinkHealth::kDisconnected, 2.0);
    ASSERT_GE(noticed, 0) << "the unplug was noticed";
    EXPECT_LT(noticed, 0.5);
    EXPECT_NE(station.linkView.State().find("disconnected"), std::string::npos);
    EXPECT_NE(LinkColour(), connected);
    EXPECT_TRUE(station.gui.ValuesStale()) << "the last values are shown as old";
    EXPECT_TRUE(station.linkView.Waiting());

    // A device that flaps does not stack connects; the last return is connected.
    for (int i = 0; i < 3; ++i) {
        Plug();
        Pump(0.05);
        Unplug();
    }
    Plug();
    const double back = Until(LinkHealth::kConnected, 3.0);
    ASSERT_GE(back, 0) << "connected again without a pick";
    EXPECT_LT(back, 2.0);
    EXPECT_FALSE(station.linkView.Waiting());
    EXPECT_EQ(StatusLine(), "Q-TOR SIM V1.0") << "the start-up line check ran again";
    station.gui.PlotVIDEOBarGraph(meas, params, plots);
    EXPECT_FALSE(station.gui.ValuesStale()) << "the next record shows them live";
}

TEST_F(LinkWatch, ARunningModeEndsAndIsNotRestartedAndAPickWinsOverTheWatch) {
    Plug();
    RunTask(InitRS232(link, params));
    const std::string trace = path + ".trace";
    std::string why;
    ASSERT_TRUE(link.StartTrace(trace, false, &why)) << why;
    When([this] { return link.Health().health == LinkHealth::kConnected; },
         [this] { When([] { return true; }, [this] { Unplug(); }); });
    const double t0 = Timer();
    Fire(BTNRun, EVENT_COMMIT);
    EXPECT_LT(Timer() - t0, 2.0);
    EXPECT_EQ(StatusLine(), "Timeout RS232-Line!");
    ASSERT_GE(Until(LinkHealth::kDisconnected, 1.0), 0);

    Plug();
    ASSERT_GE(Until(LinkHealth::kConnected, 3.0), 0);
    Pump(0.3);
    link.trace.Stop();
    // After the reconnect's echo, parameter read and firmware request, no measure command.
    std::ifstream in(trace);
    std::vector<std::string> sent;
    for (std::string l; std::getline(in, l);)
        if (l.find(" TX ") != std::string::npos) sent.push_back(l.substr(l.rfind(' ') + 1));
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent.back(), "firmware") << "run mode was not started again";
    fs::remove(trace);

    // Unplugged again, then the user picks another port: the watch lets go.
    Unplug();
    ASSERT_GE(Until(LinkHealth::kDisconnected, 1.0), 0);
    PortTableSetSimulated(2, false);
    FillPortSelector(panels, link.com);
    SetCtrlVal(panels.panelHandle, DropDCom, 2);
    Fire(DropDCom, EVENT_COMMIT);
    EXPECT_FALSE(station.linkView.Waiting());
    Plug();
    Pump(1.5);
    EXPECT_EQ(link.com, 2) << "the device's return does not undo the pick";
    EXPECT_NE(station.linkView.State().find("simulated"), std::string::npos);
    CloseCom(2);
}

// A device the system lists is not looked for once a second: the events of its folder alone
// must bring it back.
TEST_F(LinkWatch, AListedAdapterComesBackByTheEventsOfItsFolder) {
    PortTableReset();
    PortTableSetListing([this] {
        std::error_code ec;
        return fs::exists(path, ec) ? std::vector<ListedPort>{{path}} : std::vector<ListedPort>{};
    });
    Plug();
    PortTableRescan();
    ASSERT_TRUE(PortTableIsListed(1));
    RunTask(InitRS232(link, params));
    ASSERT_EQ(link.Health().health, LinkHealth::kConnected);
    Unplug();
    ASSERT_GE(Until(LinkHealth::kDisconnected, 2.0), 0);
    Pump(0.3);
    Plug();
    EXPECT_GE(Until(LinkHealth::kConnected, 3.0), 0) << "connected again without a pick";
    PortTableSetListing({});
}

TEST_F(LinkWatch, AnOpenFailureSaysWhy) {
    testing::internal::CaptureStderr();
    RunTask(InitRS232(link, params));  // nothing at the link yet
    EXPECT_EQ(StatusLine(), "Cannot open port: no such device");
    EXPECT_EQ(link.Health().detail, "no such device");
    EXPECT_NE(station.linkView.State().find("cannot open: no such device"), std::string::npos);

    // Another opener holds the device; reached through the link, it is still the same device.
    Plug();
    PortTableSetDevice(3, sim->path());
    ASSERT_EQ(OpenComConfig(3, "", 19200, NOPARITY, 8, 1, 4096, 4096), 0);
    RunTask(InitRS232(link, params));
    const std::string err = testing::internal::GetCapturedStderr();
    CloseCom(3);
    const std::string inUse = "in use by another program (process " + std::to_string(::getpid());
    EXPECT_EQ(link.Health().detail.rfind(inUse, 0), 0u) << link.Health().detail;
    // The status line says the same, and the link element's tooltip too.
    EXPECT_EQ(StatusLine(), "Cannot open port: " + link.Health().detail);
    EXPECT_LE(StatusLine().size(), 71u);
    const std::string tip =
        qtor::FindControl(panels.panelHandle, TEXT_Link)->widget->toolTip().toStdString();
    EXPECT_NE(tip.find(link.Health().detail), std::string::npos) << tip;
    EXPECT_NE(err.find("cannot open " + path + ": no such device"), std::string::npos) << err;
    EXPECT_NE(err.find(inUse), std::string::npos) << err;
}

}  // namespace
