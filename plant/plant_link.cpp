#include "plant_link.h"

#include <chrono>
#include <filesystem>

#include "alarms.h"
#include "event_loop.h"
#include "json_text.h"
#include "model.h"
#include "protocol.h"
#include "record_csv.h"
#include "stats.h"
#include "system_files.h"
#include "timer.h"

#ifndef _WIN32
#include <unistd.h>
#else
#include <process.h>
#define getpid _getpid
#endif

namespace {

std::string Now() { return LocalTimeWithOffset(std::chrono::system_clock::now()); }

std::string Member(const char* name, const std::string& json) {
    return std::string("\"") + name + "\":" + json;
}

// The firmware text, null while the sensor has not given it.
std::string FirmwareJson(const std::string& firmware) {
    return firmware.empty() ? "null" : JsonString(firmware);
}

std::string WordsJson(const std::uint16_t* words) {
    std::string list, names;
    for (int k = 0; k < PNUM; ++k) {
        list += (k ? "," : "") + std::to_string(words[k]);
        names += std::string(k ? "," : "") + JsonString(kParameterNames[k]) + ":" +
                 std::to_string(words[k]);
    }
    return "\"words\":[" + list + "],\"names\":{" + names + "}";
}

std::string ChannelJson(const char* name, const ChannelSample& s) {
    return std::string("\"") + name + R"(":{"value":)" + NumberText(s.value) +
           ",\"low\":" + std::to_string(s.low) + ",\"high\":" + std::to_string(s.high) +
           ",\"state\":" + (s.Outside() ? "\"OUT\"" : "\"OK\"") + "}";
}

std::string RecordJson(const Record& r) {
    const RecordSamples samples(r.words.data());
    return "{\"time\":" + JsonString(r.time) + ",\"index\":" + std::to_string(r.index) + "," +
           ChannelJson("A", samples.a) + "," + ChannelJson("B", samples.b) +
           ",\"M\":" + std::to_string(r.words[protocol::kMvalue]) + "}";
}

std::string AlarmEndJson(const AlarmEvent& e) {
    return Member("channel", JsonString(e.channel)) + R"(,"state":"end","first":)" +
           std::to_string(e.first) + ",\"last\":" + std::to_string(e.last) +
           ",\"records\":" + std::to_string(e.records) + ",\"worst\":" + NumberText(e.worst) +
           ",\"low\":" + std::to_string(e.low) + ",\"high\":" + std::to_string(e.high) +
           ",\"began\":" + JsonString(e.time);
}

}  // namespace

std::string TopicLevel(const std::string& name) {
    std::string level = name;
    for (char& c : level) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || c == '+' || c == '#' || u <= ' ' || u == 0x7F) c = '_';
    }
    return level.empty() ? "station" : level;
}

std::string DefaultStationName(const std::string& portName) {
    return TopicLevel(HostName() + "-" + portName);
}

PlantLink::PlantLink(std::string program) : program_(std::move(program)) {}

PlantLink::~PlantLink() { Stop(); }

bool PlantLink::Start(const PlantSettings& settings, std::string* why) {
    Stop();
    MqttTarget target;
    if (!ParseMqttUrl(settings.url, &target, why)) return false;
    settings_ = settings;
    settings_.station = TopicLevel(settings.station);
    target_ = target;
    const std::string queuePath =
        (std::filesystem::path(settings.queueFolder) / ("events-" + settings_.station + ".jsonl"))
            .string();
    if (!queue_.Open(queuePath, why)) return false;
    MqttClient::Hooks hooks;
    hooks.connected = [this](int connection) { OnConnected(connection); };
    hooks.retrying = [this](const std::string& reason, int seconds) {
        OnRetrying(reason, seconds);
    };
    hooks.delivered = [this](int connection, int mid) { OnDelivered(connection, mid); };
    MqttMessage will{Topic("status"), R"({"state":"offline"})", 1, true};
    // Two programs serving one station must not push each other off the broker.
    const std::string id = "qtor-" + settings_.station + "-" + std::to_string(getpid());
    client_ = std::make_unique<MqttClient>(id, target_, settings.credentials, will, hooks);
    SetState(State::kConnecting);
    client_->Start();
    flushTimer_ = StartPeriodic(1.0 / kRecordMessagesPerSecond, [this] { FlushRecords(); });
    tickTimer_ = StartPeriodic(1.0, [this] { Tick(); });
    return true;
}

