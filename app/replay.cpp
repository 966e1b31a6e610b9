#include "replay.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "event_loop.h"
#include "paramfiles.h"
#include "timer.h"

namespace {

constexpr double kDrawPeriod = 1.0 / 30;  // the displays are drawn at most thirty times a second
// At the highest speed a tick hands on steps for this long, then lets the displays draw.
constexpr double kMaxBatch = 0.025;

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

// Seconds of a recording's time text ("2026-12-07T19:35:31.123"); the local zone cancels out of
// the differences a replay needs. A text of another form keeps the step where the last one was.
bool RowSeconds(const std::string& time, double* seconds) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    double s = 0;
    if (std::sscanf(time.c_str(), "%d-%d-%dT%d:%d:%lf", &y, &mo, &d, &h, &mi, &s) != 6)
        return false;
    *seconds = static_cast<double>(DaysFromCivil(y, unsigned(mo), unsigned(d))) * 86400.0 +
               h * 3600.0 + mi * 60.0 + s;
    return true;
}

}  // namespace

Replay::~Replay() { Pause(); }

bool Replay::Load(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    const std::string name = FileNameOf(path);
    if (!in) {
        *error = name + ": cannot be read";
        return false;
    }
    const std::string text = content.str();
    Recording recording;
    std::vector<TraceExchange> exchanges;
    std::vector<double> times;
    const bool trace = text.rfind("time,", 0) != 0;
    if (!trace) {
        recording = ParseRecording(text);
        if (!recording.Ok()) {
            *error = name + ": " + recording.Error();
            return false;
        }
        double last = 0;
        for (const RecordingRow& row : recording.rows) {
            RowSeconds(row.time, &last);
            times.push_back(last);
        }
    } else {
        const Trace parsed = ParseTrace(text);
        if (!parsed.Ok()) {
            *error = name + ": " + parsed.Error();
            return false;
        }
        exchanges = TraceExchanges(parsed.entries);
        for (const TraceExchange& e : exchanges) times.push_back(e.time);
    }
    if (times.empty()) {
        *error = name + ": nothing to replay";
        return false;
    }
    Pause();
    path_ = path;
    trace_ = trace;
    recording_ = std::move(recording);
    exchanges_ = std::move(exchanges);
    times_ = std::move(times);
    position_ = 0;
    return true;
}

void Replay::Anchor() {
    anchorWall_ = Timer();
    anchorFile_ = position_ < times_.size() ? times_[position_] : 0.0;
}

void Replay::Play() {
    if (Playing() || !Loaded()) return;
    if (position_ >= times_.size()) Seek(0);
    if (position_ == 0 && onRestart) onRestart();
    Anchor();
    playing_ = true;
    Tick();
}

void Replay::Pause() {
    if (timer_) CancelCall(timer_);
    timer_ = 0;
    playing_ = false;
}

void Replay::SetSpeed(Speed speed) {
    speed_ = speed;
    Anchor();
}

void Replay::Seek(std::size_t position) {
    if (!Loaded()) return;
    position = std::min(position, times_.size());
    if (onRestart) onRestart();
    for (position_ = 0; position_ < position; ++position_)
        if (onStep) onStep(position_);
    if (onDraw) onDraw();
    Anchor();
}

void Replay::Close() {
    Pause();
    path_.clear();
    trace_ = false;
    recording_ = Recording{};
    exchanges_.clear();
    times_.clear();
    position_ = 0;
}

void Replay::Tick() {
    timer_ = 0;
    const double start = Timer();
    const double due = anchorFile_ + (start - anchorWall_) * Factor();
    while (position_ < times_.size()) {
        if (speed_ == Speed::kMax) {
            if (Timer() - start > kMaxBatch) break;
        } else if (times_[position_] > due) {
            break;
        }
        if (onStep) onStep(position_);
        ++position_;
    }
    if (onDraw) onDraw();
    if (position_ >= times_.size()) {
        Pause();
        if (onDone) onDone(times_.size());
        return;
    }
    // At a recorded pace the next tick comes when the next step is due, no sooner than a
    // drawing period: a replay wakes no more often than the sensor's records came.
    double wait = kDrawPeriod;
    if (speed_ != Speed::kMax) wait = std::max(kDrawPeriod, (times_[position_] - due) / Factor());
    timer_ = CallAfter(wait, [this] { Tick(); });
}
