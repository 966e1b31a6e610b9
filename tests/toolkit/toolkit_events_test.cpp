// Events as the user raises them with real mouse and key input on the real panels.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <ctime>
#include <tuple>
#include <vector>

#include "QtorKMBscope10.h"
#include "files.h"
#include "toolkit.h"
#include "toolkit_internal.h"

namespace {

const QByteArray kPanelPath = QByteArray(QTOR_BIN_DIR) + "/" + kPanelFile;

using Event = std::tuple<int, int>;  // control, event
std::vector<Event> g_events;

int Record(int, int control, int event, void*, int, int) {
    g_events.emplace_back(control, event);
    return 0;
}

const char* const kCallbacks[] = {"CC_PANEL",
                                  "CC_POPUP",
                                  "CC_BTNRun",
                                  "CC_BTNStop",
                                  "CC_BTNSend",
                                  "CC_BTNGet",
                                  "CC_BTNVideo",
                                  "CC_BTNData",
                                  "CC_ButtonTeach",
                                  "CC_RBTRam",
                                  "CC_RBTEeprom",
                                  "CC_RBTFile",
                                  "CC_TOGBTN_Zoom",
                                  "CC_DropDCom",
                                  "CC_NEDITeachA",
                                  "CC_NEDITTolLeff",
                                  "CC_BIN_Sw_ParaSelect",
                                  "CC_DropEvalMode",
                                  "CC_CHECKFile",
                                  "CC_NEDITVideoThdA",
                                  "CC_TOGBTN_Pause",
                                  "CC_TOGBTN_Record",
                                  "CC_GraphMenu",
                                  "CC_TOGBTN_Trace"};

void Pump() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

template <typename T = QWidget>
T* Widget(int panel, int control) {
    qtor::Control* c = qtor::FindControl(panel, control);
    return c ? qobject_cast<T*>(c->widget.data()) : nullptr;
}

class ToolkitEvents : public testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : kCallbacks) RegisterCallback(name, Record);
        main_ = LoadPanel(0, kPanelPath.constData(), PANEL);
        popup_ = LoadPanel(0, kPanelPath.constData(), POPUP);
        ASSERT_GT(main_, 0);
        ASSERT_GT(popup_, 0);
        DisplayPanel(main_);
        DisplayPanel(popup_);
        Pump();
        g_events.clear();
    }
    void TearDown() override {
        for (const char* name : kCallbacks) RegisterCallback(name, nullptr);
        DiscardPanel(popup_);
        DiscardPanel(main_);
        Pump();
    }
    std::vector<Event> Take() {
        Pump();
        std::vector<Event> e;
        e.swap(g_events);
        return e;
    }
    int main_ = -1, popup_ = -1;
};

TEST_F(ToolkitEvents, LeftMouseClickIsLeftClickThenCommitKeyboardIsCommitOnly) {
    auto* run = Widget<QAbstractButton>(main_, BTNRun);
    ASSERT_NE(run, nullptr);
    QTest::mouseClick(run, Qt::LeftButton);
    EXPECT_EQ(Take(), (std::vector<Event>{{BTNRun, EVENT_LEFT_CLICK}, {BTNRun, EVENT_COMMIT}}));

    // Return activates the focused button (the space bar is the main panel's pause key).
    run->setFocus();
    QTest::keyClick(run, Qt::Key_Return);
    EXPECT_EQ(Take(), (std::vector<Event>{{BTNRun, EVENT_COMMIT}}));

    // A right press is no left click and no activation.
    QTest::mouseClick(run, Qt::RightButton);
    EXPECT_TRUE(Take().empty());

    // A press that ends outside the button: left click, but nothing committed.
    QTest::mousePress(run, Qt::LeftButton);
    QTest::mouseRelease(run, Qt::LeftButton, {}, QPoint(-50, -50));
    EXPECT_EQ(Take(), (std::vector<Event>{{BTNRun, EVENT_LEFT_CLICK}}));

    // A dimmed button raises nothing, and its press leaves no mark for a later key activation.
    SetCtrlAttribute(main_, BTNSend, ATTR_DIMMED, 1);
    auto* send = Widget<QAbstractButton>(main_, BTNSend);
    QTest::mousePress(send, Qt::LeftButton);
    SetCtrlAttribute(main_, BTNSend, ATTR_DIMMED, 0);
    send->setFocus();
    QTest::keyClick(send, Qt::Key_Return);
    EXPECT_EQ(Take(), (std::vector<Event>{{BTNSend, EVENT_COMMIT}}));
}

