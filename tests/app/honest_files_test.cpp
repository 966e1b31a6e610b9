// What the parameter path says about files and fields: a failure is reported by the
// operation that met it, a field takes only what the sensor will keep.
#include <QString>
#include <filesystem>
#include <fstream>

#include "app_fixture.h"
#include "parameter_callbacks.h"
#include "read_file.h"
#include "run_task.h"
#include "transfer.h"

namespace fs = std::filesystem;

namespace {

using sim::Fault;
using sim::FaultKind;

class HonestFiles : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        dir = fs::temp_directory_path() / "qtor-honest-files";
        fs::remove_all(dir);
        fs::create_directories(dir);
        files.proj_dir = dir.string();
        SetCtrlVal(panels.panelHandle, RBTFile, 1);
        Fire(RBTFile, EVENT_VAL_CHANGED);
    }
    void TearDown() override {
        AppTest::TearDown();
        fs::remove_all(dir);
    }
    void Answer(const fs::path& file) {
        SetFileDialogHook([file](const FileDialogRequest&, std::string* path) {
            *path = file.string();
            return 1;
        });
    }
    void Get() { Fire(BTNGet, EVENT_COMMIT); }
    void Send() { Fire(BTNSend, EVENT_LEFT_CLICK); }
    fs::path dir;
};

TEST_F(HonestFiles, AFileFailureIsReportedByItsOwnOperationOnly) {
    std::ofstream(dir / "short.cfg") << "200\n200\n";
    Answer(dir / "short.cfg");
    Get();
    EXPECT_EQ(StatusLine(), "Parameter file incomplete - missing values kept!");

    Answer(dir / "no-folder" / "x.cfg");
    Send();
    EXPECT_EQ(StatusLine(), "Parameter file could not be written!");

    Answer(dir / "good.cfg");
    Send();
    Get();
    EXPECT_EQ(StatusLine(), "Parameters loaded from good.cfg");

    // A long name is cut to fit the status line, never inside a character.
    std::string name;
    for (int i = 0; i < 30; ++i) name += "\xc3\xbc";
    Answer(dir / (name + ".cfg"));
    Send();
    const std::string saved = StatusLine();
    EXPECT_LE(saved.size(), 71u);
    EXPECT_EQ(saved.rfind("Parameters saved to \xc3\xbc", 0), 0u) << saved;
    EXPECT_EQ(saved.substr(saved.size() - 3), "...");
    Get();
    const std::string said = StatusLine();
    EXPECT_LE(said.size(), 71u);
    EXPECT_EQ(said.substr(0, 23), "Parameters loaded from ");
    EXPECT_EQ(said.substr(said.size() - 3), "...");
    EXPECT_EQ(QString::fromUtf8(said.c_str()).toUtf8().toStdString(), said) << said;

    SetFileDialogHook([](const FileDialogRequest&, std::string*) { return 0; });
    Get();
    EXPECT_EQ(StatusLine(), "No parameter file chosen - parameters kept");
}

TEST_F(HonestFiles, FieldsTakeOnlyWhatTheRangeCorrectionKeeps) {
    ConnectStrict();
    SetCtrlVal(panels.panelHandle, RBTRam, 1);
    Fire(RBTRam, EVENT_VAL_CHANGED);
    // A tolerance typed as 5000 would go out as 5000 and come back corrected to 128.
    SetCtrlVal(panels.panelHandle, NEDITTolLeff, 5000);
    SetCtrlVal(panels.panelPopUp, NEDITPowerA, 501);
    SetCtrlVal(panels.panelPopUp, NEDITSTime, 65535);
    Send();
    EXPECT_EQ(StatusLine(), "Parameters sent and verified!");
    EXPECT_EQ(sensor->Ram()[9], 512);
    EXPECT_EQ(sensor->Ram()[0], 500);
    EXPECT_EQ(sensor->Ram()[12], 65535) << "the time setting has no limit";
    Get();
    EXPECT_EQ(Value(panels.panelHandle, NEDITTolLeff), 512) << "the panel shows what was sent";
    EXPECT_EQ(params.tTol, 512);
}

TEST_F(HonestFiles, AFirmwareReplyLongerThanItsTextIsAnError) {
    sensor->SetFault(7, Fault{FaultKind::kLengthen, 1});
    RunTask(InitRS232(link, params));
    EXPECT_EQ(StatusLine(), "Error reading firmware-info!");
}

}  // namespace
