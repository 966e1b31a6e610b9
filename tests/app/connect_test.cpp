// The connect sequence and the device commands against the simulated sensor.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app_fixture.h"
#include "read_file.h"
#include "run_task.h"
#include "sensor_link.h"

namespace {

using sim::Fault;
using sim::FaultKind;

class LinkCommands : public AppTest {};

TEST_F(LinkCommands, StartUpSendsEchoParameterReadAndFirmwareRequestInOrder) {
    SetCtrlVal(panels.panelPopUp, NEDITPowerA, 321);
    GetPanelValues(panels, params);
    sensor->Ram()[0] = 222;  // powerA
    sensor->Ram()[7] = 300;  // tValA
    sensor->Ram()[9] = 600;  // tTol above its limit: corrected on the way to the panel
    RunTask(InitRS232(link, params));

    ASSERT_EQ(Commands(), (std::vector<int>{5, 2, 7}));
    EXPECT_EQ(sensor->Log()[0].words[0], 321) << "echo carries the current parameter set";
    EXPECT_EQ(Value(panels.panelPopUp, NEDITPowerA), 222);
    EXPECT_EQ(Value(panels.panelHandle, NEDITeachA), 300);
    EXPECT_EQ(Value(panels.panelHandle, NEDITTolLeff), 128);
    EXPECT_EQ(params.tTol, 128);
    EXPECT_EQ(StatusLine(), sensor->FirmwareText());
    EXPECT_STREQ(link.szVersion, sensor->FirmwareText().c_str());
    EXPECT_EQ(station.target, RAM);
}

TEST_F(LinkCommands, EchoWithWrongSyncWordStopsTheSequence) {
    sensor->SetFault(5, Fault{FaultKind::kWrongSync, 0xAA00});
    RunTask(InitRS232(link, params));
    EXPECT_EQ(StatusLine(), "read error - not sync byte 0xAA!");
    EXPECT_EQ(link.pp[0], 0xAA00);
    EXPECT_EQ(Commands(), (std::vector<int>{5}));
}

TEST_F(LinkCommands, FirmwareReplyOfSeventyThreeBytesLeavesVersionEmptyWithoutError) {
    sensor->SetFault(7, Fault{FaultKind::kLengthen, 1});
    OpenComConfig(1, "", 19200, NOPARITY, 8, 1, 4096, 4096);
    link.InstallRxNotification();
    link.SetStatus("before");
    EXPECT_EQ(RunTask(GetFirmwareInfo(link)), 73);
    EXPECT_STREQ(link.szVersion, "");
    EXPECT_EQ(StatusLine(), "before");

    sensor->ClearFaults();
    RunTask(InitRS232(link, params));
    EXPECT_EQ(StatusLine(), sensor->FirmwareText());
}

TEST_F(LinkCommands, FirmwareTextTakesTheLowByteOfEachWord) {
    // Letters in the high bytes as well: the text is the low bytes, up to the first zero one.
    sensor->SetFirmwareWords(
        {'A' << 8 | 'V', 'B' << 8 | '1', 'C' << 8 | '.', 'D' << 8 | '2', 'E' << 8, 'F' << 8 | 'G'});
    RunTask(InitRS232(link, params));
    EXPECT_STREQ(link.szVersion, "V1.2");
    EXPECT_EQ(StatusLine(), "V1.2");
}

TEST_F(LinkCommands, OpenErrorsShowTheirTextAndSendNothing) {
    auto init = [this](int port) {
        link.com = port;
        RunTask(InitRS232(link, params));
    };
    init(9);
    EXPECT_EQ(StatusLine(), "No serial port found: no such device");
    init(0);
    EXPECT_EQ(StatusLine(), "Invalid port number");
    PortTableSetDevice(2, "/nonexistent/ttyQTOR");
    init(2);
    EXPECT_EQ(StatusLine(), "Cannot open port: no such device");
    EXPECT_TRUE(sensor->Log().empty());
    // A reason too long for the status line is cut at a word; the open's text stays first.
    const std::string permission =
        "permission denied - add the user to the dialout group, log in again";
    const std::string cut = WithReason("Cannot open port", permission);
    EXPECT_EQ(cut, "Cannot open port: permission denied - add the user to the dialout...");
    EXPECT_EQ(WithReason("Cannot open port", ""), "Cannot open port");
    // Without a space to cut at, the cut keeps a character whole: "ü" is two bytes.
    const std::string path = std::string(49, 'x') + "\xc3\xbcyyyyy";
    EXPECT_EQ(WithReason("Cannot open port", path),
              "Cannot open port: " + path.substr(0, 49) + "...");
    EXPECT_STREQ(OpenErrorText(-5), "RS-232 error!");
    EXPECT_STREQ(OpenErrorText(-99), "Timeout");
    EXPECT_STREQ(OpenErrorText(-4), "Unknown I/0 error");
    EXPECT_STREQ(OpenErrorText(-13), "Invalid parameter");
}

TEST_F(LinkCommands, ReadDataStoresOnlyTheRequestedHalfOfTheRequestedBuffer) {
    Connect();
    for (auto& v : plots.adcbufA) v = 7777;
    for (auto& v : plots.adcbufB) v = 7777;
    link.RemoveRxNotification();
    EXPECT_EQ(RunTask(ReadData64(link, 64, SLAVE, plots)), 1);
    ASSERT_EQ(sensor->Log().size(), 1u);
    const auto expected = sensor->Video(0, sensor->Log()[0].time);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(plots.adcbufB[i], 7777);
        EXPECT_EQ(plots.adcbufA[i], 7777);
        EXPECT_EQ(plots.adcbufB[64 + i], expected[64 + i]) << i;
    }
    EXPECT_EQ(StatusLine(), "Data[64] block received!");
    EXPECT_EQ(sensor->Log()[0].words[0], 64);
    EXPECT_EQ(sensor->Log()[0].words[1], SLAVE);
}

