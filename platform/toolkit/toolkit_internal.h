// Private to the toolkit: the registry of loaded panels and their controls.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <initializer_list>
#include <map>
#include <memory>

#include "toolkit.h"

namespace qtor {

class GraphView;

enum class CtrlKind {
    Command,    // push button
    Toggle,     // checkable push button (toggle button, switch)
    Check,      // radio button, check box
    Numeric,    // editable spin box
    Indicator,  // read-only spin box
    Text,       // label or line edit
    Ring,       // combo box
    Slider,     // slider: a number picked along a track
    Graph,
    Strip,
};

struct Control {
    QPointer<QWidget> widget;
    CtrlKind kind = CtrlKind::Text;
    QString callback;
    GraphView* view = nullptr;  // graphs and strip charts; a child of the widget
};

struct Panel {
    int handle = 0;
    int id = 0;    // panel number in the panel file
    QString file;  // the panel file, for messages
    QPointer<QWidget> window;
    QPointer<QWidget> header;  // where NewCtrl places text messages; may be null
    QString callback;
    void* callbackData = nullptr;  // handed to every callback of the panel and its controls
    std::map<int, Control> controls;
    int nextNewCtrl = 1000;
};

Panel* FindPanel(int handle);
// The handle the next panel gets.
int NextPanelHandle();
// Property of a panel window put into a tab: the tabbed panel's handle (0: none).
constexpr const char* kTabbedBy = "qtorTabbedBy";
Control* FindControl(int panel, int control);
// Every loaded panel, by handle.
std::map<int, std::unique_ptr<Panel>>& Panels();

// Calls the callback of a panel (control 0) or control later, from the event loop, so that a
// callback that pumps events never runs inside a widget's own event handler.
void PostEvent(int panel, int control, EventKind event);
// Calls the callback now, from inside the widget's own event handling.
void SendEvent(int panel, int control, EventKind event);
// Several events of one user action, each dispatched after the previous callback returned.
void PostEvents(int panel, int control, std::initializer_list<EventKind> events);

// Shows the values set on numeric indicators since they were last shown.
void ShowPendingIndicators();

// Connects a control's user actions to PostEvent.
void WireControl(Panel& panel, int id, Control& control);
// Catches the close box of a panel window.
void WirePanel(Panel& panel);
// Keys bound to controls act wherever the focus is in `window` (a window holding tabs).
void WatchWindowKeys(QWidget* window);

// Property of a numeric field: the value last reported or set, so that Qt's re-announcement
// of an unchanged value on Enter is not taken for a change.
constexpr const char* kLastValue = "qtorLastValue";
// Property of a panel window given its place (SetPanelPlacement): not centred when shown.
constexpr const char* kPlaced = "qtorPlaced";

// Error codes, negative like those of the run-time library they stand in for.
constexpr int kErrBadPanel = -42;
constexpr int kErrBadControl = -43;
constexpr int kErrBadAttribute = -45;
constexpr int kErrBadValue = -55;
constexpr int kErrNotGraph = -70;

}  // namespace qtor
