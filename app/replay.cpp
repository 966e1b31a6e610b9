#include "replay.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "event_loop.h"
#include "input_file.h"
#include "record_time.h"
#include "timer.h"

namespace {

constexpr double kDrawPeriod = 1.0 / 30;  // the displays are drawn at most thirty times a second
// At the highest speed a tick hands on steps for this long, then lets the displays draw.
constexpr double kMaxBatch = 0.025;

// Seconds of a recording's time text; the local zone cancels out of the differences a replay
// needs. A text of another form keeps the step where the last one was.
bool RowSeconds(const std::string& time, double* seconds) {
    RecordTime t;
    if (!ParseRecordTime(time, &t)) return false;
    *seconds = NaiveSeconds(t);
    return true;
}

}  // namespace

Replay::~Replay() { Pause(); }

bool Replay::LoadRecording(std::ifstream& in, std::string* error) {
    RecordingReader reader(in, false);
    RecordingRow row;
    std::vector<std::uint64_t> starts;
    std::vector<double> times;
    double last = 0;
    while (reader.Next(&row)) {
        starts.push_back(reader.RowOffset());
        RowSeconds(row.time, &last);
        times.push_back(last);
    }
    if (!reader.Refusal().Ok()) {
        *error = reader.Refusal().Error();
        return false;
    }
    if (times.empty()) {
        *error = "nothing to replay";
        return false;
    }
    starts_ = std::move(starts);
    times_ = std::move(times);
    leftOut_ = reader.LeftOut();
    return true;
}

bool Replay::Load(const std::string& path, std::string* error) {
    std::ifstream in;
    if (const std::string why = OpenRegularFile(path, &in); !why.empty()) {
        *error = why;
        return false;
    }
    char head[5] = {};
    in.read(head, sizeof head);
    const bool trace = std::string_view(head, static_cast<std::size_t>(in.gcount())) != "time,";
    in.clear();
    in.seekg(0);
    if (!trace) {
        Replay loaded;
        if (!loaded.LoadRecording(in, error)) return false;
        Close();
        starts_ = std::move(loaded.starts_);
        times_ = std::move(loaded.times_);
        leftOut_ = loaded.leftOut_;
        file_ = std::move(in);
        cursor_.reset();
    } else {
        std::stringstream content;
        content << in.rdbuf();
        if (in.bad()) {
            *error = "cannot be read";
            return false;
        }
        const Trace parsed = ParseTrace(content.str());
        if (!parsed.Ok()) {
            *error = parsed.Error();
            return false;
        }
        std::vector<TraceExchange> exchanges = TraceExchanges(parsed.entries);
        if (exchanges.empty()) {
            *error = "nothing to replay";
            return false;
        }
        Close();
        exchanges_ = std::move(exchanges);
        for (const TraceExchange& e : exchanges_) times_.push_back(e.time);
    }
    path_ = path;
    trace_ = trace;
    return true;
}

const RecordingRow* Replay::Row(std::size_t i) {
    if (trace_ || i >= starts_.size()) return nullptr;
    // Steps go one after the other: one reader reads on, and only a jump seeks.
    if (!cursor_ || cursorRow_ != i) {
        file_.clear();
        file_.seekg(static_cast<std::streamoff>(starts_[i]));
        cursor_ = std::make_unique<LineReader>(file_, kLongestRecordingLine);
    }
    cursorRow_ = i + 1;
    std::string_view line;
    std::string why;
    if (cursor_->Next(&line) != LineReader::Got::kLine || !ParseRecordingRow(line, &row_, &why)) {
        cursor_.reset();
        return nullptr;
    }
    return &row_;
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
    file_.close();
    file_.clear();
    starts_ = {};
    cursor_.reset();
    leftOut_ = 0;
    exchanges_ = {};
    times_ = {};
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
