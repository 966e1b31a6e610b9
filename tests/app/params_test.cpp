// Parameter transfer, parameter files, edit fields, teach and reset on the real panels.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app_fixture.h"
#include "editfields.h"
#include "parameter_callbacks.h"
#include "read_file.h"
#include "run_task.h"
#include "teach.h"
#include "toolkit_internal.h"
#include "transfer.h"

namespace fs = std::filesystem;

namespace {

using sim::Fault;
using sim::FaultKind;

class Params : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        dir = fs::temp_directory_path() /
              ("qtor-params-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        files.proj_dir = dir.string();
    }
    void TearDown() override {
        AppTest::TearDown();
        fs::remove_all(dir);
    }
    void Radio(int control, int value) {
        SetCtrlVal(panels.panelHandle, control, value);
        Fire(control, EVENT_VAL_CHANGED);
    }
    std::vector<int> Radios() {
        return {Value(panels.panelHandle, RBTRam), Value(panels.panelHandle, RBTEeprom),
                Value(panels.panelHandle, RBTFile)};
    }
    void AnswerDialogs(const fs::path& file, std::vector<FileDialogRequest>* seen = nullptr) {
        SetFileDialogHook([file, seen](const FileDialogRequest& r, std::string* path) {
            if (seen) seen->push_back(r);
            *path = file.string();
            return 1;
        });
    }
    fs::path dir;
};

TEST_F(Params, RadioButtonsAlwaysLeaveExactlyOneTarget) {
    Radio(RBTRam, 1);
    EXPECT_EQ(station.target, RAM);
    Radio(RBTRam, 0);  // RAM cannot be switched off
    EXPECT_EQ(station.target, RAM);
    EXPECT_EQ(Radios(), (std::vector<int>{1, 0, 0}));
    Radio(RBTFile, 1);
    EXPECT_EQ(station.target, DATFILE);
    Radio(RBTEeprom, 1);
    EXPECT_EQ(station.target, EEPROM);
    EXPECT_EQ(Radios(), (std::vector<int>{0, 1, 0}));
    Radio(RBTEeprom, 0);  // switching the selected one off falls back to RAM
    EXPECT_EQ(station.target, RAM);
    EXPECT_EQ(Radios(), (std::vector<int>{1, 0, 0}));
}

TEST_F(Params, SendToEepromCarriesThePanelValuesOnlyOnLeftClick) {
    ConnectStrict();
    Radio(RBTEeprom, 1);
    SetCtrlVal(panels.panelHandle, NEDITeachA, 640);
    SetCtrlVal(panels.panelPopUp, NEDITSTime, 65535);
    Fire(BTNSend, EVENT_COMMIT);
    Pump(0.05);
    EXPECT_TRUE(sensor->Log().empty()) << "keyboard activation sends nothing";

    Fire(BTNSend, EVENT_LEFT_CLICK);
    EXPECT_EQ(StatusLine(), "Parameters sent and verified!");
    ASSERT_EQ(Commands(), (std::vector<int>{3, 4})) << "written, then read back";
    EXPECT_EQ(sensor->Log()[0].words[7], 640);
    EXPECT_EQ(sensor->Log()[0].words[12], 65535);
    EXPECT_EQ(sensor->Eeprom()[7], 640);

    Radio(RBTRam, 1);
    Fire(BTNSend, EVENT_LEFT_CLICK);
    EXPECT_EQ(Commands(), (std::vector<int>{3, 4, 1, 2}));
}

TEST_F(Params, GetFromEepromShowsItAndATimedOutGetDiscardsUnsentEdits) {
    Connect();
    sensor->Eeprom()[2] = 700;  // vThdA
    Radio(RBTEeprom, 1);
    Fire(BTNGet, EVENT_COMMIT);
    EXPECT_EQ(Commands(), (std::vector<int>{4}));
    EXPECT_EQ(Value(panels.panelPopUp, NEDITVideoThdA), 700);
    EXPECT_EQ(StatusLine(), "Parameter-frame received! - Line Ok!");
    const GraphModel* curve = GetGraphModel(panels.panelHandle, GRAPH_CurveA);
    ASSERT_NE(curve, nullptr);
    ASSERT_EQ(curve->plots.size(), 2u);
    for (double y : curve->plots[1].curve.y) EXPECT_EQ(y, 700);
    const GraphModel* video = GetGraphModel(panels.panelHandle, GRAPH_VideoB);
    ASSERT_NE(video, nullptr);
    bool grey = false;
    for (const PlotItem& p : video->plots) {
        grey |= p.isRect && p.rect.fillColor == VAL_GRAY && p.rect.x1 == 0 && p.rect.x2 == 1023 &&
                p.rect.y2 == 1.0;
    }
    EXPECT_TRUE(grey);

    sensor->SetFault(4, Fault{FaultKind::kNoReply});
    SetTestClockStep(0.1);
    SetCtrlVal(panels.panelHandle, NEDITTolLeff, 77);
    Fire(BTNGet, EVENT_COMMIT);
    EXPECT_EQ(StatusLine(), "Timeout-RS-232...");
    EXPECT_EQ(Value(panels.panelHandle, NEDITTolLeff), params.tTol);
}

