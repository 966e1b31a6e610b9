// The panel file as the program ships it, and the loader's answer to broken ones.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "QtorKMBscope10.h"
#include "toolkit.h"
#include "toolkit_internal.h"

namespace {

const QString kPanelPath = QString(QTOR_BIN_DIR) + "/" + kPanelFile;

QByteArray PanelFileBytes() {
    QFile f(kPanelPath);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(kPanelPath);
    return f.readAll();
}

// Loads `bytes` as a panel file; returns the handle and what went to standard error.
std::pair<int, std::string> LoadBroken(const QByteArray& bytes, int panelId = PANEL) {
    QTemporaryDir dir;
    const QString path = dir.filePath("broken.uir");
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    testing::internal::CaptureStderr();
    const int h = LoadPanel(0, path.toLocal8Bit().constData(), panelId);
    return {h, testing::internal::GetCapturedStderr()};
}

int Lines(const std::string& s) { return int(std::count(s.begin(), s.end(), '\n')); }

QWidget* Widget(int panel, int control) {
    qtor::Control* c = qtor::FindControl(panel, control);
    return c ? c->widget.data() : nullptr;
}

class PanelFile : public testing::Test {
  protected:
    void SetUp() override {
        main_ = LoadPanel(0, kPanelPath.toLocal8Bit().constData(), PANEL);
        popup_ = LoadPanel(0, kPanelPath.toLocal8Bit().constData(), POPUP);
        ASSERT_GT(main_, 0);
        ASSERT_GT(popup_, 0);
    }
    void TearDown() override {
        if (popup_ > 0) DiscardPanel(popup_);
        if (main_ > 0) DiscardPanel(main_);
    }
    int main_ = -1, popup_ = -1;
};

TEST_F(PanelFile, EveryControlOfTheTableIsAddressableOnItsPanelUnderItsName) {
    for (const ControlEntry& c : kControlTable) {
        const int panel = c.panel == PANEL ? main_ : popup_;
        QWidget* w = Widget(panel, c.constant);
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_EQ(w->objectName().toStdString(), c.name) << "constant " << c.constant;
        int visible = -1;
        EXPECT_EQ(GetCtrlAttribute(panel, c.constant, ATTR_VISIBLE, &visible), 0) << c.name;
    }
    // Constants of one panel are not valid on the other unless both have them.
    int v = 0;
    EXPECT_LT(GetCtrlVal(popup_, TEXT_Status, &v), 0);
}

TEST_F(PanelFile, RelativeNameIsFoundBesideTheProgramAndEachLoadIsANewInstance) {
    const int again = LoadPanel(0, kPanelFile, PANEL);
    ASSERT_GT(again, 0);
    EXPECT_NE(again, main_);
    SetCtrlVal(main_, NEDITeachA, 300);
    int value = 0;
    GetCtrlVal(again, NEDITeachA, &value);
    EXPECT_EQ(value, 512);  // the other instance keeps the file's value
    EXPECT_EQ(DiscardPanel(again), 0);
    EXPECT_LT(SetCtrlVal(again, NEDITeachA, 1), 0);
    EXPECT_LT(DiscardPanel(again), 0);
}

// Dialogs without a folder of their own open where the user keeps documents, never in the
// program's folder (a build or a share folder).
TEST(ProjectDir, IsTheDocumentsFolderOrElseHome) {
    const QByteArray home = qgetenv("HOME"), config = qgetenv("XDG_CONFIG_HOME");
    QTemporaryDir dir;
    qputenv("HOME", dir.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toLocal8Bit());
    const std::string none = GetProjectDir();
    QDir(dir.path()).mkdir("Documents");
    const std::string documents = GetProjectDir();
    qputenv("HOME", home);
    if (config.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", config);
    EXPECT_EQ(none, QDir::toNativeSeparators(dir.path()).toStdString());
    EXPECT_EQ(documents, QDir::toNativeSeparators(dir.filePath("Documents")).toStdString());
}

TEST_F(PanelFile, InitialValuesAndRangesHoldWhatTheSensorKeeps) {
    const std::vector<std::pair<int, int>> mainStart = {
        {NEDITeachA, 512}, {NEDITeachB, 512}, {NEDITTolLeff, 100}, {BIN_Sw_ParaSelect, 1}};
    for (auto [id, want] : mainStart) {
        int v = -1;
        ASSERT_EQ(GetCtrlVal(main_, id, &v), 0);
        EXPECT_EQ(v, want) << "main control " << id;
    }
    const std::vector<std::pair<int, int>> popupStart = {
        {NEDITPowerA, 200}, {NEDITVideoThdA, 512}, {NEDITVideoThdB, 512}, {DropPolarity, 0},
        {DropEvalMode, 1},  {NEDITAverage, 1},     {DropEPoti, 0},        {DropAnaMode, 0},
        {NEDITSTime, 1000}, {CHECKFile, 0}};
    for (auto [id, want] : popupStart) {
        int v = -1;
        ASSERT_EQ(GetCtrlVal(popup_, id, &v), 0);
        EXPECT_EQ(v, want) << "popup control " << id;
    }
    // A field reaches as far as the range correction of its word lets a value through, no
    // further: the time setting has no limit and spans 16 bits.
    const std::vector<std::tuple<int, int, int>> fields = {
        {popup_, NEDITPowerA, 500},  {popup_, NEDITVideoThdA, 1023}, {popup_, NEDITVideoThdB, 1023},
        {popup_, NEDITAverage, 128}, {popup_, NEDITSTime, 65535},    {main_, NEDITeachA, 1024},
        {main_, NEDITeachB, 1024},   {main_, NEDITTolLeff, 512}};
    for (auto [panel, id, limit] : fields) {
        unsigned short v = 0;
        EXPECT_EQ(SetCtrlVal(panel, id, 65535u), 0);
        GetCtrlVal(panel, id, &v);
        EXPECT_EQ(v, limit) << "control " << id;
        SetCtrlVal(panel, id, 0);
        GetCtrlVal(panel, id, &v);
        EXPECT_EQ(v, 0) << "control " << id;
    }
    // Selectors hold the listed values and nothing else.
    for (auto [id, last] :
         {std::pair{DropPolarity, 1}, {DropEvalMode, 3}, {DropEPoti, 4}, {DropAnaMode, 4}}) {
        for (int value = 0; value <= last; ++value) {
            int got = -1;
            ASSERT_EQ(SetCtrlVal(popup_, id, value), 0) << id << " value " << value;
            GetCtrlVal(popup_, id, &got);
            EXPECT_EQ(got, value);
            std::string text;
            GetCtrlVal(popup_, id, &text);
            EXPECT_FALSE(text.empty());
        }
        EXPECT_LT(SetCtrlVal(popup_, id, last + 1), 0) << id;
    }
}

// Entries come at run time; one wider than its box is shown whole in the box's tooltip and in
// the list it opens.
TEST_F(PanelFile, RingEntriesFilledAtRunTimeReturnTheirValues) {
    ASSERT_EQ(ClearListCtrl(main_, DropDCom), 0);
    InsertListItem(main_, DropDCom, -1, "COM3", 3);
    InsertListItem(main_, DropDCom, -1, "COM7", 7);
    InsertListItem(main_, DropDCom, 0, "COM1", 1);
    int v = 0;
    ASSERT_EQ(GetCtrlVal(main_, DropDCom, &v), 0);
    EXPECT_EQ(v, 3);
    SetCtrlVal(main_, DropDCom, 1);
    std::string first;
    GetCtrlVal(main_, DropDCom, &first);
    EXPECT_EQ(first, "COM1");
    ASSERT_EQ(SetCtrlVal(main_, DropDCom, 7), 0);
    GetCtrlVal(main_, DropDCom, &v);
    EXPECT_EQ(v, 7);
    std::string label;
    GetCtrlVal(main_, DropDCom, &label);
    EXPECT_EQ(label, "COM7");
    EXPECT_LT(SetCtrlVal(main_, DropDCom, 2), 0);
    const std::string wide = "COM9  /dev/serial/by-id/usb-Dored_Line_Sensors_Q-TOR_adapter-if00";
    InsertListItem(main_, DropDCom, -1, wide.c_str(), 9);
    ASSERT_EQ(SetCtrlVal(main_, DropDCom, 9), 0);
    auto* ring = qobject_cast<QComboBox*>(Widget(main_, DropDCom));
    ASSERT_NE(ring, nullptr);
    DisplayPanel(main_);
    const int needs = ring->fontMetrics().horizontalAdvance(QString::fromStdString(wide));
    EXPECT_LT(ring->width(), needs) << "the box cuts it";
    EXPECT_GE(ring->view()->minimumWidth(), needs);
    QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), ring->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(ring, &hover);
    EXPECT_EQ(QToolTip::text().toStdString(), wide);
    QToolTip::hideText();
    ClearListCtrl(main_, DropDCom);
    EXPECT_LT(GetCtrlVal(main_, DropDCom, &v), 0);
}

TEST_F(PanelFile, SwitchAndAttributesShowTheirState) {
    auto* sw = qobject_cast<QAbstractButton*>(Widget(main_, BIN_Sw_ParaSelect));
    ASSERT_NE(sw, nullptr);
    const QString hidden = sw->text();
    SetCtrlVal(main_, BIN_Sw_ParaSelect, 0);
    EXPECT_NE(sw->text(), hidden);  // the label follows the state
    SetCtrlVal(main_, BIN_Sw_ParaSelect, 1);
    EXPECT_EQ(sw->text(), hidden);

    int v = -1;
    SetCtrlAttribute(main_, BTNRun, ATTR_DIMMED, 1);
    GetCtrlAttribute(main_, BTNRun, ATTR_DIMMED, &v);
    EXPECT_EQ(v, 1);
    SetCtrlAttribute(main_, BTNRun, ATTR_DIMMED, 0);
    GetCtrlAttribute(main_, BTNRun, ATTR_DIMMED, &v);
    EXPECT_EQ(v, 0);
    SetCtrlAttribute(main_, GRAPH_CurveA, ATTR_VISIBLE, 1);
    GetCtrlAttribute(main_, GRAPH_CurveA, ATTR_VISIBLE, &v);
    EXPECT_EQ(v, 1);
    SetCtrlAttribute(main_, STRIP_RawA, ATTR_VISIBLE, 0);
    GetCtrlAttribute(main_, STRIP_RawA, ATTR_VISIBLE, &v);
    EXPECT_EQ(v, 0);
}

// Indicators repaint at most once per screen refresh, but read back at once.
TEST_F(PanelFile, IndicatorsReadBackAtOnceAndShowTheLatestValue) {
    auto* a = qobject_cast<QSpinBox*>(Widget(main_, NUM_Avalue));
    ASSERT_NE(a, nullptr);
    for (int v = 1; v <= 300; ++v) SetCtrlVal(main_, NUM_Avalue, v);
    int got = 0;
    GetCtrlVal(main_, NUM_Avalue, &got);
    EXPECT_EQ(got, 300);
    std::string text;
    GetCtrlVal(main_, NUM_Avalue, &text);
    EXPECT_EQ(text, "300");
    QElapsedTimer t;
    t.start();
    while (a->text() != "300" && t.elapsed() < 1000) QApplication::processEvents();
    EXPECT_EQ(a->text(), "300");
    EXPECT_LT(t.elapsed(), 500) << "digits are shown five times a second";
    // Setting a value and back before the refresh leaves the shown value alone.
    SetCtrlVal(main_, NUM_Avalue, 5);
    SetCtrlVal(main_, NUM_Avalue, 300);
    GetCtrlVal(main_, NUM_Avalue, &got);
    EXPECT_EQ(got, 300);
    QTest::qWait(250);
    EXPECT_EQ(a->text(), "300");
    // The digits stay when the window is shown again or the field loses the focus.
    DisplayPanel(main_);
    a->window()->hide();
    QApplication::processEvents();
    a->window()->show();
    QApplication::processEvents();
    EXPECT_EQ(a->text(), "300") << "shown again";
    a->setFocus();
    QApplication::processEvents();
    a->clearFocus();
    QApplication::processEvents();
    EXPECT_EQ(a->text(), "300") << "focus";
}

// Text messages land in the header strip at panel pixel positions (the strip sits at the
// panel's origin), sized to their text, in lines no taller than asked for; each panel numbers
// its own. The program's own texts are checked in the app tests.
TEST_F(PanelFile, TextMessagesLandInTheHeaderAtPanelPositions) {
    DisplayPanel(main_);
    const int id = NewCtrl(main_, CTRL_TEXT_MSG, "", 21, 15);
    ASSERT_GE(id, 1000);
    SetCtrlAttribute(main_, id, ATTR_TEXT_POINT_SIZE, 11);
    SetCtrlVal(main_, id, "Version 1.0");
    QApplication::processEvents();
    auto* label = qobject_cast<QLabel*>(Widget(main_, id));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->mapTo(label->window(), QPoint(0, 0)), QPoint(15, 21));
    const QFontMetrics fm(label->font());
    EXPECT_LE(fm.height(), 11);
    EXPECT_GE(label->width(), fm.horizontalAdvance(label->text()));
    EXPECT_EQ(NewCtrl(popup_, CTRL_TEXT_MSG, "x", 0, 0), 1000);
}

