// The stations of one window: one sensor shows its main panel as a window of its own, as the
// program always did; with two or more, each main panel is a tab of one window, under an
// overview of every sensor's state (its name, the state of its line, the last A and B, OK, OUT
// or ALARM per channel, its mode) that is always in view. Each station keeps its own line,
// panels, files, recording, statistics and alarms.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "record_stream.h"
#include "station.h"

class Sensors {
  public:
    Sensors() = default;
    ~Sensors();
    Sensors(const Sensors&) = delete;
    Sensors& operator=(const Sensors&) = delete;

    // A station on port `com` with panels of its own, its start values and port selector; a
    // tab of the window once there are two. Its remembered settings are read (the port only
    // unless `portGiven`). nullptr, after a line on standard error, when the panels cannot
    // be loaded.
    Station* Add(int com, bool portGiven);
    // Stops the station's mode, closes its port and its files, then it goes; the last one
    // stays.
    void Remove(Station& s);
    // The "Add sensor..." button: a port picked from the list, refused when another station
    // uses it; `from` shows what came of it.
    void PickAndAdd(Station& from);

    std::size_t Count() const { return stations_.size(); }
    Station& At(std::size_t i) const { return *stations_[i]; }
    // The station whose tab is shown (the only one, when there is no tab).
    Station* Shown() const;
    void Show(Station& s);
    // True when a station other than `except` is on port `com`.
    bool PortTaken(int com, const Station* except) const;
    // The window holding the tabs, or 0 while there is one station.
    int Tabbed() const { return tabbed_; }
    // The window a user sees: the tabs' window, or the one station's main panel.
    int Window() const;

    // Closes every line; the event loop ends once no activity runs on any of them.
    void CloseAll();
    // The overview entry and the tab's label of each station, as they read now.
    void Refresh();
    // The text and colour of a station's overview entry (also for tests).
    std::string OverviewText(const Station& s) const;
    int OverviewColour(const Station& s) const;

    // What is remembered at exit: each station's settings and, unless the ports were given on
    // the command line, the set of stations and the tab shown.
    void SaveSettings(bool portsGiven) const;

  private:
    // The overview takes each station's records: the last A and B it shows.
    class Overview final : public RecordConsumer {
      public:
        void Take(const Record& record) override;
        int a = -1, b = -1;
    };
    void PutInTab(Station& s);
    void Finish(Station* s);
    void DimRemove();

    std::vector<std::unique_ptr<Station>> stations_;
    std::vector<std::unique_ptr<Overview>> overviews_;  // one a station, in the same order
    int tabbed_ = 0;
    int refresh_ = 0;
};

int CC_SENSORS(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
int CC_BTNAddSensor(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
int CC_BTNRemoveSensor(int panel, int control, int event, void* callbackData, int eventData1,
                       int eventData2);
// "run.csv" for the station COM2 gives "run-COM2.csv"; a name without an extension takes the
// station's name at its end.
std::string PerSensorPath(const std::string& path, const std::string& name);