TEST_F(Params, ParameterFileRoundTripAndLayout) {
    const fs::path file = dir / "QTORpara.cfg";
    std::vector<FileDialogRequest> seen;
    AnswerDialogs(file, &seen);
    Radio(RBTFile, 1);
    SetCtrlVal(panels.panelPopUp, NEDITSTime, 12345);
    Fire(BTNSend, EVENT_LEFT_CLICK);
    EXPECT_EQ(StatusLine(), "Parameters saved to QTORpara.cfg");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, "Q-TOR-HPK-Series Parameter File");
    EXPECT_EQ(seen[0].filter, "*.cfg");
    EXPECT_EQ(seen[0].directory, dir.string());

    const std::string text = ReadFile(file);
    std::istringstream lines(text);
    std::vector<std::string> rows;
    for (std::string row; std::getline(lines, row);) rows.push_back(row);
    ASSERT_EQ(rows.size(), 16u);
    EXPECT_EQ(rows[0], " 200");
    EXPECT_EQ(rows[12], "12345");

    const ParameterSet written = params;
    params = StartParameters();
    params.sTime = 1;
    Fire(BTNGet, EVENT_COMMIT);
    EXPECT_EQ(seen.back().title, "Q-TOR-HPK-Series-Parameter-File");
    EXPECT_EQ(seen.back().button, VAL_LOAD_BUTTON);
    EXPECT_EQ(std::memcmp(&params, &written, sizeof params), 0);
    EXPECT_EQ(Value(panels.panelPopUp, NEDITSTime), 12345);

    AnswerDialogs(dir / "no-such-folder" / "QTORpara.cfg");
    Fire(BTNSend, EVENT_LEFT_CLICK);
    EXPECT_EQ(StatusLine(), "Parameter file could not be written!");
}

TEST_F(Params, LoadedValuesAreCorrectedAndTruncatedAndMissingOnesKept) {
    const fs::path file = dir / "odd.cfg";
    std::ofstream(file, std::ios::binary) << "600\r\n  200 \r\n 66560\r\n";  // 66560 = 0x10400
    AnswerDialogs(file);
    Radio(RBTFile, 1);
    params.vThdB = 444;
    Fire(BTNGet, EVENT_COMMIT);
    EXPECT_EQ(params.powerA, 250) << "600 loads, then the correction makes it 250";
    EXPECT_EQ(params.vThdA, 512) << "low 16 bits 1024, then corrected";
    EXPECT_EQ(params.vThdB, 444) << "not in the file: kept";
    EXPECT_EQ(StatusLine(), "Parameter file incomplete - missing values kept!");

    std::ofstream(file, std::ios::binary) << "garbage\n";
    Fire(BTNGet, EVENT_COMMIT);
    EXPECT_EQ(params.vThdB, 444);
    EXPECT_EQ(StatusLine(), "Parameter file incomplete - missing values kept!");

    fs::remove(file);
    Fire(BTNGet, EVENT_COMMIT);
    EXPECT_EQ(StatusLine(), "Parameter file unreadable - parameters kept!");
}

TEST_F(Params, CancelledDialogsWriteNothing) {
    SetFileDialogHook([](const FileDialogRequest&, std::string*) { return 0; });
    Radio(RBTFile, 1);
    Fire(BTNSend, EVENT_LEFT_CLICK);
    EXPECT_EQ(StatusLine(), "Transmit...");
    SetCtrlVal(panels.panelPopUp, CHECKFile, 1);
    FirePopup(CHECKFile, EVENT_COMMIT);
    EXPECT_EQ(Value(panels.panelPopUp, CHECKFile), 0);
    EXPECT_TRUE(fs::is_empty(dir));
    params.tTol = 99;
    Fire(BTNGet, EVENT_COMMIT);
    EXPECT_EQ(Value(panels.panelHandle, NEDITTolLeff), 99) << "panel refreshed all the same";
}

