// Panels, callbacks and the event loop.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QFontDatabase>
#include <QSet>
#include <QTimer>
#include <cstdio>
#include <map>
#include <vector>

#include "graph_view.h"
#include "panel_loader.h"
#include "toolkit_internal.h"

namespace qtor {

namespace {

std::map<std::string, CtrlCallbackPtr>& Callbacks() {
    static std::map<std::string, CtrlCallbackPtr> table;
    return table;
}

int g_nextHandle = 1;
QEventLoop* g_mainLoop = nullptr;
bool g_quitPending = false;
int g_quitCode = 0;

void Dispatch(int panel, int control, EventKind event) {
    Panel* p = FindPanel(panel);
    if (!p) return;  // discarded meanwhile
    QString name = p->callback;
    if (control != 0) {
        Control* c = FindControl(panel, control);
        if (!c) return;
        name = c->callback;
    }
    if (name.isEmpty()) return;
    auto it = Callbacks().find(name.toStdString());
    if (it == Callbacks().end() || !it->second) return;
    it->second(panel, control, event, nullptr, 0, 0);
}

}  // namespace

std::map<int, std::unique_ptr<Panel>>& Panels() {
    static std::map<int, std::unique_ptr<Panel>> panels;
    return panels;
}

Panel* FindPanel(int handle) {
    auto it = Panels().find(handle);
    return it == Panels().end() || !it->second->window ? nullptr : it->second.get();
}

Control* FindControl(int panel, int control) {
    Panel* p = FindPanel(panel);
    if (!p) return nullptr;
    auto it = p->controls.find(control);
    return it == p->controls.end() || !it->second.widget ? nullptr : &it->second;
}

void PostEvent(int panel, int control, EventKind event) { PostEvents(panel, control, {event}); }

void PostEvents(int panel, int control, std::initializer_list<EventKind> events) {
    // Queued calls run in the order posted, in whichever event loop or pumping runs next.
    // Events of one user action go in one call: a callback that pumps events must not see
    // the next event of the same action start inside it.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [=, list = std::vector<EventKind>(events)] {
            for (EventKind e : list) Dispatch(panel, control, e);
        },
        Qt::QueuedConnection);
}

}  // namespace qtor

using namespace qtor;

void RegisterCallback(const std::string& name, CtrlCallbackPtr fn) { Callbacks()[name] = fn; }

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
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString();
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
    if (QFileInfo(path).isRelative())
        path = QDir(QCoreApplication::applicationDirPath()).filePath(path);
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
    panel->handle = g_nextHandle++;
    Panel& p = *panel;
    Panels()[p.handle] = std::move(panel);
    WirePanel(p);
    for (auto& [id, c] : p.controls) WireControl(p, id, c);
    return p.handle;
}

int CheckPanelCallbacks(int panel) {
    Panel* p = FindPanel(panel);
    if (!p) return kErrBadPanel;
    std::vector<std::pair<QString, QString>> named = {{p->window->objectName(), p->callback}};
    for (const auto& [id, c] : p->controls) named.emplace_back(c.widget->objectName(), c.callback);
    for (const auto& [who, name] : named) {
        if (name.isEmpty()) continue;
        auto it = Callbacks().find(name.toStdString());
        if (it != Callbacks().end() && it->second) continue;
        std::fprintf(stderr, "LoadPanel: panel %d of %s: %s calls %s, which the program lacks\n",
                     p->id, qPrintable(p->file), qPrintable(who), qPrintable(name));
        return -1;
    }
    return 0;
}

int DisplayPanel(int panel) {
    Panel* p = FindPanel(panel);
    if (!p) return kErrBadPanel;
    // A panel shown for the first time while another is on screen opens over its centre,
    // not wherever the window system puts new windows.
    if (!p->window->testAttribute(Qt::WA_WState_ExplicitShowHide)) {
        for (const auto& [handle, other] : Panels()) {
            if (handle == panel || !other->window || !other->window->isVisible()) continue;
            const QRect area = other->window->frameGeometry();
            p->window->move(area.center() - p->window->rect().center());
            break;
        }
    }
    p->window->show();
    p->window->raise();
    p->window->activateWindow();
    return 0;
}

int HidePanel(int panel) {
    Panel* p = FindPanel(panel);
    if (!p) return kErrBadPanel;
    p->window->hide();
    return 0;
}

int DiscardPanel(int panel) {
    auto it = Panels().find(panel);
    if (it == Panels().end()) return kErrBadPanel;
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
