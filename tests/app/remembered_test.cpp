// What the program remembers from one run to the next, and what it refuses to take back.
#include "remembered.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app_fixture.h"
#include "sensors.h"
#include "settings.h"
#include "startup.h"
#include "toolkit_internal.h"

namespace fs = std::filesystem;

namespace {

const std::string kDevice = "/dev/qtor-remembered-sensor";

class Remembered : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        dir = fs::temp_directory_path() / ("qtor-remembered-" + std::to_string(getpid()));
        for (const char* folder : {"p", "m", "r", "e"}) fs::create_directories(dir / folder);
        file = (dir / "settings.ini").string();
    }
    void TearDown() override {
        HidePanel(panels.panelPopUp);
        SetCtrlVal(panels.panelHandle, BIN_Sw_ParaSelect, 1);
        SetSettingsFile("");
        files = FilePaths{};
        AppTest::TearDown();
        fs::remove_all(dir);
    }
    // A new start: the settings read again from their file, the defaults standing until then.
    void NextRun(bool portGiven) {
        SetSettingsFile(file);
        files = FilePaths{};
        link.com = 1;
        SetCtrlVal(panels.panelHandle, BIN_Sw_ParaSelect, 1);
        HidePanel(panels.panelPopUp);
        station.remembered.RestoreSettings(portGiven, files, link.com);
        station.remembered.RestorePopup(panels);
    }
    std::string Saved(const char* key) {
        SetSettingsFile(file);
        std::string value;
        return ReadSetting(key, &value) ? value : "(none)";
    }
    std::vector<std::string> Folders() {
        return {files.param_dir, files.measure_dir, files.record_dir, files.export_dir};
    }
    bool PopupShown() { return qtor::FindPanel(panels.panelPopUp)->window->isVisible(); }
    fs::path dir;
    std::string file;
};

TEST_F(Remembered, PortFoldersAndPopupComeBackThePortByItsDevice) {
    PortTableSetDevice(3, kDevice);
    NextRun(false);  // nothing remembered yet
    link.com = 3;
    const std::vector<std::string> made = {(dir / "p").string(), (dir / "m").string(),
                                           (dir / "r").string(), (dir / "e").string()};
    files = {"", "", "", made[0], made[1], made[2], made[3]};
    SetCtrlVal(panels.panelHandle, BIN_Sw_ParaSelect, 0);  // the popup shown
    station.remembered.SaveSettingsAtExit(panels, files, link.com);

    // The same device is port 2 in the next run.
    PortTableReset();
    PortTableSetDevice(2, kDevice);
    NextRun(false);
    EXPECT_EQ(link.com, 2);
    EXPECT_EQ(Folders(), made);
    EXPECT_TRUE(PopupShown());
    EXPECT_EQ(Value(panels.panelHandle, BIN_Sw_ParaSelect), 0);

    // A run with --port or --demo neither takes nor replaces the remembered port...
    NextRun(true);
    EXPECT_EQ(link.com, 1);
    station.remembered.SaveSettingsAtExit(panels, files, link.com);
    EXPECT_EQ(Saved("port"), kDevice);
    // ...unless a port is picked in it. A folder gone since is not taken back.
    fs::remove(dir / "e");
    NextRun(true);
    EXPECT_EQ(Folders(), (std::vector<std::string>{made[0], made[1], made[2], ""}));
    PortTableSetDevice(3, "/dev/qtor-picked");
    link.com = 3;
    station.remembered.PortPicked();
    station.remembered.SaveSettingsAtExit(panels, files, link.com);
    EXPECT_EQ(Saved("port"), "/dev/qtor-picked");
}

TEST_F(Remembered, ForeignOrGarbledSettingsLeaveTheDefaults) {
    PortTableSetDevice(2, kDevice);
    const std::string keys = "port=" + kDevice + "\n[folders]\nparameters=" + dir.string() +
                             "/p\n[window]\npopupShown=1\n";
    const std::pair<const char*, std::string> cases[] = {
        {"another format", "[General]\nformat=2\n" + keys},
        // Our keys, the file broken after them: a line of junk, a section never closed.
        {"garbled", "[General]\nformat=1\n" + keys + "\xff\xfe\x01junk\n[wind"},
    };
    for (const auto& [what, content] : cases) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
        NextRun(false);
        EXPECT_EQ(link.com, 1) << what;
        EXPECT_EQ(Folders(), std::vector<std::string>(4)) << what;
        EXPECT_FALSE(PopupShown()) << what;
    }
    // The same keys in our format are taken: the cases above failed for the reason given.
    std::ofstream(file, std::ios::trunc) << "[General]\nformat=1\n" + keys;
    NextRun(false);
    EXPECT_EQ(link.com, 2);
    EXPECT_TRUE(PopupShown());
}

}  // namespace

// Several sensors: their set, its order and the tab shown come back at the next start; a run
// with ports given on the command line leaves the remembered set alone.
TEST(RememberedSensors, TheSetItsOrderAndTheTabShownComeBack) {
    RegisterCallbacks();
    const fs::path dir = fs::temp_directory_path() / ("qtor-set-" + std::to_string(getpid()));
    fs::create_directories(dir);
    SetSettingsFile((dir / "settings.ini").string());
    PortTableReset();
    for (int n = 1; n <= 3; ++n) PortTableSetDevice(n, "/dev/qtor-set-" + std::to_string(n));
    const std::vector<int> order = {2, 3, 1};
    {
        Sensors first;
        // Added as a user adds them: their ports are to be remembered.
        for (int com : order) {
            Station* s = first.Add(com, true);
            ASSERT_NE(s, nullptr);
            s->remembered.PortPicked();
        }
        first.Show(first.At(2));
        first.SaveSettings(false);
    }
    EXPECT_EQ(RememberedSensorCount(), 3);
    EXPECT_EQ(RememberedShownTab(), 2);
    {
        // The next start: each station's port from what it remembered, whatever it starts on.
        Sensors next;
        for (int n = 1; n <= RememberedSensorCount(); ++n) ASSERT_NE(next.Add(n, false), nullptr);
        for (std::size_t i = 0; i < order.size(); ++i)
            EXPECT_EQ(next.At(i).link.com, order[i]) << i;
        // A run with --port: one sensor, the set stays as it was.
        Sensors given;
        ASSERT_NE(given.Add(1, true), nullptr);
        given.SaveSettings(true);
    }
    EXPECT_EQ(RememberedSensorCount(), 3);
    EXPECT_EQ(RememberedShownTab(), 2);
    SetSettingsFile("");
    fs::remove_all(dir);
}
