// Loading, showing and discarding panels, the event loop, and panel images.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QFontDatabase>
#include <QScreen>
#include <QScrollArea>
#include <QSet>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>

#include "graph_view.h"
#include "panel_loader.h"
#include "toolkit_internal.h"

namespace qtor {

namespace {

int g_nextHandle = 1;
QEventLoop* g_mainLoop = nullptr;
bool g_quitPending = false;
int g_quitCode = 0;

// Where a program's own files are looked up: beside it (a build, a copy of the program with
// its files), then in ../share/qtor-kmb (installed under any prefix).
QStringList ProgramDataDirs() {
    const QDir bin(QCoreApplication::applicationDirPath());
    return {bin.path(), QDir::cleanPath(bin.filePath("../share/qtor-kmb"))};
}

// Window decorations are known only once a window is on screen; until then a title bar and
// thin borders are assumed.
constexpr QMargins kAssumedFrame(8, 40, 8, 8);

// Puts a window not yet shown with its frame centred on `centre`, inside the screen's available
// area and no larger than it (nor smaller than its controls need), so that the title bar and
// every control can be reached.
void PlaceOnScreen(QWidget* w, QPoint centre) {
    QScreen* screen = QGuiApplication::screenAt(centre);
    const QRect area = (screen ? screen : w->screen())->availableGeometry();
    w->resize(
        w->size().boundedTo(area.size().shrunkBy(kAssumedFrame)).expandedTo(w->minimumSizeHint()));
    QRect frame(QPoint(), w->size().grownBy(kAssumedFrame));
    frame.moveCenter(centre);
    // Inside the area; a window larger than the area keeps its title bar in sight.
    frame.moveRight(std::min(frame.right(), area.right()));
    frame.moveBottom(std::min(frame.bottom(), area.bottom()));
    frame.moveLeft(std::max(frame.left(), area.left()));
    frame.moveTop(std::max(frame.top(), area.top()));
    w->move(frame.topLeft());  // the position of a window is that of its frame
}

// The offscreen platform's own screen (800 x 800) is a fiction: there the panel file's size
// stands, as the panel pictures and the benchmarks expect. A screen given to it in a
// configuration file is taken as real.
bool FictitiousScreen(const QScreen* screen) {
    return QGuiApplication::platformName() == QLatin1String("offscreen") &&
           screen->geometry().topLeft() == QPoint(0, 0) &&
           (QSizeF(screen->geometry().size()) * screen->devicePixelRatio()).toSize() ==
               QSize(800, 800);
}

}  // namespace

int NextPanelHandle() { return g_nextHandle++; }

}  // namespace qtor

using namespace qtor;

int InitPlatform(int& argc, char** argv) {
    if (!QCoreApplication::instance()) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
        // Without a display the application object would abort the process.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
            qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
            std::fprintf(stderr, "%s: no display available (set DISPLAY or QT_QPA_PLATFORM)\n",
                         argc > 0 ? argv[0] : "qtor");
            return -1;
        }
#endif
        QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
            Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
        new QApplication(argc, argv);  // lives until the process ends
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "the application object is not a widget application\n");
        return -1;
    }
    // The panels' close boxes do not end the program: the panel callbacks decide.
    QApplication::setQuitOnLastWindowClosed(false);
    return 0;
}

std::string GetProjectDir() {
    // Neither a share folder nor a build folder is a place for the user's files.
    QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) dir = QDir::homePath();
    return QDir::toNativeSeparators(dir).toStdString();
}

int LoadPanel(int parentPanel, const char* fileName, int panelId) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "LoadPanel: the platform is not initialised\n");
        return -1;
    }
    QWidget* parent = nullptr;
    if (parentPanel != 0) {
        Panel* p = FindPanel(parentPanel);
        if (!p) {
            std::fprintf(stderr, "LoadPanel: no parent panel %d\n", parentPanel);
            return kErrBadPanel;
        }
        parent = p->window;
    }
    QString path = QString::fromLocal8Bit(fileName ? fileName : "");
    if (QFileInfo(path).isRelative()) {
        const QStringList dirs = ProgramDataDirs();
        auto found = std::find_if(dirs.begin(), dirs.end(), [&path](const QString& dir) {
            return QFileInfo::exists(QDir(dir).filePath(path));
        });
        if (found == dirs.end()) {
            std::fprintf(stderr, "LoadPanel: panel file %s found neither in %s nor in %s\n",
                         qPrintable(path), qPrintable(QDir::toNativeSeparators(dirs[0])),
                         qPrintable(QDir::toNativeSeparators(dirs[1])));
            return -1;
        }
        path = QDir(*found).filePath(path);
    }
    QString error;
    QStringList warnings;
    std::unique_ptr<Panel> panel = LoadPanelFromFile(path, panelId, parent, &error, &warnings);
    if (!panel) {
        std::fprintf(stderr, "LoadPanel: %s\n", qPrintable(error));
        return -1;
    }
    // Each panel is built from the whole file: say each of its warnings once, not per panel.
    static QSet<QString> said;
    for (const QString& w : warnings) {
        if (said.contains(path + '\n' + w)) continue;
        said.insert(path + '\n' + w);
        std::fprintf(stderr, "LoadPanel: panel file %s: %s\n", qPrintable(path), qPrintable(w));
    }
    panel->handle = NextPanelHandle();
    Panel& p = *panel;
    Panels()[p.handle] = std::move(panel);
    WirePanel(p);
    for (auto& [id, c] : p.controls) WireControl(p, id, c);
    return p.handle;
}