// A control's key acts anywhere in its window as a mouse click on it, ahead of the focused
// button; typed into a text field it stays text. Send has no key: no keystroke writes.
TEST_F(ToolkitEvents, PanelKeysActAsAClickOnTheirControlExceptAsText) {
    auto* run = Widget<QAbstractButton>(main_, BTNRun);
    run->setFocus();
    QTest::keyClick(run, Qt::Key_Escape);
    EXPECT_EQ(Take(), (std::vector<Event>{{BTNStop, EVENT_LEFT_CLICK}, {BTNStop, EVENT_COMMIT}}));
    QTest::keyClick(run, Qt::Key_Space);
    EXPECT_EQ(Take(), (std::vector<Event>{{TOGBTN_Pause, EVENT_VAL_CHANGED},
                                          {TOGBTN_Pause, EVENT_COMMIT}}));
    int paused = 0;
    GetCtrlVal(main_, TOGBTN_Pause, &paused);
    EXPECT_EQ(paused, 1);
    // Held down, the key repeats: still one press.
    QTest::keyPress(run, Qt::Key_Space);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ", true);
    QApplication::sendEvent(run, &repeat);
    QTest::keyRelease(run, Qt::Key_Space);
    Take();
    GetCtrlVal(main_, TOGBTN_Pause, &paused);
    EXPECT_EQ(paused, 0) << "one press, its repeat ignored";

    auto* teach = Widget<QSpinBox>(main_, NEDITeachA);
    teach->setFocus();
    teach->selectAll();
    QTest::keyClicks(teach, "1 2");
    const std::vector<Event> typed = Take();
    EXPECT_EQ(std::count_if(typed.begin(), typed.end(),
                            [](const Event& e) { return std::get<0>(e) == TOGBTN_Pause; }),
              0);
    QTest::keyClick(teach, Qt::Key_Escape);
    EXPECT_EQ(Take(), (std::vector<Event>{{BTNStop, EVENT_LEFT_CLICK}, {BTNStop, EVENT_COMMIT}}))
        << "Escape is no text";

    // A dimmed control's key does nothing, and nothing reaches the focused button either.
    SetCtrlAttribute(main_, BTNStop, ATTR_DIMMED, 1);
    run->setFocus();
    QTest::keyClick(run, Qt::Key_Escape);
    EXPECT_TRUE(Take().empty());
    SetCtrlAttribute(main_, BTNStop, ATTR_DIMMED, 0);
    // On a radio button the space bar picks it, as the keyboard's way to choose a target.
    auto* ram = Widget<QAbstractButton>(main_, RBTRam);
    ram->setFocus();
    QTest::keyClick(ram, Qt::Key_Space);
    EXPECT_EQ(Take(), (std::vector<Event>{{RBTRam, EVENT_VAL_CHANGED}, {RBTRam, EVENT_COMMIT}}));
    // The popup has no keys: there the space bar ticks the focused box as usual.
    auto* file = Widget<QAbstractButton>(popup_, CHECKFile);
    file->setFocus();
    QTest::keyClick(file, Qt::Key_Space);
    EXPECT_EQ(Take(),
              (std::vector<Event>{{CHECKFile, EVENT_VAL_CHANGED}, {CHECKFile, EVENT_COMMIT}}));
}

