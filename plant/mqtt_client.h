// One connection to an MQTT broker, kept up by a thread of its own: it connects, serves the
// line and, when the broker is away, refusing or lost, tries again after 1 s, doubling to 60 s.
// Nothing here waits on the broker in the caller's thread; what the thread learns reaches the
// caller through the event loop.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

// Where the broker is: mqtt://HOST[:PORT] (1883) or mqtts://HOST[:PORT] (8883).
struct MqttTarget {
    bool tls = false;
    std::string host;
    int port = 1883;
};
bool ParseMqttUrl(const std::string& url, MqttTarget* target, std::string* why);

// How the client proves itself and checks the broker. Never shown in any text.
struct MqttCredentials {
    std::string caFile;  // empty: the system's certificate authorities
    std::string certFile, keyFile;
    std::string user, password;
};

struct MqttMessage {
    std::string topic, payload;
    int qos = 0;
    bool retain = false;
};

class MqttClient {
  public:
    // Called from the event loop. `connection` numbers the connections: a delivery reported
    // late belongs to the one it names.
    struct Hooks {
        std::function<void(int connection)> connected;
        std::function<void(const std::string& reason, int retryInSeconds)> retrying;
        // A QoS 1 message was acknowledged, or a QoS 0 one written to the line.
        std::function<void(int connection, int mid)> delivered;
    };

    MqttClient(std::string clientId, MqttTarget target, MqttCredentials credentials,
               MqttMessage will, Hooks hooks);
    // Stops without a last message (see Stop).
    ~MqttClient();
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    void Start();
    // Hands `message` to the connection; its id, or -1 while not connected.
    int Publish(const MqttMessage& message);
    // Publishes `last` (when connected, waiting up to 2 s for it), then closes.
    void Stop(const MqttMessage* last = nullptr);

    struct Shared;

  private:
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

// The back-off before try `attempt` (0, 1, ...): 1 s doubling to 60 s.
int RetryDelaySeconds(int attempt);
