// A recording or a protocol trace played back: its records (or a trace's exchanges) handed on
// one by one at the pace they were taken, ten times faster, or as fast as the displays go. The
// owner decides what a step shows; every step is handed on, and the displays are drawn at most
// thirty times a second whatever the speed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "recording_file.h"
#include "trace_file.h"

class Replay {
  public:
    // The entries of the speed selector.
    enum class Speed { kReal = 0, kTen = 1, kMax = 2 };

    Replay() = default;
    ~Replay();
    Replay(const Replay&) = delete;
    Replay& operator=(const Replay&) = delete;

    // Loads `path`, a regular file holding a recording or a protocol trace, up to its last
    // whole line; false with "line N: why" (or why it cannot be read) in *error, keeping what
    // was loaded before. A recording's rows stay in the file: only where each starts and its
    // time are kept, so that a day's recording takes some 40 MB.
    bool Load(const std::string& path, std::string* error);
    bool Loaded() const { return !times_.empty(); }
    bool IsTrace() const { return trace_; }
    const std::string& Path() const { return path_; }
    // A recording's row i, read from the file; null when the file no longer holds it there.
    const RecordingRow* Row(std::size_t i);
    // The number of an incomplete last line the load left out, 0 when none was.
    long long LeftOut() const { return leftOut_; }
    const std::vector<TraceExchange>& Exchanges() const { return exchanges_; }
    // Records or exchanges, and the next one to hand on.
    std::size_t Size() const { return times_.size(); }
    std::size_t Position() const { return position_; }

    bool Playing() const { return playing_; }
    void Play();
    void Pause();
    void SetSpeed(Speed speed);
    // Goes to `position`: afresh from the start, the steps before it handed on at once.
    void Seek(std::size_t position);
    // Stops and forgets the file.
    void Close();

    std::function<void()> onRestart;          // the displays and numbers start afresh
    std::function<void(std::size_t)> onStep;  // step i: a record or an exchange
    std::function<void()> onDraw;             // draw what the steps since the last one changed
    std::function<void(std::size_t)> onDone;  // the end was reached after `n` steps

  private:
    void Tick();
    void Anchor();
    double Factor() const { return speed_ == Speed::kTen ? 10.0 : 1.0; }

    bool LoadRecording(std::ifstream& in, std::string* error);

    std::string path_;
    bool trace_ = false;
    std::ifstream file_;                  // a recording's, open while it is loaded
    std::vector<std::uint64_t> starts_;   // where each of its rows starts in the file
    std::unique_ptr<LineReader> cursor_;  // reads on from the row after row_
    std::size_t cursorRow_ = 0;           // the row the cursor reads next
    RecordingRow row_;
    long long leftOut_ = 0;
    std::vector<TraceExchange> exchanges_;
    std::vector<double> times_;  // seconds of each step, from the file
    std::size_t position_ = 0;
    Speed speed_ = Speed::kReal;
    int timer_ = 0;  // the next tick
    bool playing_ = false;
    double anchorWall_ = 0, anchorFile_ = 0;  // this wall-clock moment plays that file time
};