TEST_F(ToolkitEvents, ValueControlsGiveValueChangedThenCommit) {
    // Radio buttons are independent toggles: the program keeps one target selected.
    auto* ram = Widget<QAbstractButton>(main_, RBTRam);
    auto* eeprom = Widget<QAbstractButton>(main_, RBTEeprom);
    // Click on the indicator: the blank area right of a radio button's text is not the button.
    const auto onIndicator = [](QWidget* w) { return QPoint(8, w->height() / 2); };
    QTest::mouseClick(eeprom, Qt::LeftButton, {}, onIndicator(eeprom));
    EXPECT_EQ(Take(), (std::vector<Event>{{RBTEeprom, EVENT_LEFT_CLICK},
                                          {RBTEeprom, EVENT_VAL_CHANGED},
                                          {RBTEeprom, EVENT_COMMIT}}));
    int v = -1;
    GetCtrlVal(main_, RBTEeprom, &v);
    EXPECT_EQ(v, 1);
    GetCtrlVal(main_, RBTRam, &v);
    EXPECT_EQ(v, 1) << "no automatic exclusivity";
    QTest::mouseClick(ram, Qt::LeftButton, {}, onIndicator(ram));
    Take();
    GetCtrlVal(main_, RBTRam, &v);
    EXPECT_EQ(v, 0) << "a selected radio button can be turned off";

    auto* zoom = Widget<QAbstractButton>(main_, TOGBTN_Zoom);
    zoom->setFocus();
    QTest::keyClick(zoom, Qt::Key_Return);
    EXPECT_EQ(Take(),
              (std::vector<Event>{{TOGBTN_Zoom, EVENT_VAL_CHANGED}, {TOGBTN_Zoom, EVENT_COMMIT}}));
    GetCtrlVal(main_, TOGBTN_Zoom, &v);
    EXPECT_EQ(v, 1);

    auto* file = Widget<QAbstractButton>(popup_, CHECKFile);
    file->setFocus();
    QTest::keyClick(file, Qt::Key_Space);
    EXPECT_EQ(Take(),
              (std::vector<Event>{{CHECKFile, EVENT_VAL_CHANGED}, {CHECKFile, EVENT_COMMIT}}));

    // A ring picked by the user; picking the entry already shown changes nothing.
    auto* mode = Widget<QComboBox>(popup_, DropEvalMode);
    mode->setFocus();
    QTest::keyClick(mode, Qt::Key_Down);
    EXPECT_EQ(Take(), (std::vector<Event>{{DropEvalMode, EVENT_VAL_CHANGED},
                                          {DropEvalMode, EVENT_COMMIT}}));
    GetCtrlVal(popup_, DropEvalMode, &v);
    EXPECT_EQ(v, 2);
    emit mode->activated(mode->currentIndex());
    EXPECT_EQ(Take(), (std::vector<Event>{{DropEvalMode, EVENT_COMMIT}}));
}

TEST_F(ToolkitEvents, NumericFieldStepsCommitAtOnceTypingCommitsOnEnter) {
    auto* teach = Widget<QSpinBox>(main_, NEDITeachA);
    ASSERT_NE(teach, nullptr);
    teach->setFocus();
    QTest::keyClick(teach, Qt::Key_Up);
    EXPECT_EQ(Take(),
              (std::vector<Event>{{NEDITeachA, EVENT_VAL_CHANGED}, {NEDITeachA, EVENT_COMMIT}}));
    int v = 0;
    GetCtrlVal(main_, NEDITeachA, &v);
    EXPECT_EQ(v, 513);

    teach->selectAll();
    QTest::keyClicks(teach, "42");
    EXPECT_EQ(Take(), (std::vector<Event>{{NEDITeachA, EVENT_VAL_CHANGED},
                                          {NEDITeachA, EVENT_VAL_CHANGED}}));
    QTest::keyClick(teach, Qt::Key_Return);
    EXPECT_EQ(Take(), (std::vector<Event>{{NEDITeachA, EVENT_COMMIT}}));
    GetCtrlVal(main_, NEDITeachA, &v);
    EXPECT_EQ(v, 42);
    // Enter again without an edit commits nothing new.
    QTest::keyClick(teach, Qt::Key_Return);
    EXPECT_TRUE(Take().empty());
}

