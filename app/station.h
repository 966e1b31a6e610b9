// A station: the program's view of one sensor. It owns the sensor's link, the parameter set
// (its one home: the panels show it), the measurement record, the acquired buffers, the file
// paths, the panels and what is drawn on them, the recording and the link element. Every
// callback of its panels receives it as callback data, so two stations share nothing.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "gui.h"
#include "link_view.h"
#include "model.h"
#include "operator_lock.h"
#include "panels.h"
#include "paramfiles.h"
#include "plant_link.h"
#include "quality.h"
#include "quality_text.h"
#include "ranges.h"
#include "record_stream.h"
#include "recording.h"
#include "remembered.h"
#include "replay.h"
#include "report_action.h"
#include "sensor_link.h"

class Station;

// The station's own consumers of its records.
// The strip charts take every record; the bar graphs and values show the last one.
class ChartsOfRecords final : public RecordConsumer {
  public:
    explicit ChartsOfRecords(Station& s) : s_(s) {}
    void Take(const Record& record) override;
    void Show() override;

  private:
    Station& s_;
    bool bars_ = false;
};
// The recording takes the live records (a replay is no new data).
class RecordingOfRecords final : public RecordConsumer {
  public:
    explicit RecordingOfRecords(Station& s) : s_(s) {}
    void Take(const Record& record) override;
    void RunEnded() override;

  private:
    Station& s_;
};
// The run's statistics and alarms, and how they read on the panel.
class NumbersOfRecords final : public RecordConsumer {
  public:
    explicit NumbersOfRecords(Station& s) : s_(s) {}
    void RunStarted() override;
    void Take(const Record& record) override;
    void Show() override;
    void RunEnded() override;

  private:
    Station& s_;
};

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
    LinkView linkView;
    Remembered remembered;
    // Every record of the sensor, or of a replay, goes to the consumers registered here: the
    // station's own below, registered when it adopts its panels, and any other.
    RecordStream records;
    // Operator or Maintenance level, and the audit trail of the changes made to the sensor.
    OperatorLock oplock;
    std::map<int, std::string> unlockedTips;  // the panel file's tooltips of what locks
    int lockWatch = 0, inputListener = 0;     // the idle check and the input it hears of
    ChartsOfRecords charts{*this};
    RecordingOfRecords recording{*this};
    NumbersOfRecords numbers{*this};
    CapabilityOfRecords capability{*this};
    // The plant link: this sensor's records, numbers, alarms, line and set to the broker.
    PlantLink plant;

    // Set by the window that holds several stations: its Add sensor and Remove buttons, and
    // whether a port is in use by another station of the window.
    std::function<void()> addSensor, removeSensor;
    std::function<bool(int com)> portTaken;
    // Calls `fn` for every station of the window, the first with `first` set.
    std::function<void(const std::function<void(Station&, bool first)>& fn)> everyStation;
    // "COMn": the station's name in its tab, the overview and its file names.
    std::string Name() const { return "COM" + std::to_string(link.com); }
    // OK, OUT or ALARM of a channel as its mark shows it (none before the first record).
    ChannelState State(Channel c) const;
    // Idle, Run, Video, Data buffer or Replay.
    std::string ModeName() const;

    // The state of a toggle on the main panel (Zoom, Pause, ...).
    bool Toggled(int control) const;
    // Draws the tolerance window for the evaluation mode the popup shows.
    void DrawToleranceWindow();
    // "<text> <file name>" shown at once, the name cut to fit the status line.
    void ShowStatusWithName(const std::string& text, const std::string& path) const;

    // A run of records starts, goes on, ends: the record stream's consumers hear of it.
    void StartRun();
    // A live record, already in the measurement variables: numbered in the run (the
    // recording's row when one is written), timed now, handed on and shown.
    void TakeRecord(const std::uint16_t* words);
    // A record, already in the measurement variables, on to the consumers (not yet shown).
    void HandRecord(const std::uint16_t* words, long long index, const std::string& time,
                    double timeMs, bool live);
    void EndRun();
    // The video lines of both channels, as the last block reads left them.
    void DrawVideoLines();
    // The measured-value buffer in ring order with the lines of the evaluation mode.
    void DrawDataBuffer(const BufferLines& lines);
    // Shows the quality numbers, the channels' states and the events; at most four times a
    // second unless `now`.
    void ShowQuality(bool now = false);

  private:
    double qualityShownAt_ = -1.0;
    unsigned long eventsShown_ = ~0UL;  // the quality's changes when the events were shown
    std::string shownTable_;            // the numbers as shown
    int shownStates_[2] = {-1, -1};     // the channels' states as shown
    long long runIndex_ = 0;  // records of the run so far, when no recording gives the index
    friend class NumbersOfRecords;
};

// The station a callback belongs to, from its callback data.
Station& StationOf(void* callbackData);
