// A station's link to the plant: its records, statistics, alarms, line and parameter set
// published to an MQTT broker below qtor/STATION/ (docs/mqtt.md gives every topic and payload):
//   status  retained, QoS 1: "online" with the firmware text; "offline" as the last will and
//           on a clean close
//   record  QoS 0: the live records, at most ten messages a second
//   stats   QoS 0: once a second while records come, both channels' numbers
//   event   QoS 1: alarms begin and end, the line lost and back, a parameter set written,
//           records dropped while the broker was away; kept on disk until delivered
//   params  retained, QoS 1: the parameter set after each read or write
// It is a consumer of the station's records; the broker never holds up the sensor: what cannot
// go out at once is dropped (records, counted) or queued (events).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "event_queue.h"
#include "link_state.h"
#include "mqtt_client.h"
#include "record_stream.h"
#include "run_quality.h"

struct PlantSettings {
    std::string url;      // mqtt://HOST[:PORT] or mqtts://HOST[:PORT]
    std::string station;  // the topics' root below qtor/
    MqttCredentials credentials;
    std::string queueFolder;  // where events wait for the broker
};

// "HOST-PORT" with what a topic level cannot hold replaced: the default station name.
std::string DefaultStationName(const std::string& portName);
// `name` fit for one topic level: '/', '+', '#', controls and blanks become '_'.
std::string TopicLevel(const std::string& name);

class PlantLink final : public RecordConsumer {
  public:
    enum class State { kOff, kConnecting, kConnected, kRetrying };
    static constexpr int kRecordMessagesPerSecond = 10;
    // Record messages handed to the line and not yet written: more, and records are dropped.
    static constexpr std::size_t kRecordBacklog = 20;

    // `program`: the name and version the status gives.
    explicit PlantLink(std::string program);
    ~PlantLink() override;
    PlantLink(const PlantLink&) = delete;
    PlantLink& operator=(const PlantLink&) = delete;

    // Starts publishing; false with why (a bad address, an event queue that cannot be kept).
    bool Start(const PlantSettings& settings, std::string* why);
    // "offline", then a clean close.
    void Stop();
    bool Started() const { return client_ != nullptr; }

    // Records in a row outside before an alarm, read as each run starts.
    std::function<long long()> alarmAfter;
    // The state changed, or the retry's countdown moved on.
    std::function<void()> stateChanged;

    void RunStarted() override;
    void Take(const Record& record) override;
    void RunEnded() override;
    // The sensor's line: online with its firmware text, lost, back.
    void LinkChanged(const LinkStatus& status);
    // A set read from the sensor, or written (`target` "RAM" or "EEPROM"; `before` the set as
    // last read or sent; `verified`: the read-back gave the set sent).
    void ParametersRead(const std::uint16_t* words);
    void ParametersWritten(const std::string& target, const std::uint16_t* before,
                           const std::uint16_t* sent, bool verified);

    State GetState() const { return state_; }
    // "MQTT: connected to HOST", "MQTT: retrying in N s: REASON", ...; empty when off.
    std::string StateText() const;
    const std::string& Station() const { return settings_.station; }
    // Events waiting for the broker.
    std::size_t EventsWaiting() const { return queue_.Size(); }

  private:
    std::string Topic(const char* leaf) const;
    void Event(const std::string& kind, const std::string& members);
    void PublishStatus();
    void PublishParams();
    void PublishStats();
    void FlushRecords();
    void SendEvents();
    void Tick();
    void OnConnected(int connection);
    void OnRetrying(const std::string& reason, int seconds);
    void OnDelivered(int connection, int mid);
    void SetState(State state);

    std::string program_;
    PlantSettings settings_;
    MqttTarget target_;
    std::unique_ptr<MqttClient> client_;
    EventQueue queue_;
    State state_ = State::kOff;
    std::string reason_;
    double retryAt_ = 0;
    int connection_ = 0;      // the connection being served
    int eventInFlight_ = -1;  // the mid of the queue's front, sent and not yet acknowledged
    std::unordered_set<int> recordsInFlight_;  // record messages not yet written
    std::vector<std::string> batch_;           // records since the last record message
    long long dropped_ = 0;                    // records dropped since the last report of them
    std::string droppedSince_;
    std::optional<RunQuality> quality_;
    long long statsRecords_ = 0, statsShown_ = 0;
    std::array<bool, 2> alarmOn_ = {false, false};  // between an alarm's begin and its end
    std::string firmware_;
    LinkHealth health_ = LinkHealth::kNone;
    bool lineLost_ = false;
    std::optional<std::array<std::uint16_t, 16>> params_;
    int flushTimer_ = 0, tickTimer_ = 0;
};
