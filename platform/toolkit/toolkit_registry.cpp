// The registry: loaded panels and their controls, the callback table, and the dispatch of
// events to callbacks; it calls no other part of the toolkit.
#include <QCoreApplication>
#include <cstdio>
#include <map>
#include <vector>

#include "toolkit_internal.h"

namespace qtor {

namespace {

std::map<std::string, CtrlCallbackPtr>& Callbacks() {
    static std::map<std::string, CtrlCallbackPtr> table;
    return table;
}

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
    it->second(panel, control, event, p->callbackData, 0, 0);
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

void SendEvent(int panel, int control, EventKind event) { Dispatch(panel, control, event); }

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

int SetPanelCallbackData(int panel, void* data) {
    Panel* p = FindPanel(panel);
    if (!p) return kErrBadPanel;
    p->callbackData = data;
    return 0;
}

int CallCtrlCallback(int panel, int control, int event) {
    if (!FindPanel(panel)) return kErrBadPanel;
    if (control != 0 && !FindControl(panel, control)) return kErrBadControl;
    Dispatch(panel, control, static_cast<EventKind>(event));
    return 0;
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
