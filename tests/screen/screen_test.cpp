// The program's start-up on one screen, the one the offscreen platform is given (a process
// per screen: CMake runs this for each size). The window lies inside the screen's available
// area with the status line and the link element in view at its bottom, at a first start and
// when the place remembered from a larger screen no longer fits; lines are drawn as thick as
// the screen's pixel ratio.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <string>

#include "QtorKMBscope10.h"
#include "startup.h"
#include "toolkit.h"
#include "toolkit_internal.h"

namespace {

std::string g_start;  // "first" or "remembered"

QWidget* FindNamed(const char* name) {
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* w = top->findChild<QWidget*>(name)) return w;
    return nullptr;
}

struct Seen {
    bool looked = false;
    QRect area, window;
    QRect status, link;        // on the screen
    bool statusWhole = false;  // not cut by the window or the scroll area
    bool linkWhole = false;
    int statusRoom = 0;  // pixels the status line has for its text
    int seventyOne = 0;  // pixels 71 characters need
    int linkNeeds = 0, linkRoom = 0;
    bool sideways = true;  // the body needs scrolling sideways
    int lineWidth = 0;     // device pixels of a line drawn on a strip chart
    qreal ratio = 1;
};

// The panel handle of the window `w` shows.
int HandleOf(const QWidget* w) {
    for (const auto& [handle, panel] : qtor::Panels())
        if (panel->window == w) return handle;
    return 0;
}

// Device pixels a level line of channel A's strip chart is thick: the longest run of red
// down the middle column of its picture.
int LineThickness(int panel) {
    SetCtrlAttribute(panel, STRIP_RawA, ATTR_NUM_TRACES, 1);
    SetTraceAttribute(panel, STRIP_RawA, 1, ATTR_TRACE_COLOR, VAL_RED);
    const double level = 512;
    for (int i = 0; i < 200; ++i) PlotStripChart(panel, STRIP_RawA, &level, 1, 0, 0);
    const QString path = QDir::temp().filePath(QString("qtor-screen-%1.png").arg(getpid()));
    SaveGraphImage(panel, STRIP_RawA, path.toLocal8Bit().constData());  // drawn at once
    QFile::remove(path);
    QWidget* plot = qtor::FindControl(panel, STRIP_RawA)->widget->findChild<QWidget*>();
    const QImage image = plot->grab().toImage();
    const int x = image.width() * 2 / 3;
    int best = 0, run = 0;
    for (int y = 0; y < image.height(); ++y) {
        run = image.pixelColor(x, y) == QColor(255, 0, 0) ? run + 1 : 0;
        best = std::max(best, run);
    }
    return best;
}

void Look(Seen* seen) {
    auto* status = qobject_cast<QLabel*>(FindNamed("TEXT_Status"));
    auto* link = qobject_cast<QLabel*>(FindNamed("TEXT_Link"));
    if (!status || !link) return;
    QWidget* window = status->window();
    seen->looked = true;
    seen->area = window->screen()->availableGeometry();
    seen->window = window->frameGeometry();
    seen->status = QRect(status->mapToGlobal(QPoint()), status->size());
    seen->link = QRect(link->mapToGlobal(QPoint()), link->size());
    seen->statusWhole = status->visibleRegion().boundingRect() == status->rect();
    seen->linkWhole = link->visibleRegion().boundingRect() == link->rect();
    seen->statusRoom = status->contentsRect().width();
    seen->seventyOne = status->fontMetrics().horizontalAdvance(QString(71, QChar('n')));
    // The whole text, not what the label shows: an eliding label always fits what it shows.
    QString full = link->property("qtorFullText").toString();
    if (full.isEmpty()) full = link->text();
    seen->linkNeeds = link->fontMetrics().horizontalAdvance(full);
    seen->linkRoom = link->contentsRect().width() - 2 * link->margin();
    seen->ratio = window->devicePixelRatioF();
    if (auto* body = qobject_cast<QScrollArea*>(FindNamed("BodyScroll")))
        seen->sideways = body->horizontalScrollBar()->isVisible();
    seen->lineWidth = LineThickness(HandleOf(window));
}

TEST(Screen, StatusLineAndLinkElementInViewAtTheBottomOfTheWindow) {
    // Nothing remembered (the last run's settings gone), or the place the window had on a
    // screen larger than this one.
    const QString dir = qEnvironmentVariable("XDG_CONFIG_HOME") + "/qtor";
    QDir().mkpath(dir);
    QFile ini(dir + "/qtor-kmb.ini");
    ini.remove();
    if (g_start == "remembered") {
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[General]\nformat=1\n[window]\nmain=\"300,200,1600,1000\"\npopupShown=0\n");
        ini.close();
    }
    Seen seen;
    // Looked at once the window is up and laid out; closed by its close box.
    QTimer poll;
    int shownFor = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* status = FindNamed("TEXT_Status");
        if (!status || !status->window()->isVisible() || ++shownFor < 5) return;
        poll.stop();
        Look(&seen);
        status->window()->close();
    });
    poll.start(50);
    char program[] = "qtor-kmb", demo[] = "--demo";
    char* argv[] = {program, demo, nullptr};
    EXPECT_EQ(WinMain(2, argv), 0);
    ASSERT_TRUE(seen.looked);

    const QString where = QString("area %1x%2, window %3,%4 %5x%6")
                              .arg(seen.area.width())
                              .arg(seen.area.height())
                              .arg(seen.window.x())
                              .arg(seen.window.y())
                              .arg(seen.window.width())
                              .arg(seen.window.height());
    EXPECT_TRUE(seen.area.contains(seen.window)) << qPrintable(where);
    EXPECT_TRUE(seen.area.contains(seen.status)) << qPrintable(where);
    EXPECT_TRUE(seen.area.contains(seen.link)) << qPrintable(where);
    EXPECT_TRUE(seen.statusWhole);
    EXPECT_TRUE(seen.linkWhole);
    EXPECT_GE(seen.statusRoom, seen.seventyOne) << "the status line holds 71 characters";
    EXPECT_LE(seen.linkNeeds, seen.linkRoom) << "the link element's text is not cut off";
    // The status bar is the window's last row.
    EXPECT_GE(seen.status.bottom(), seen.window.bottom() - 60) << qPrintable(where);
    EXPECT_GE(seen.lineWidth, int(seen.ratio)) << "a line as thick as the pixel ratio";
    EXPECT_FALSE(seen.sideways) << "every column in reach without scrolling sideways";
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    g_start = argc > 1 ? argv[1] : "first";
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