// On a 1024 x 768 screen, less a title bar and borders, the main panel shows every control,
// with the graphs of either mode.
TEST_F(PanelFile, MainPanelShrinksToA1024By768Screen) {
    QWidget* main = Widget(main_, TEXT_Status)->window();
    DisplayPanel(main_);  // a shown panel's layouts follow the graphs shown
    for (bool video : {false, true}) {
        for (int id : {GRAPH_CurveA, GRAPH_CurveB})
            SetCtrlAttribute(main_, id, ATTR_VISIBLE, video);
        for (int id : {STRIP_RawA, STRIP_RawB, GRAPH_Buffer})
            SetCtrlAttribute(main_, id, ATTR_VISIBLE, !video);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const QSize least = main->minimumSizeHint();
        EXPECT_LE(least.width(), 1024 - 16) << "video mode " << video;
        EXPECT_LE(least.height(), 768 - 48) << "video mode " << video;
    }
}

// The popup opens over the main panel's centre, inside the screen, and stays above the main
// panel: window systems keep a dialog above the window it belongs to.
TEST_F(PanelFile, PopupOpensOverTheMainPanelAndStaysAboveIt) {
    DisplayPanel(main_);
    DisplayPanel(popup_);
    QWidget* main = Widget(main_, TEXT_Status)->window();
    QWidget* popup = Widget(popup_, CHECKFile)->window();
    const QPoint off = popup->frameGeometry().center() - main->frameGeometry().center();
    EXPECT_LE(off.manhattanLength(), 40) << off.x() << "," << off.y();
    EXPECT_TRUE(popup->screen()->availableGeometry().contains(popup->frameGeometry()));
    EXPECT_EQ(popup->windowType(), Qt::Dialog);
    ASSERT_NE(popup->windowHandle(), nullptr);
    EXPECT_EQ(popup->windowHandle()->transientParent(), main->windowHandle());
}