TEST_F(ToolkitEvents, SetCtrlValRaisesNoEvent) {
    ClearListCtrl(main_, DropDCom);
    InsertListItem(main_, DropDCom, -1, "COM1", 1);
    InsertListItem(main_, DropDCom, -1, "COM2", 2);
    SetCtrlVal(main_, DropDCom, 2);
    SetCtrlVal(main_, NEDITeachA, 100);
    SetCtrlVal(main_, NEDITTolLeff, 7u);
    SetCtrlVal(main_, RBTFile, 1);
    SetCtrlVal(main_, RBTRam, 0);
    SetCtrlVal(main_, BIN_Sw_ParaSelect, 0);
    SetCtrlVal(main_, TOGBTN_Zoom, 1);
    SetCtrlVal(popup_, DropEvalMode, 3);
    SetCtrlVal(popup_, CHECKFile, 1);
    SetCtrlVal(popup_, NEDITVideoThdA, 900.0);
    SetCtrlVal(main_, TEXT_Status, "Line Ok!");
    EXPECT_TRUE(Take().empty());
    // ... and a user pick afterwards is reported as a change from the value set.
    auto* com = Widget<QComboBox>(main_, DropDCom);
    com->setFocus();
    QTest::keyClick(com, Qt::Key_Up);
    EXPECT_EQ(Take(),
              (std::vector<Event>{{DropDCom, EVENT_VAL_CHANGED}, {DropDCom, EVENT_COMMIT}}));
    int v = 0;
    GetCtrlVal(main_, DropDCom, &v);
    EXPECT_EQ(v, 1);
}

TEST_F(ToolkitEvents, CloseBoxReportsToThePanelCallbackAndThePanelStays) {
    QWidget* window = qtor::FindPanel(main_)->window;
    ASSERT_TRUE(window->isVisible());
    window->windowHandle()->close();
    EXPECT_EQ(Take(), (std::vector<Event>{{0, EVENT_CLOSE}}));
    EXPECT_TRUE(window->isVisible());

    QWidget* popup = qtor::FindPanel(popup_)->window;
    popup->close();
    EXPECT_EQ(Take(), (std::vector<Event>{{0, EVENT_CLOSE}}));
    EXPECT_TRUE(popup->isVisible());
    // Unregistered callbacks are simply not called.
    RegisterCallback("CC_POPUP", nullptr);
    popup->close();
    EXPECT_TRUE(Take().empty());
}

// An acquisition mode runs inside the run button's commit and pumps events until stopped.
bool g_stop = false;
bool g_looping = false;
int g_nestedClicks = 0;
QElapsedTimer g_loopTime;

int NestedRun(int panel, int control, int event, void*, int, int) {
    g_events.emplace_back(control, event);
    if (event != EVENT_COMMIT) return 0;
    g_stop = false;
    g_looping = true;
    auto* stop = Widget<QAbstractButton>(panel, BTNStop);
    QTimer::singleShot(30, stop, [stop] { QTest::mouseClick(stop, Qt::LeftButton); });
    g_loopTime.start();
    while (!g_stop && g_loopTime.elapsed() < 5000) ProcessSystemEvents();
    g_looping = false;
    return 0;
}

int StopOnLeftClick(int, int control, int event, void*, int, int) {
    g_events.emplace_back(control, event);
    if (event == EVENT_LEFT_CLICK) {
        g_stop = true;
        if (g_looping) ++g_nestedClicks;
    }
    return 0;
}

int CloseQuits(int, int control, int event, void*, int, int) {
    g_events.emplace_back(control, event);
    if (event == EVENT_CLOSE) {
        g_stop = true;
        QuitUserInterface(7);
    }
    return 0;
}

