// A station: the program's view of one sensor. It owns the sensor's link, the parameter set
// (its one home: the panels show it), the measurement record, the acquired buffers, the file
// paths, the panels and what is drawn on them, the recording and the link element. Every
// callback of its panels receives it as callback data, so two stations share nothing.
#pragma once

#include "gui.h"
#include "link_view.h"
#include "model.h"
#include "panels.h"
#include "paramfiles.h"
#include "quality.h"
#include "recording.h"
#include "remembered.h"
#include "replay.h"
#include "sensor_link.h"

class Station {
  public:
    // A station for port `com` with the start values; no panel is loaded, no port opened.
    explicit Station(int com = 1);
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // Takes two loaded panels: their callbacks receive this station, the link's outcomes and
    // parameter reads show on them, the parameter fields take the ranges the correction
    // allows, and the link element follows the line.
    void AdoptPanels(PanelHandles loaded);

    PanelHandles panels;
    SensorLink link;
    Gui gui;
    ParameterSet params = StartParameters();
    MeasurementRecord meas;
    PlotArrays plots;
    FilePaths files;
    int target = RAM;   // parameter target: RAM, EEPROM or DATFILE
    int stop_flag = 1;  // 0 while an acquisition loop runs, 1 when stopped or asked to stop
    Recorder recorder;
    Replay replay;
    Quality quality;
    bool qualityOn = true;  // off, run mode only records and draws (for the benchmark)
    LinkView linkView;
    Remembered remembered;

    // The state of a toggle on the main panel (Zoom, Pause, ...).
    bool Toggled(int control) const;
    // Draws the tolerance window for the evaluation mode the popup shows.
    void DrawToleranceWindow();
    // "<text> <file name>" shown at once, the name cut to fit the status line.
    void ShowStatusWithName(const std::string& text, const std::string& path) const;

    // Run mode's records: the quality numbers start afresh, each record goes into the
    // recording and the numbers, and the end delivers an alarm still on.
    void StartRun();
    void TakeRecord(const std::uint16_t* words);
    void EndRun();
    // Shows the quality numbers, the channels' states and the events; at most four times a
    // second unless `now`.
    void ShowQuality(bool now = false);

  private:
    double qualityShownAt_ = -1.0;
    unsigned long eventsShown_ = ~0UL;  // the quality's changes when the events were shown
    std::string shownTable_;            // the numbers as shown
    int shownStates_[2] = {-1, -1};     // the channels' states as shown
    long long runIndex_ = 0;  // records of the run so far, when no recording gives the index
};

// The station a callback belongs to, from its callback data.
Station& StationOf(void* callbackData);
