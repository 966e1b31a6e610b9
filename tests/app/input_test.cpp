// Real mouse and key input on the main panel's buttons, through the toolkit's event dispatch
// to the program's callbacks.
#include <QAbstractButton>
#include <QTest>
#include <QWheelEvent>
#include <memory>
#include <vector>

#include "app_fixture.h"
#include "modes.h"
#include "parameter_callbacks.h"
#include "toolkit_internal.h"
#include "transfer.h"

namespace {

// Events that reached the stop and send callbacks, in order, for telling a real left click
// from a keyboard activation.
std::vector<int> g_stopEvents;
std::vector<int> g_sendEvents;

int SpyStop(int panel, int control, int event, void* data, int d1, int d2) {
    g_stopEvents.push_back(event);
    return CC_BTNStop(panel, control, event, data, d1, d2);
}

int SpySend(int panel, int control, int event, void* data, int d1, int d2) {
    g_sendEvents.push_back(event);
    return CC_BTNSend(panel, control, event, data, d1, d2);
}

int Count(const std::vector<int>& events, int kind) {
    int n = 0;
    for (int e : events) n += e == kind;
    return n;
}

class Input : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        g_stopEvents.clear();
        g_sendEvents.clear();
        RegisterCallback("CC_BTNStop", SpyStop);
        RegisterCallback("CC_BTNSend", SpySend);
        DisplayPanel(panels.panelHandle);
        Pump(0.02);
    }

    void TearDown() override {
        *live_ = false;
        RegisterCallback("CC_BTNStop", CC_BTNStop);
        RegisterCallback("CC_BTNSend", CC_BTNSend);
        HidePanel(panels.panelHandle);
        Pump(0.02);
        AppTest::TearDown();
    }

    QAbstractButton* Button(int control) {
        qtor::Control* c = qtor::FindControl(panels.panelHandle, control);
        return c ? qobject_cast<QAbstractButton*>(c->widget.data()) : nullptr;
    }

    // When(), dropped once the test has ended (see the fallback below).
    void Guarded(std::function<bool()> condition, std::function<void()> action) {
        auto live = live_;
        When([live, condition] { return !*live || condition(); },
             [live, action] {
                 if (*live) action();
             });
    }

    std::shared_ptr<bool> live_ = std::make_shared<bool>(true);
};

TEST_F(Input, MouseClickOnStopEndsRunModeKeyboardActivationDoesNot) {
    Connect();
    QAbstractButton* run = Button(BTNRun);
    QAbstractButton* stop = Button(BTNStop);
    ASSERT_NE(run, nullptr);
    ASSERT_NE(stop, nullptr);

    int keyAt = -1, clickAt = -1;
    bool fallback = false;
    Guarded([this] { return CountCommand(8) >= 5; },
            [this, stop, &keyAt] {
                keyAt = CountCommand(8);
                stop->setFocus();
                QTest::keyClick(stop, Qt::Key_Return);
            });
    Guarded([this, &keyAt] { return keyAt > 0 && CountCommand(8) >= keyAt + 20; },
            [this, stop, &clickAt] {
                clickAt = CountCommand(8);
                QTest::mouseClick(stop, Qt::LeftButton);
            });
    // Whatever goes wrong, the loop ends and the test reports it.
    const double t0 = Timer();
    Guarded([t0] { return Timer() > t0 + 5.0; },
            [this, &fallback] {
                fallback = true;
                Fire(BTNStop, EVENT_LEFT_CLICK);
            });

    QTest::mouseClick(run, Qt::LeftButton);
    Pump(0.05);  // the run callback is dispatched from here
    Settle();    // and the mode runs until it ends

    EXPECT_FALSE(fallback);
    ASSERT_GT(keyAt, 0) << "run mode was started by the mouse click";
    ASSERT_GT(clickAt, 0) << "run mode survived the keyboard activation of stop";
    EXPECT_LE(CountCommand(8), clickAt + 2) << "the mouse click ended it within a pass";
    EXPECT_EQ(station.stop_flag, 1);
    EXPECT_EQ(StatusLine(), "Line Ok!");
    EXPECT_EQ(Count(g_stopEvents, EVENT_LEFT_CLICK), 1);
    EXPECT_EQ(Count(g_stopEvents, EVENT_COMMIT), 2) << "one from the key, one from the mouse";
    ASSERT_FALSE(g_stopEvents.empty());
    EXPECT_EQ(g_stopEvents.front(), EVENT_COMMIT) << "the key gave a commit only";
    for (int c : {BTNRun, BTNVideo, BTNGet, BTNData, BTNSend}) EXPECT_FALSE(Dimmed(c)) << c;
}