TEST_F(PanelFile, StatusLineHoldsSeventyOneCharacters) {
    const std::string text =
        "Timeout RS232-Line! Parameter-frame received! - Line Ok! Init COM-Port.";
    ASSERT_EQ(text.size(), 71u);
    DisplayPanel(main_);
    SetCtrlVal(main_, TEXT_Status, text.c_str());
    QApplication::processEvents();
    auto* label = qobject_cast<QLabel*>(Widget(main_, TEXT_Status));
    ASSERT_NE(label, nullptr);
    EXPECT_GE(label->contentsRect().width(),
              label->fontMetrics().horizontalAdvance(QString::fromStdString(text)));
    std::string back;
    GetCtrlVal(main_, TEXT_Status, &back);
    EXPECT_EQ(back, text);
}

TEST(PanelFileErrors, BrokenFilesGiveANegativeHandleAndOneLineNamingTheProblem) {
    const QByteArray good = PanelFileBytes();
    ASSERT_FALSE(good.isEmpty());

    struct Case {
        const char* what;
        QByteArray bytes;
        int panelId;
        const char* mentions;
    };
    QByteArray noCtrl = good;
    // Strip the constant off the run button.
    const int at = noCtrl.indexOf("name=\"BTNRun\"");
    ASSERT_GT(at, 0);
    const int prop = noCtrl.indexOf("<property name=\"ctrl\"", at);
    const int end = noCtrl.indexOf("</property>", prop) + int(strlen("</property>"));
    noCtrl.remove(prop, end - prop);
    QByteArray duplicate = good;
    duplicate.replace("<number>13</number>", "<number>15</number>");  // BTNVideo takes BTNRun's
    // Each of these crashed or hung the loader, or left a control drawn over another.
    auto edited = [&good](const char* from, const char* to) {
        QByteArray b = good;
        EXPECT_TRUE(b.contains(from)) << from;
        return b.replace(from, to);
    };
    const char* buffer = R"(<item row="4" column="0" colspan="2">)";
    const Case cases[] = {
        {"empty", QByteArray(), PANEL, "empty"},
        {"blank", QByteArray("  \n"), PANEL, "empty"},
        {"truncated", good.left(good.size() / 2), PANEL, "malformed"},
        {"not a panel document", QByteArray("<html><body/></html>"), PANEL, "not a panel"},
        {"no such panel", good, 3, "no panel 3"},
        {"control without constant", noCtrl, PANEL, "BTNRun"},
        {"duplicated constant", duplicate, PANEL, "15"},
        {"unknown layout class", edited("QGridLayout", "QGridLayouv"), PANEL, "QGridLayouv"},
        {"unknown widget class",
         edited(R"("QPushButton" name="BTNRun")", R"("QPushButtom" name="BTNRun")"), POPUP,
         "QPushButtom"},
        {"two controls in one cell", edited(buffer, R"(<item row="2" column="1">)"), PANEL,
         "GRAPH_Buffer into the cell of STRIP_RawB"},
        {"negative cell", edited(buffer, R"(<item row="-1" column="0">)"), PANEL, "row -1"},
        {"huge span", edited(buffer, R"(<item row="4" column="0" colspan="99999999">)"), PANEL,
         "colspan 99999999"},
        {"absurd text width", edited("<number>71</number>", "<number>2000000000</number>"), PANEL,
         "TEXT_Status minChars"},
        {"absurd panel width", edited("<width>1180</width>", "<width>2000000000</width>"), PANEL,
         "PANEL geometry width"},
    };
    for (const Case& c : cases) {
        const auto [handle, err] = LoadBroken(c.bytes, c.panelId);
        EXPECT_LT(handle, 0) << c.what;
        EXPECT_EQ(Lines(err), 1) << c.what << ": " << err;
        EXPECT_NE(err.find(c.mentions), std::string::npos) << c.what << ": " << err;
    }
    // The popup of the file without BTNRun's constant is still fine.
    const int popup = LoadBroken(noCtrl, POPUP).first;
    EXPECT_GT(popup, 0);
    DiscardPanel(popup);

    testing::internal::CaptureStderr();
    EXPECT_LT(LoadPanel(0, "/nonexistent/dir/QtorKMBscope10.uir", PANEL), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Lines(err), 1);
    EXPECT_NE(err.find("not found"), std::string::npos) << err;

    // A file the loader builds with complaints loads, and each complaint is said once, though
    // each panel is built from the whole file.
    QTemporaryDir dir;
    const std::string path = dir.filePath("odd.uir").toStdString();
    QFile odd(QString::fromStdString(path));
    ASSERT_TRUE(odd.open(QIODevice::WriteOnly));
    odd.write(edited(R"(stretch="0,1,0")", R"(stretch="0,x,0")"));  // three layouts have it
    odd.close();
    testing::internal::CaptureStderr();
    const int oddMain = LoadPanel(0, path.c_str(), PANEL);
    const int oddPopup = LoadPanel(0, path.c_str(), POPUP);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_GT(oddMain, 0);
    EXPECT_GT(oddPopup, 0);
    EXPECT_EQ(Lines(said), 3) << said;
    for (const char* layout :
         {"'bodyLayout': '0,x,0'\n", "'statusLayout': '0,x,0'\n", "'mainLayout': '0,x,0'\n"}) {
        const size_t line = said.find(layout);
        ASSERT_NE(line, std::string::npos) << said;
        EXPECT_NE(said.rfind("LoadPanel: panel file " + path + ": ", line), std::string::npos);
    }
    DiscardPanel(oddPopup);
    DiscardPanel(oddMain);
    // The shipped file draws no complaint.
    testing::internal::CaptureStderr();
    const int shipped = LoadPanel(0, kPanelPath.toLocal8Bit().constData(), PANEL);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    DiscardPanel(shipped);
}

}  // namespace