void PlantLink::Stop() {
    if (!client_) return;
    StopPeriodic(flushTimer_);
    StopPeriodic(tickTimer_);
    if (state_ == State::kConnected) FlushRecords();
    const MqttMessage offline{Topic("status"),
                              R"({"state":"offline","time":)" + JsonString(Now()) + "}", 1, true};
    client_->Stop(&offline);
    client_.reset();
    SetState(State::kOff);
}

std::string PlantLink::Topic(const char* leaf) const {
    return "qtor/" + settings_.station + "/" + leaf;
}

std::string PlantLink::StateText() const {
    switch (state_) {
        case State::kOff: return {};
        case State::kConnecting: return "MQTT: connecting to " + target_.host;
        case State::kConnected: return "MQTT: connected to " + target_.host;
        case State::kRetrying: {
            const int left = std::max(0, static_cast<int>(retryAt_ - Timer() + 0.999));
            return "MQTT: retrying in " + std::to_string(left) + " s: " + reason_;
        }
    }
    return {};
}

void PlantLink::SetState(State state) {
    state_ = state;
    if (stateChanged) stateChanged();
}

void PlantLink::RunStarted() {
    quality_.emplace(alarmAfter ? alarmAfter() : 3);
    alarmOn_ = {false, false};
    statsRecords_ = statsShown_ = 0;
}

void PlantLink::Take(const Record& record) {
    // A replay is no new data of the sensor.
    if (!record.live || !client_) return;
    if (!quality_) RunStarted();
    const RunQuality::Step step = quality_->Add(record.words.data(), record.index, record.time);
    ++statsRecords_;
    for (int c = 0; c < 2; ++c) {
        const char* channel = c == 0 ? "A" : "B";
        if (step.ended[c]) alarmOn_[c] = false;
        if (step.started[c]) alarmOn_[c] = true;
        if (step.started[c])
            Event("alarm", Member("channel", JsonString(channel)) + R"(,"state":"begin","index":)" +
                               std::to_string(record.index) +
                               ",\"record_time\":" + JsonString(record.time));
        if (step.ended[c]) Event("alarm", AlarmEndJson(*step.ended[c]));
    }
    if (state_ == State::kConnected && recordsInFlight_.size() < kRecordBacklog) {
        batch_.push_back(RecordJson(record));
        return;
    }
    if (dropped_ == 0) droppedSince_ = record.time;
    ++dropped_;
}

void PlantLink::RunEnded() {
    if (!quality_ || !client_) return;
    for (const AlarmEvent& e : quality_->Finish()) Event("alarm", AlarmEndJson(e));
    alarmOn_ = {false, false};
    if (state_ == State::kConnected) {
        FlushRecords();
        PublishStats();
    }
}

void PlantLink::LinkChanged(const LinkStatus& status) {
    const LinkHealth was = health_;
    health_ = status.health;
    if (!client_) return;
    if (status.health == LinkHealth::kConnected) {
        const bool firmwareChanged = firmware_ != status.detail;
        firmware_ = status.detail;
        if (lineLost_) Event("link-back", Member("firmware", JsonString(firmware_)));
        lineLost_ = false;
        if ((firmwareChanged || was != LinkHealth::kConnected) && state_ == State::kConnected)
            PublishStatus();
        return;
    }
    const bool lost =
        status.health == LinkHealth::kNoReply || status.health == LinkHealth::kDisconnected;
    if (lost && was == LinkHealth::kConnected && !lineLost_) {
        lineLost_ = true;
        Event("link-lost", Member("detail", JsonString(status.detail)));
    }
}

void PlantLink::ParametersRead(const std::uint16_t* words) {
    params_.emplace();
    std::copy(words, words + PNUM, params_->begin());
    if (state_ == State::kConnected) PublishParams();
}

void PlantLink::ParametersWritten(const std::string& target, const std::uint16_t* before,
                                  const std::uint16_t* sent, bool verified) {
    std::string changes;
    for (int k = 0; k < PNUM; ++k) {
        if (before[k] == sent[k]) continue;
        changes += std::string(changes.empty() ? "" : ",") +
                   "{\"word\":" + JsonString(kParameterNames[k]) +
                   ",\"old\":" + std::to_string(before[k]) + ",\"new\":" + std::to_string(sent[k]) +
                   "}";
    }
    Event("params-written", Member("target", JsonString(target)) + ",\"changes\":[" + changes +
                                "],\"verified\":" + (verified ? "true" : "false"));
    ParametersRead(sent);
}