TEST_F(Input, MouseClickOnSendWritesRamKeyboardActivationSendsNothing) {
    ConnectStrict();
    QAbstractButton* send = Button(BTNSend);
    ASSERT_NE(send, nullptr);
    station.target = RAM;
    SetCtrlVal(panels.panelHandle, RBTRam, 1);
    SetCtrlVal(panels.panelHandle, RBTEeprom, 0);
    SetCtrlVal(panels.panelHandle, RBTFile, 0);
    SetCtrlVal(panels.panelPopUp, NEDITPowerA, 321);

    QTest::mouseClick(send, Qt::LeftButton);
    Pump(0.05);  // the click is dispatched from here
    Settle();
    EXPECT_EQ(Commands(), (std::vector<int>{1, 2})) << "written, then read back";
    EXPECT_EQ(sensor->Ram()[0], 321);
    EXPECT_EQ(StatusLine(), "Parameters sent and verified!");

    send->setFocus();
    QTest::keyClick(send, Qt::Key_Return);
    QTest::keyClick(send, Qt::Key_Space);  // the pause key, whatever has the focus
    QTest::keyClick(send, Qt::Key_Escape);
    Pump(0.05);
    EXPECT_EQ(Commands(), (std::vector<int>{1, 2})) << "a keyboard activation sends nothing";
    EXPECT_EQ(g_sendEvents, (std::vector<int>{EVENT_LEFT_CLICK, EVENT_COMMIT, EVENT_COMMIT}));
    SetCtrlVal(panels.panelHandle, TOGBTN_Pause, 0);
    for (int chart : {STRIP_RawA, STRIP_RawB})
        SetCtrlAttribute(panels.panelHandle, chart, ATTR_PAUSED, 0);
}

// Space freezes the strip charts while run mode goes on; Escape ends the mode as a left click
// on Stop does, wherever the focus is. Paused, A and B are zoomed together; the next run is
// live again.
TEST_F(Input, SpacePausesTheChartsWhileRunModeGoesOnEscapeStopsIt) {
    Connect();
    QAbstractButton* run = Button(BTNRun);
    QAbstractButton* send = Button(BTNSend);
    const StripChartModel* strip = GetStripChartModel(panels.panelHandle, STRIP_RawA);
    ASSERT_NE(strip, nullptr);
    int spaceAt = -1, escapeAt = -1;
    bool fallback = false;
    Guarded([this] { return CountCommand(8) >= 5; },
            [this, send, &spaceAt] {
                spaceAt = CountCommand(8);
                send->setFocus();
                QTest::keyClick(send, Qt::Key_Space);
            });
    Guarded([this, &spaceAt] { return spaceAt > 0 && CountCommand(8) >= spaceAt + 20; },
            [this, send, &escapeAt] {
                escapeAt = CountCommand(8);
                QTest::keyClick(send, Qt::Key_Escape);
            });
    const double t0 = Timer();
    Guarded([t0] { return Timer() > t0 + 5.0; },
            [this, &fallback] {
                fallback = true;
                Fire(BTNStop, EVENT_LEFT_CLICK);
            });
    QTest::mouseClick(run, Qt::LeftButton);
    Pump(0.05);
    Settle();

    EXPECT_FALSE(fallback);
    ASSERT_GT(escapeAt, 0);
    EXPECT_LE(CountCommand(8), escapeAt + 2) << "Escape ended the mode within a pass";
    EXPECT_EQ(Count(g_stopEvents, EVENT_LEFT_CLICK), 1);
    for (int c : {BTNRun, BTNVideo, BTNGet, BTNData, BTNSend}) EXPECT_FALSE(Dimmed(c)) << c;
    EXPECT_TRUE(g_sendEvents.empty()) << "keys never reach Send";
    for (const auto& f : sensor->Log()) EXPECT_EQ(f.command, 8);
    EXPECT_EQ(Value(panels.panelHandle, TOGBTN_Pause), 1);
    EXPECT_TRUE(strip->paused);
    EXPECT_GE(strip->history.total - strip->pausedAt, 19) << "records went on into the history";
    EXPECT_EQ(strip->shown.max, 0) << "the view stayed where it was paused";

    // The wheel over A zooms B's time axis with it.
    const StripChartModel* b = GetStripChartModel(panels.panelHandle, STRIP_RawB);
    auto* plotA = qtor::FindControl(panels.panelHandle, STRIP_RawA)->widget->findChild<QWidget*>();
    ASSERT_NE(plotA, nullptr);
    const QPointF centre = QRectF(plotA->rect()).center();
    QWheelEvent wheel(centre, plotA->mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(plotA, &wheel);
    EXPECT_LT(strip->shown.max - strip->shown.min, 99) << "zoomed in";
    EXPECT_TRUE(b->paused);
    EXPECT_EQ(b->shown.min, strip->shown.min);
    EXPECT_EQ(b->shown.max, strip->shown.max);

    // Run again: the pause ends, the charts run.
    const long long before = CountCommand(8);
    Guarded([this, before] { return CountCommand(8) >= before + 5; },
            [this] { Fire(BTNStop, EVENT_LEFT_CLICK); });
    QTest::mouseClick(run, Qt::LeftButton);
    Pump(0.05);
    Settle();
    EXPECT_GE(CountCommand(8), before + 5);
    EXPECT_EQ(Value(panels.panelHandle, TOGBTN_Pause), 0);
    EXPECT_FALSE(strip->paused);
    EXPECT_FALSE(b->paused);
}

}  // namespace