TEST_F(ToolkitEvents, NestedLoopInACommitStillReceivesAnotherButtonsLeftClick) {
    RegisterCallback("CC_BTNRun", NestedRun);
    RegisterCallback("CC_BTNStop", StopOnLeftClick);
    g_nestedClicks = 0;
    QTest::mouseClick(Widget<QAbstractButton>(main_, BTNRun), Qt::LeftButton);
    Pump();
    EXPECT_LT(g_loopTime.elapsed(), 2000) << "the loop ended by the stop click, not its guard";
    EXPECT_EQ(g_nestedClicks, 1);
    const std::vector<Event> e = Take();
    ASSERT_GE(e.size(), 3u);
    EXPECT_EQ(e[0], Event(BTNRun, EVENT_LEFT_CLICK));
    EXPECT_EQ(e[1], Event(BTNRun, EVENT_COMMIT));
    EXPECT_EQ(e[2], Event(BTNStop, EVENT_LEFT_CLICK));
}

TEST_F(ToolkitEvents, QuitFromNestedPumpingEndsTheLoopOnceTheCallbackReturns) {
    RegisterCallback("CC_BTNRun", NestedRun);
    RegisterCallback("CC_BTNStop", nullptr);  // the stop click goes unheard: close ends it
    RegisterCallback("CC_PANEL", CloseQuits);
    QWidget* window = qtor::FindPanel(main_)->window;
    auto* run = Widget<QAbstractButton>(main_, BTNRun);
    QTimer::singleShot(0, run, [run] { QTest::mouseClick(run, Qt::LeftButton); });
    QTimer::singleShot(100, window, [window] { window->windowHandle()->close(); });
    QElapsedTimer t;
    t.start();
    const int code = RunUserInterface();
    EXPECT_EQ(code, 7);
    EXPECT_FALSE(g_looping);
    EXPECT_LT(t.elapsed(), 2000);
    const std::vector<Event> e = Take();
    ASSERT_GE(e.size(), 3u);
    EXPECT_EQ(e.back(), Event(0, EVENT_CLOSE));
}

TEST_F(ToolkitEvents, WaitingInTheEventLoopDoesNotSpin) {
    QTimer::singleShot(300, [] { QuitUserInterface(0); });
    const std::clock_t cpu = std::clock();
    QElapsedTimer wall;
    wall.start();
    RunUserInterface();
    const double cpuMs = 1000.0 * double(std::clock() - cpu) / CLOCKS_PER_SEC;
    EXPECT_GE(wall.elapsed(), 250);
    EXPECT_LT(cpuMs, 0.5 * double(wall.elapsed())) << "cpu " << cpuMs << " ms";
}

// A name typed with another extension gets the filter's: the dialog asked about the name as
// typed, so replacing the file with the extension added is asked about again.
TEST(FileDialog, AReplacementMadeByAnAddedExtensionIsAskedAbout) {
    QTemporaryDir dir;
    const QString kept = dir.filePath("x.txt.csv");
    QFile file(kept);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("kept\n");
    file.close();
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        QString asked;
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                // Typed into the name field, as a user does.
                auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
                if (!name) return;
                name->setText("x.txt");
                QMetaObject::invokeMethod(dialog, "accept");
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                asked = box->text();
                box->button(answer)->click();
            }
        });
        user.start(20);
        std::string path;
        const int chosen = FileSelectPopup(dir.path().toStdString(), "QTORrecord.csv", "*.csv",
                                           "Record", VAL_OK_BUTTON, &path);
        user.stop();
        EXPECT_TRUE(asked.startsWith("x.txt.csv already exists")) << asked.toStdString();
        EXPECT_EQ(chosen, answer == QMessageBox::Yes ? 1 : 0);
        if (chosen == 1) {
            EXPECT_EQ(path, kept.toStdString());
        }
    }
}

}  // namespace
