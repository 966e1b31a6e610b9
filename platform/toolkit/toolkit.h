// Panels, controls, events and the event loop of the run-time contract.
//
// Panels come from the panel file (a Qt Designer document); controls are addressed by
// (panel handle, control constant). Callbacks are found by the names the panel file gives
// them, in a table the program fills with RegisterCallback before loading panels.
#pragma once

#include <string>

#include "event_loop.h"

enum EventKind : int {
    EVENT_NONE = 0,
    EVENT_COMMIT = 1,
    EVENT_VAL_CHANGED = 2,
    EVENT_LEFT_CLICK = 3,
    EVENT_CLOSE = 4,
    // From a graph's or strip chart's context menu, to the control's callback.
    EVENT_SAVE_IMAGE = 5,
    EVENT_EXPORT_DATA = 6,
    // A ring's list is about to open: its callback may fill it afresh. Sent at once, not
    // queued, so the callback must not pump events.
    EVENT_DROPPED = 7,
    // A tabbed panel shows another tab (GetShownPanelTab tells which).
    EVENT_TAB_CHANGED = 8,
};

// Panel and control callbacks: (panel, control, event, callback data, event data 1, 2).
using CtrlCallbackPtr = int (*)(int panel, int control, int event, void* callbackData,
                                int eventData1, int eventData2);

// Makes a callback findable by its name in the panel file.
void RegisterCallback(const std::string& name, CtrlCallbackPtr fn);
// What every callback of `panel` and its controls receives as its callback data (the owner of
// the panel); none by default.
int SetPanelCallbackData(int panel, void* data);
// Calls the callback the panel file names for `control` (0: the panel's own) with `event` and
// the panel's callback data, as a user's action would, now.
int CallCtrlCallback(int panel, int control, int event);

// Creates the application object. Returns 0, or a negative value when no display can be opened.
int InitPlatform(int& argc, char** argv);
// Folder for the user's files: their documents folder, or the home folder when there is none.
std::string GetProjectDir();

// Loads panel `panelId` from `fileName` (relative names are looked up beside the program, then
// in ../share/qtor-kmb).
// Returns a positive handle, or a negative value after a line on standard error naming the
// problem (missing or unreadable file, no such panel, a control without its constant, ...).
int LoadPanel(int parentPanel, const char* fileName, int panelId);
// Checks that every callback the panel and its controls name has been registered; otherwise
// returns a negative value after a line on standard error naming the control.
int CheckPanelCallbacks(int panel);
int DisplayPanel(int panel);
int HidePanel(int panel);
// 1 while the panel (or the tab it is in) is on screen.
int PanelShown(int panel);
int DiscardPanel(int panel);
int RunUserInterface();
int QuitUserInterface(int returnCode);

// A window holding several panels as tabs, under a row of overview entries (one a tab, a
// click on it shows that tab). It is a panel of its own: its callback, registered under
// `callback`, hears the close box (EVENT_CLOSE) and a change of tab (EVENT_TAB_CHANGED).
// Ctrl+Tab and Ctrl+Shift+Tab go from tab to tab. Returns its handle.
int NewTabbedPanel(const char* title, const char* callback);
// Moves the window of `panel` into a tab at `index` (-1: last) under `label`; DisplayPanel of
// the panel then shows the window and that tab. Returns the tab's index.
int InsertPanelTab(int tabbed, int panel, int index, const char* label);
// Takes `panel` out of its tab: a window of its own again, hidden.
int RemovePanelTab(int tabbed, int panel);
int SetPanelTabLabel(int tabbed, int panel, const char* label, const char* tooltip);
int ShowPanelTab(int tabbed, int panel);
// The panel whose tab is shown, or 0.
int GetShownPanelTab(int tabbed);
// The overview entry of the panel's tab: its text (lines apart by \n), background colour and
// tooltip; set only where they change.
int SetPanelTabOverview(int tabbed, int panel, const char* text, int colour, const char* tooltip);
int GetPanelTabOverview(int tabbed, int panel, std::string* text, int* colour);
// A click on the overview entry, as a user's.
int ClickPanelTabOverview(int tabbed, int panel);

// Control values: number, switch, ring index, text.
int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, unsigned value);
int SetCtrlVal(int panel, int control, double value);
int SetCtrlVal(int panel, int control, const char* text);
int GetCtrlVal(int panel, int control, int* value);
int GetCtrlVal(int panel, int control, unsigned short* value);
int GetCtrlVal(int panel, int control, double* value);
int GetCtrlVal(int panel, int control, std::string* text);

enum CtrlAttribute : int {
    ATTR_DIMMED,
    ATTR_VISIBLE,
    ATTR_TEXT_FONT,  // string value
    ATTR_TEXT_BGCOLOR,
    ATTR_TEXT_COLOR,
    ATTR_TEXT_POINT_SIZE,
    ATTR_POINTS_PER_SCREEN,  // strip charts
    ATTR_NUM_TRACES,         // strip charts
    ATTR_SCROLL_MODE,        // strip charts; accepted, continuous scrolling is the only mode
    ATTR_MIN_VALUE,          // numeric fields: the range a user can enter
    ATTR_MAX_VALUE,
    ATTR_PAUSED,   // strip charts: 1 keeps the drawing while data comes, for scrolling back
    ATTR_STALE,    // 1 shows the control's values as old (faded) until set back to 0
    ATTR_TOOLTIP,  // string value: the text shown when the pointer rests on the control
    // Strip charts: another strip chart on the panel whose time axis follows this one's while
    // both are paused (dragged or zoomed); 0 for none.
    ATTR_TIME_AXIS_LINK,
};
int SetCtrlAttribute(int panel, int control, CtrlAttribute attribute, int value);
int SetCtrlAttribute(int panel, int control, CtrlAttribute attribute, const char* value);
int GetCtrlAttribute(int panel, int control, CtrlAttribute attribute, int* value);
// ATTR_TOOLTIP: the text.
int GetCtrlAttribute(int panel, int control, CtrlAttribute attribute, std::string* value);