// One time-out case per failing exchange kind; the test clock runs the waits out at once.
TEST_F(LinkCommands, TimeOutsReportTheirTextsAndStoreNothing) {
    Connect();
    SetTestClockStep(0.1);
    // A short block reply: stale bytes of the earlier reply must not reach the buffer.
    sensor->SetFault(9, Fault{FaultKind::kCut, 100});
    for (auto& v : plots.databuf) v = -1;
    std::memset(link.szReadBuf, 0x11, sizeof link.szReadBuf);
    link.RemoveRxNotification();
    const double t0 = Timer();
    RunTask(ReadData64(link, 0, MVBUF, plots));
    EXPECT_GE(Timer() - t0, TIMEOUT);
    EXPECT_LT(Timer() - t0, TIMEOUT + 0.5);
    EXPECT_EQ(StatusLine(), "Timeout-RS-232 while reading 64 data-words!");
    for (double v : plots.databuf) ASSERT_EQ(v, -1);
    link.InstallRxNotification();

    // No reply to the parameter read: values kept apart from the correction.
    sensor->SetFault(2, Fault{FaultKind::kNoReply});
    params.powerA = 700;
    params.vThdB = 333;
    RunTask(PushGET(link, RAM, params));
    EXPECT_EQ(StatusLine(), "Timeout-RS-232...");
    EXPECT_EQ(params.powerA, 250);
    EXPECT_EQ(params.vThdB, 333);

    sensor->SetFault(11, Fault{FaultKind::kNoReply});
    RunTask(ResetMaxMin(link));
    EXPECT_EQ(StatusLine(), "Timeout-RS-232...");
}

TEST_F(LinkCommands, SilentSensorTimesOutTheEchoAndFirmwareReplies) {
    sensor->SetFault(5, Fault{FaultKind::kNoReply});
    SetTestClockStep(0.1);
    RunTask(InitRS232(link, params));
    EXPECT_EQ(StatusLine(), "Timeout-RS-232...");
    EXPECT_EQ(Commands(), (std::vector<int>{5}));

    // The firmware reply is polled without pumping events: this wait is real.
    SetTestClockStep(0);
    sensor->ClearFaults();
    sensor->ClearLog();
    sensor->SetFault(7, Fault{FaultKind::kNoReply});
    RunTask(InitRS232(link, params));
    EXPECT_EQ(StatusLine(), "Error reading firmware-info!");
    EXPECT_EQ(Commands(), (std::vector<int>{5, 2, 7}));
}