int DisplayPanel(int panel) {
    Panel* p = FindPanel(panel);
    if (!p) return kErrBadPanel;
    QWidget* w = p->window;
    // A panel in a tab is shown by its tab and the window that holds the tabs.
    if (const int tabbed = w->property(kTabbedBy).toInt(); tabbed > 0) {
        ShowPanelTab(tabbed, panel);
        return DisplayPanel(tabbed);
    }
    if (!w->testAttribute(Qt::WA_WState_ExplicitShowHide)) {
        // A panel shown for the first time while another is on screen opens over its centre,
        // not wherever the window system puts new windows, and stays above it.
        QWidget* under = nullptr;
        for (const auto& [handle, other] : Panels()) {
            if (handle != panel && other->window && other->window->isVisible()) {
                under = other->window;
                break;
            }
        }
        if (under) {
            PlaceOnScreen(w, under->frameGeometry().center());
            // Window systems keep dialogs, not plain windows, above the window they belong to.
            w->setWindowFlags((w->windowFlags() & ~Qt::WindowType_Mask) | Qt::Dialog);
            w->winId();  // placed first: a window's position counts its frame only until then
            if (under->windowHandle()) w->windowHandle()->setTransientParent(under->windowHandle());
        } else if (!FictitiousScreen(w->screen()) && !w->property(kPlaced).toBool()) {
            PlaceOnScreen(w, w->screen()->availableGeometry().center());
        }
    }
    w->show();
    w->raise();
    w->activateWindow();
    return 0;
}

int PanelShown(int panel) {
    Panel* p = FindPanel(panel);
    return p && p->window && p->window->isVisible() ? 1 : 0;
}

int HidePanel(int panel) {
    Panel* p = FindPanel(panel);
    if (!p) return kErrBadPanel;
    if (p->window->property(kTabbedBy).toInt() > 0) return 0;  // its tab stays
    p->window->hide();
    return 0;
}

int DiscardPanel(int panel) {
    auto it = Panels().find(panel);
    if (it == Panels().end()) return kErrBadPanel;
    if (const int tabbed = it->second->window ? it->second->window->property(kTabbedBy).toInt() : 0;
        tabbed > 0)
        RemovePanelTab(tabbed, panel);
    std::unique_ptr<Panel> p = std::move(it->second);
    Panels().erase(it);
    // Events already queued for it find no panel and are dropped.
    delete p->window.data();
    return 0;
}

int RunUserInterface() {
    if (g_quitPending) {
        // Quit was asked for before the loop ran (e.g. from a callback during start-up).
        g_quitPending = false;
        return g_quitCode;
    }
    QEventLoop loop;
    QEventLoop* outer = g_mainLoop;
    g_mainLoop = &loop;
    const int code = loop.exec();
    g_mainLoop = outer;
    g_quitPending = false;
    return code;
}

int QuitUserInterface(int returnCode) {
    // Inside nested pumping the loop ends once control returns to it.
    if (g_mainLoop) {
        g_mainLoop->exit(returnCode);
    } else {
        g_quitPending = true;
        g_quitCode = returnCode;
    }
    return 0;
}

int SaveScreenImage(int panel, const char* path) {
    Panel* p = FindPanel(panel);
    if (!p) return kErrBadPanel;
    ShowPendingIndicators();
    for (auto& [id, c] : p->controls)
        if (c.view && c.widget->isVisible()) c.view->renderNow();
    QApplication::processEvents();
    QScreen* screen = p->window->screen();
    return screen->grabWindow(0).save(QString::fromLocal8Bit(path), "PNG") ? 0 : -1;
}

int ScrollToCtrl(int panel, int control) {
    Control* c = FindControl(panel, control);
    if (!c) return kErrBadControl;
    for (QWidget* w = c->widget->parentWidget(); w; w = w->parentWidget()) {
        if (auto* area = qobject_cast<QScrollArea*>(w)) {
            area->ensureWidgetVisible(c->widget, 0, 0);
            return 0;
        }
    }
    return 0;
}

int SavePanelImage(int panel, const char* path) {
    Panel* p = FindPanel(panel);
    if (!p) return kErrBadPanel;
    QWidget* w = p->window;
    const bool wasVisible = w->isVisible();
    if (!wasVisible) {
        // Lay the panel out as if shown, without putting it on screen.
        w->setAttribute(Qt::WA_DontShowOnScreen, true);
        w->show();
    }
    ShowPendingIndicators();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    for (auto& [id, c] : p->controls)
        if (c.view && c.widget->isVisible()) c.view->renderNow();
    const bool ok = w->grab().save(QString::fromLocal8Bit(path), "PNG");
    if (!wasVisible) {
        w->hide();
        w->setAttribute(Qt::WA_DontShowOnScreen, false);
    }
    return ok ? 0 : -1;
}