TEST_F(Params, MeasurementPathStaysApartFromParameterFiles) {
    const fs::path measure = dir / "m.dat";
    AnswerDialogs(measure);
    SetCtrlVal(panels.panelPopUp, CHECKFile, 1);
    FirePopup(CHECKFile, EVENT_COMMIT);
    const std::string zeros = ReadFile(measure);
    EXPECT_EQ(zeros.size(), 128u * 5);
    EXPECT_EQ(zeros.substr(0, 5), "   0\n");

    AnswerDialogs(dir / "p.cfg");
    Radio(RBTFile, 1);
    Fire(BTNSend, EVENT_LEFT_CLICK);
    EXPECT_EQ(files.measurement_file, measure.string());

    AnswerDialogs(dir);  // a folder, not a file
    FirePopup(CHECKFile, EVENT_COMMIT);
    EXPECT_EQ(StatusLine(), "Measurement file could not be written!");
}

TEST_F(Params, EditFieldsRedrawWithoutChangingTheParameterSet) {
    SetCtrlVal(panels.panelPopUp, NEDITVideoThdA, 600);
    FirePopup(NEDITVideoThdA, EVENT_VAL_CHANGED);
    const GraphModel* curve = GetGraphModel(panels.panelHandle, GRAPH_CurveA);
    ASSERT_NE(curve, nullptr);
    ASSERT_EQ(curve->plots.size(), 2u);
    for (double y : curve->plots[1].curve.y) EXPECT_EQ(y, 600);
    EXPECT_EQ(params.vThdA, 512);

    SetCtrlVal(panels.panelHandle, NEDITeachA, 700);
    Fire(NEDITeachA, EVENT_COMMIT);
    const GraphModel* video = GetGraphModel(panels.panelHandle, GRAPH_VideoA);
    ASSERT_GE(video->cursors.size(), 2u);
    EXPECT_EQ(video->cursors[1].x, 700);
    EXPECT_EQ(video->cursors[1].y, 1.0);
    EXPECT_EQ(params.tValA, 512);

    RunTask(PushGET(link, DATFILE, params));  // a parameter read puts the threshold line back
    for (double y : GetGraphModel(panels.panelHandle, GRAPH_CurveA)->plots[1].curve.y) {
        EXPECT_EQ(y, 512);
    }
}

TEST_F(Params, TeachSetsSetPointsFromTheMeasuredValues) {
    Connect();
    Fire(ButtonTeach, EVENT_COMMIT);
    EXPECT_EQ(Commands(), (std::vector<int>{6, 2}));
    EXPECT_EQ(StatusLine(), "Parameter-frame received! - Line Ok!");
    EXPECT_EQ(params.tValA, sensor->Ram()[7]);
    const GraphModel* a = GetGraphModel(panels.panelHandle, GRAPH_VideoA);
    EXPECT_EQ(a->cursors[0].x, params.tValA);
    EXPECT_EQ(a->cursors[0].y, 0.75);
}

TEST_F(Params, TeachWithoutReplyKeepsTheOldSetPoints) {
    Connect();
    sensor->SetFault(6, Fault{FaultKind::kNoReply});
    SetTestClockStep(0.1);
    params.tValB = 345;
    station.stop_flag = 0;
    Fire(ButtonTeach, EVENT_COMMIT);
    EXPECT_EQ(StatusLine(), "Timeout RS232-Line!");
    EXPECT_EQ(station.stop_flag, 1);
    EXPECT_EQ(Commands(), (std::vector<int>{6}));
    const GraphModel* b = GetGraphModel(panels.panelHandle, GRAPH_VideoB);
    EXPECT_EQ(b->cursors[0].x, 345);
    EXPECT_EQ(b->cursors[0].y, 0.75);
}

TEST_F(Params, PopupSwitchAndCloseBox) {
    QWidget* popup = qtor::FindPanel(panels.panelPopUp)->window;
    ASSERT_NE(popup, nullptr);
    const auto flip = [this](int hidden) {
        SetCtrlVal(panels.panelHandle, BIN_Sw_ParaSelect, hidden);
        Fire(BIN_Sw_ParaSelect, EVENT_VAL_CHANGED);
    };
    flip(0);
    EXPECT_TRUE(popup->isVisible());
    flip(1);
    EXPECT_FALSE(popup->isVisible());
    flip(0);
    ASSERT_TRUE(popup->isVisible());

    popup->close();  // the close box: the window stays until the popup's callback hides it
    for (int i = 0; i < 100 && popup->isVisible(); ++i) ProcessSystemEvents();
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(Value(panels.panelHandle, BIN_Sw_ParaSelect), 1);
    HidePanel(panels.panelPopUp);
}

}  // namespace