// A reply taken in the very pass of the wait that runs out of time: the echo check counts it,
// the reset of max/min counts the time-out.
TEST_F(LinkCommands, ReplyInThePassThatRunsOutOfTime) {
    Connect();
    RunTask(ResetMaxMin(link));
    EXPECT_EQ(StatusLine(), "Reset Max/Min OK!");

    // The program's receive notification, and then the clock jumps past the time-out.
    InstallComCallback(
        1, eventMask, kFrameBytes, link.sync,
        [](int port, int mask, void* data) {
            SensorLink::RX_Receive_Function(port, mask, data);
            AdvanceTestClock(2 * TIMEOUT);
        },
        &link);
    const unsigned long before = link.FramesReceived();
    RunTask(ResetMaxMin(link));
    EXPECT_EQ(link.FramesReceived(), before + 1) << "the reply was taken";
    EXPECT_EQ(StatusLine(), "Timeout-RS-232...");
    EXPECT_EQ(RunTask(CheckComLine(link, params)), 1);
    EXPECT_EQ(StatusLine(), "Echo Check - Line Ok!");
    EXPECT_EQ(Commands(), (std::vector<int>{11, 11, 5}));
}

TEST_F(LinkCommands, EchoCheckDiscardsBytesLeftOfAnEarlierReply) {
    Connect();
    // A firmware reply cut short: 20 bytes wait, too few for the receive notification.
    sensor->SetFault(7, Fault{FaultKind::kCut, 20, true});
    const std::uint16_t none[PNUM] = {};
    link.FillTxBuf(7, none);
    ASSERT_EQ(link.WriteFrame(), kFrameBytes);
    for (int i = 0; i < 100 && GetInQLen(1) < 20; ++i) ProcessSystemEvents();
    ASSERT_EQ(GetInQLen(1), 20);
    EXPECT_EQ(RunTask(CheckComLine(link, params)), 1);
    EXPECT_EQ(StatusLine(), "Echo Check - Line Ok!");
}

TEST_F(LinkCommands, ParameterReadFromFileSendsNothingAndRedrawsPanelAndWindow) {
    Connect();
    params.tTol = 40;
    params.tValA = 700;
    SetCtrlVal(panels.panelPopUp, DropEvalMode, 0);
    params.eModeA = 0;
    RunTask(PushGET(link, DATFILE, params));
    EXPECT_TRUE(sensor->Log().empty());
    EXPECT_EQ(Value(panels.panelHandle, NEDITTolLeff), 40);
    const GraphModel* a = GetGraphModel(panels.panelHandle, GRAPH_VideoA);
    ASSERT_NE(a, nullptr);
    ASSERT_FALSE(a->plots.empty());
    const RectModel& band = a->plots.back().rect;
    EXPECT_EQ(band.x1, 660);
    EXPECT_EQ(band.x2, 740);
    EXPECT_EQ(band.fillColor, VAL_GREEN);
}

TEST_F(LinkCommands, PortChangeReinitialisesOncePerEvent) {
    Connect();
    SetCtrlVal(panels.panelHandle, DropDCom, 1);
    Fire(DropDCom, EVENT_VAL_CHANGED);
    Fire(DropDCom, EVENT_COMMIT);
    Fire(DropDCom, EVENT_LEFT_CLICK);
    EXPECT_EQ(Commands(), (std::vector<int>{5, 2, 7, 5, 2, 7}));
    EXPECT_EQ(link.com, 1);
    EXPECT_EQ(StatusLine(), sensor->FirmwareText());
}

TEST_F(LinkCommands, PortSelectorListsThePortTableWithTheSimulatedSensorLast) {
    FillPortSelector(panels, link.com);
    const auto ports = PortTableList();
    ASSERT_FALSE(ports.empty());
    EXPECT_TRUE(ports.back().simulated || ports.front().simulated);
    EXPECT_EQ(Value(panels.panelHandle, DropDCom), 1);
}

}  // namespace

namespace {

TEST(PanelFile, LackingAControlTheProgramNeedsIsRefused) {
    const std::string source = std::string(QTOR_BIN_DIR) + "/" + kPanelFile;
    std::string content = ReadFile(source);
    const std::string status = "<property name=\"ctrl\" stdset=\"0\"><number>26</number>";
    const size_t at = content.find(status);
    ASSERT_NE(at, std::string::npos);
    content.replace(at, status.size(), "<property name=\"ctrl\" stdset=\"0\"><number>99</number>");
    const std::string broken = (std::filesystem::temp_directory_path() / "broken.uir").string();
    std::ofstream(broken) << content;

    RegisterCallbacks();  // run alone, no fixture has registered them
    testing::internal::CaptureStderr();
    PanelHandles panels;
    EXPECT_EQ(LoadPanels(broken.c_str(), &panels), -1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("TEXT_Status"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    DiscardPanel(panels.panelHandle);
    DiscardPanel(panels.panelPopUp);
    std::filesystem::remove(broken);
}

}  // namespace