constexpr const char* VAL_APP_META_FONT = "NIApp";

enum CtrlStyle : int { CTRL_TEXT_MSG = 1 };
// Creates a control at pixel position (top, left); returns its constant.
int NewCtrl(int panel, CtrlStyle style, const char* label, int top, int left);

// Colours are 0xRRGGBB.
constexpr int VAL_RED = 0xFF0000;
constexpr int VAL_GREEN = 0x00FF00;
constexpr int VAL_DK_GREEN = 0x008000;
constexpr int VAL_BLUE = 0x0000FF;
constexpr int VAL_BLACK = 0x000000;
constexpr int VAL_WHITE = 0xFFFFFF;
constexpr int VAL_GRAY = 0xA0A0A0;

enum PlotStyle : int { VAL_THIN_LINE = 0, VAL_FAT_LINE = 1 };
enum PointStyle : int { VAL_NO_POINT = 0, VAL_SIMPLE_DOT = 1, VAL_SOLID_CIRCLE = 2 };
enum LineStyle : int { VAL_SOLID = 0, VAL_DASH = 1 };
enum Axis : int { VAL_XAXIS = 0, VAL_LEFT_YAXIS = 1 };
enum ScalingMode : int { VAL_MANUAL = 0, VAL_AUTOSCALE = 1 };
constexpr int VAL_ALL_PLOTS = -1;
constexpr int VAL_IMMEDIATE_DRAW = 1;

// Connected curves; the array types are those the callers use. Return a plot handle (> 0).
int PlotXY(int panel, int control, const unsigned short* x, const unsigned short* y, int count,
           PlotStyle plotStyle, PointStyle pointStyle, LineStyle lineStyle, int pointFrequency,
           int color);
int PlotXY(int panel, int control, const unsigned short* x, const double* y, int count,
           PlotStyle plotStyle, PointStyle pointStyle, LineStyle lineStyle, int pointFrequency,
           int color);
int PlotXY(int panel, int control, const double* x, const double* y, int count, PlotStyle plotStyle,
           PointStyle pointStyle, LineStyle lineStyle, int pointFrequency, int color);
// Appends count interleaved values (trace 1, 2, ..., n, trace 1, ...) from y[start], taking
// every (skip + 1)th value.
int PlotStripChart(int panel, int control, const double* y, int count, int start, int skip);
int PlotRectangle(int panel, int control, double x1, double y1, double x2, double y2,
                  int frameColor, int fillColor);
// plotHandle VAL_ALL_PLOTS deletes every plot; cursors stay.
int DeleteGraphPlot(int panel, int control, int plotHandle, int refresh);
int SetGraphCursor(int panel, int control, int cursor, double x, double y);
enum CursorAttribute : int { ATTR_CURSOR_POINT_STYLE };
int SetCursorAttribute(int panel, int control, int cursor, CursorAttribute attribute, int value);
enum TraceAttribute : int { ATTR_TRACE_COLOR, ATTR_TRACE_LINE_STYLE /* LineStyle */ };
enum PlotAttribute : int { ATTR_PLOT_LG_TEXT };
// Names a curve in the graph's legend (a graph shows a legend while a named curve is on it).
int SetPlotAttribute(int panel, int control, int plotHandle, PlotAttribute attribute,
                     const char* value);
int SetTraceAttribute(int panel, int control, int trace, TraceAttribute attribute, int value);
int SetAxisScalingMode(int panel, int control, Axis axis, ScalingMode mode, double min, double max);

// Ring (drop-down) entries: label shown, value returned by GetCtrlVal.
int ClearListCtrl(int panel, int control);
int InsertListItem(int panel, int control, int index, const char* label, int value);

// Renders a panel as it would appear on screen into a PNG file (works without a display).
int SavePanelImage(int panel, const char* path);
// Writes what the screen showing `panel` shows, window frames and all, into a PNG file (for
// pictures of the program on a screen; needs a display).
int SaveScreenImage(int panel, const char* path);
// Scrolls the panel's scrolling area, if the control lies in one, so that it is in view.
int ScrollToCtrl(int panel, int control);

// A strip chart's history: one sample of each of `count` traces per record, kept in a ring of
// the size the panel file gives the chart (`history`, in records), with the time it came.
// A paused chart scrolls over it; exporting a strip chart writes all of it.
// `timeMs` (milliseconds since the epoch) is when the record was taken; negative: now.
int PlotStripChartRecord(int panel, int control, const double* values, int count,
                         double timeMs = -1);
// Empties a strip chart: its points on screen and its history.
int ClearStripChart(int panel, int control);
// Writes what a graph or strip chart shows as an image, the format chosen by the path's
// extension (png, pdf, jpg, bmp); negative when it cannot be written.
int SaveGraphImage(int panel, int control, const char* path);
// Writes a graph's data as CSV with a header: x and one column per curve, or the rectangles
// and cursors of a graph without curves; for a strip chart its whole history, one row per
// record with its number and time and one column per trace. Negative when it cannot be written.
int ExportGraphData(int panel, int control, const char* path);