void PlantLink::Event(const std::string& kind, const std::string& members) {
    if (!client_) return;
    std::string why;
    // A queue that cannot be written loses this event; the status bar and the next event say
    // nothing else can be done about it here.
    if (!queue_.Push(Member("time", JsonString(Now())) + "," + Member("kind", JsonString(kind)) +
                         (members.empty() ? "" : "," + members),
                     &why))
        return;
    SendEvents();
}

void PlantLink::SendEvents() {
    if (state_ != State::kConnected || eventInFlight_ >= 0 || queue_.Empty()) return;
    // One at a time: each is acknowledged before the next goes, so they arrive in order.
    eventInFlight_ = client_->Publish({Topic("event"), queue_.Front(), 1, false});
}

void PlantLink::PublishStatus() {
    client_->Publish({Topic("status"),
                      R"({"state":"online","time":)" + JsonString(Now()) + ",\"program\":" +
                          JsonString(program_) + ",\"firmware\":" + FirmwareJson(firmware_) + "}",
                      1, true});
}

void PlantLink::PublishParams() {
    if (!params_) return;
    client_->Publish({Topic("params"),
                      "{\"time\":" + JsonString(Now()) + ",\"firmware\":" +
                          FirmwareJson(firmware_) + "," + WordsJson(params_->data()) + "}",
                      1, true});
}

void PlantLink::PublishStats() {
    if (!quality_ || statsRecords_ == statsShown_) return;
    statsShown_ = statsRecords_;
    const std::string json = "{\"time\":" + JsonString(Now()) + R"(,"alarm":{"A":)" +
                             (alarmOn_[0] ? "true" : "false") +
                             ",\"B\":" + (alarmOn_[1] ? "true" : "false") + "}" +
                             ",\"A\":" + ChannelStatsJson(quality_->Stats(Channel::kA)) +
                             ",\"B\":" + ChannelStatsJson(quality_->Stats(Channel::kB)) + "}";
    client_->Publish({Topic("stats"), json, 0, false});
}

void PlantLink::FlushRecords() {
    if (batch_.empty() || state_ != State::kConnected) return;
    std::string json = "{\"records\":[";
    for (std::size_t i = 0; i < batch_.size(); ++i) json += (i ? "," : "") + batch_[i];
    json += "]}";
    if (const int mid = client_->Publish({Topic("record"), json, 0, false}); mid >= 0) {
        recordsInFlight_.insert(mid);
    } else {
        if (dropped_ == 0) droppedSince_.clear();
        dropped_ += static_cast<long long>(batch_.size());
    }
    batch_.clear();
}

void PlantLink::Tick() {
    if (state_ == State::kConnected) {
        PublishStats();
        if (dropped_ > 0 && recordsInFlight_.size() < kRecordBacklog) {
            Event("records-dropped", "\"count\":" + std::to_string(dropped_) +
                                         ",\"since\":" + JsonString(droppedSince_));
            dropped_ = 0;
        }
    } else if (state_ == State::kRetrying && stateChanged) {
        stateChanged();  // the countdown
    }
}

void PlantLink::OnConnected(int connection) {
    connection_ = connection;
    eventInFlight_ = -1;
    recordsInFlight_.clear();
    SetState(State::kConnected);
    PublishStatus();
    PublishParams();
    if (const long long lost = queue_.TakeDropped(); lost > 0)
        Event("events-dropped", "\"count\":" + std::to_string(lost));
    Tick();
    SendEvents();
}

void PlantLink::OnRetrying(const std::string& reason, int seconds) {
    reason_ = reason;
    retryAt_ = Timer() + seconds;
    eventInFlight_ = -1;
    recordsInFlight_.clear();
    // What was gathered for the broker now will not reach it.
    if (!batch_.empty() && dropped_ == 0) droppedSince_.clear();
    dropped_ += static_cast<long long>(batch_.size());
    batch_.clear();
    SetState(State::kRetrying);
}

void PlantLink::OnDelivered(int connection, int mid) {
    if (connection != connection_) return;
    if (mid == eventInFlight_) {
        queue_.Pop();
        eventInFlight_ = -1;
        SendEvents();
    } else {
        recordsInFlight_.erase(mid);
    }
}
