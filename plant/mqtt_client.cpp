#include "mqtt_client.h"

#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>

#include "event_loop.h"

bool ParseMqttUrl(const std::string& url, MqttTarget* target, std::string* why) {
    MqttTarget t;
    std::string rest;
    if (url.rfind("mqtt://", 0) == 0) {
        rest = url.substr(7);
    } else if (url.rfind("mqtts://", 0) == 0) {
        t.tls = true;
        t.port = 8883;
        rest = url.substr(8);
    } else {
        *why = "an MQTT address starts with mqtt:// or mqtts://";
        return false;
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    const std::size_t colon = rest.rfind(':');
    // An IPv6 address stands in brackets: its colons are not the port's.
    const bool bracketed = !rest.empty() && rest.front() == '[';
    const std::size_t close = rest.find(']');
    if (colon != std::string::npos &&
        (!bracketed || (close != std::string::npos && colon > close))) {
        const std::string port = rest.substr(colon + 1);
        int n = 0;
        const auto r = std::from_chars(port.data(), port.data() + port.size(), n);
        if (port.empty() || r.ec != std::errc() || r.ptr != port.data() + port.size() || n < 1 ||
            n > 65535) {
            *why = "the MQTT port must be a number from 1 to 65535";
            return false;
        }
        t.port = n;
        rest.resize(colon);
    }
    if (bracketed && rest.size() >= 2 && rest.back() == ']') rest = rest.substr(1, rest.size() - 2);
    if (rest.empty() || rest.find_first_of("/@ ") != std::string::npos) {
        *why = "the MQTT address names no host";
        return false;
    }
    t.host = rest;
    *target = t;
    return true;
}

int RetryDelaySeconds(int attempt) { return attempt >= 6 ? 60 : 1 << attempt; }

struct MqttClient::Shared {
    std::string id;
    MqttTarget target;
    MqttCredentials credentials;
    MqttMessage will;
    Hooks hooks;
    std::weak_ptr<Shared> self;  // what a posted call checks: the client may be gone by then

    std::mutex mutex;  // guards mosq while the caller publishes
    std::condition_variable wake;
    mosquitto* mosq = nullptr;
    std::atomic<bool> connected{false};
    bool stop = false;
    std::optional<MqttMessage> last;

    // Of the connection being tried or served, on the thread only.
    int connection = 0;
    int connack = -1;        // the broker's answer: 0 accepted
    std::string tlsFailure;  // what the library's log said of the TLS handshake
    int lastMid = -1;
    std::atomic<bool> lastDelivered{false};
};

namespace {

using Shared = MqttClient::Shared;

// Runs `fn` on the event loop's thread while the client that posted it is there.
void Post(const Shared& s, std::function<void(Shared&)> fn) {
    PostToEventLoop([weak = s.self, fn = std::move(fn)] {
        if (auto shared = weak.lock()) fn(*shared);
    });
}

void OnConnect(mosquitto*, void* data, int rc) {
    auto* s = static_cast<Shared*>(data);
    s->connack = rc;
    if (rc == 0) s->connected = true;
}

void OnPublish(mosquitto*, void* data, int mid) {
    auto* s = static_cast<Shared*>(data);
    if (mid == s->lastMid) s->lastDelivered = true;
    Post(*s, [connection = s->connection, mid](Shared& sh) {
        if (sh.hooks.delivered) sh.hooks.delivered(connection, mid);
    });
}

// The library names a TLS failure only in its log, in OpenSSL's words.
void OnLog(mosquitto*, void* data, int level, const char* text) {
    if (level != MOSQ_LOG_ERR || !text) return;
    std::string& failure = static_cast<Shared*>(data)->tlsFailure;
    const std::string line = text;
    if (!failure.empty() || line.find("OpenSSL") == std::string::npos) return;
    if (line.find("certificate verify failed") != std::string::npos)
        failure = "certificate not trusted";  // the broker's, by us
    else if (line.find("alert certificate required") != std::string::npos)
        failure = "client certificate needed";
    else if (line.find("alert") != std::string::npos &&
             (line.find("certificate") != std::string::npos ||
              line.find("unknown ca") != std::string::npos))
        failure = "client certificate refused";  // ours, by the broker
}

// Why a try failed or a connection ended, in the words the status bar shows.
std::string Reason(const Shared& s, int rc, int savedErrno) {
    if (s.connack == 4 || s.connack == 5) return "not authorised";
    if (s.connack > 0) return mosquitto_connack_string(s.connack);
    if (!s.tlsFailure.empty()) return s.tlsFailure;
    // The system's word wins where it has one: the library's code may be a general one.
    if (savedErrno == ECONNREFUSED) return "connection refused";
    if (savedErrno == ETIMEDOUT) return "no answer";
    if (savedErrno == EHOSTUNREACH || savedErrno == ENETUNREACH) return "host unreachable";
    switch (rc) {
        case MOSQ_ERR_TLS: return "TLS handshake failed";
        case MOSQ_ERR_EAI: return "host not found";
        case MOSQ_ERR_PROTOCOL: return "no MQTT broker answered";
        case MOSQ_ERR_ERRNO:
            if (savedErrno == ECONNRESET || savedErrno == EPIPE || savedErrno == 0)
                return "connection lost";
            return std::string("connection failed: ") + std::strerror(savedErrno);
        case MOSQ_ERR_CONN_LOST:
        case MOSQ_ERR_NO_CONN:
        case MOSQ_ERR_KEEPALIVE: return "connection lost";
        default: return mosquitto_strerror(rc);
    }
}

// A client object set up for one connection; null with why when it cannot be, so that an
// mqtts address never goes out without its TLS.
mosquitto* NewConnection(Shared& s, std::string* why) {
    mosquitto* m = mosquitto_new(s.id.c_str(), true, &s);
    if (!m) {
        *why = "out of memory";
        return nullptr;
    }
    mosquitto_threaded_set(m, true);
    mosquitto_int_option(m, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m, OnConnect);
    mosquitto_publish_callback_set(m, OnPublish);
    mosquitto_log_callback_set(m, OnLog);
    const MqttCredentials& c = s.credentials;
    if (!c.user.empty())
        mosquitto_username_pw_set(m, c.user.c_str(),
                                  c.password.empty() ? nullptr : c.password.c_str());
    mosquitto_will_set(m, s.will.topic.c_str(), static_cast<int>(s.will.payload.size()),
                       s.will.payload.data(), s.will.qos, s.will.retain);
    if (s.target.tls) {
        if (c.caFile.empty()) mosquitto_int_option(m, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        auto opt = [](const std::string& v) { return v.empty() ? nullptr : v.c_str(); };
        // The broker's certificate and its name are checked: no insecure mode is offered.
        if (mosquitto_tls_set(m, opt(c.caFile), c.caFile.empty() ? "/etc/ssl/certs" : nullptr,
                              opt(c.certFile), opt(c.keyFile), nullptr) != MOSQ_ERR_SUCCESS ||
            mosquitto_tls_opts_set(m, 1, nullptr, nullptr) != MOSQ_ERR_SUCCESS) {
            std::error_code ec;
            *why = !c.caFile.empty() && !std::filesystem::is_regular_file(c.caFile, ec)
                       ? "CA file unreadable"
                       : "certificate or key unreadable";
            mosquitto_destroy(m);
            return nullptr;
        }
    }
    return m;
}

// Serves one connection until it ends or the client stops; the reason it ended, or empty.
std::string Serve(Shared& s, mosquitto* m, bool* wasConnected) {
    errno = 0;
    // Not blocking: a broker whose host drops the packets would hold a stop for minutes.
    int rc = mosquitto_connect_async(m, s.target.host.c_str(), s.target.port, 30);
    int savedErrno = errno;
    const auto givenUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool unanswered = false;
    if (rc == MOSQ_ERR_SUCCESS) {
        {
            std::lock_guard lock(s.mutex);
            s.mosq = m;
        }
        bool announced = false;
        for (;;) {
            {
                std::lock_guard lock(s.mutex);
                if (s.stop) break;
            }
            errno = 0;
            rc = mosquitto_loop(m, 100, 1);
            savedErrno = errno;
            if (s.connected && !announced) {
                announced = true;
                *wasConnected = true;
                Post(s, [connection = s.connection](Shared& sh) {
                    if (sh.hooks.connected) sh.hooks.connected(connection);
                });
            }
            if (rc != MOSQ_ERR_SUCCESS || s.connack > 0) break;
            if (!s.connected && std::chrono::steady_clock::now() > givenUp) {
                unanswered = true;
                break;
            }
        }
    }
    const bool stopping = [&s] {
        std::lock_guard lock(s.mutex);
        return s.stop;
    }();
    if (stopping && s.connected) {
        std::optional<MqttMessage> last;
        {
            std::lock_guard lock(s.mutex);
            last = s.last;
        }
        if (last) {
            int mid = -1;
            s.lastDelivered = false;
            if (mosquitto_publish(m, &mid, last->topic.c_str(),
                                  static_cast<int>(last->payload.size()), last->payload.data(),
                                  last->qos, last->retain) == MOSQ_ERR_SUCCESS) {
                s.lastMid = mid;
                const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
                while (!s.lastDelivered && std::chrono::steady_clock::now() < until &&
                       mosquitto_loop(m, 50, 1) == MOSQ_ERR_SUCCESS) {
                }
            }
        }
        mosquitto_disconnect(m);
        mosquitto_loop(m, 50, 1);
    }
    {
        std::lock_guard lock(s.mutex);
        s.mosq = nullptr;
        s.connected = false;
    }
    if (stopping) return {};
    return unanswered ? "no answer" : Reason(s, rc, savedErrno);
}

void Run(const std::shared_ptr<Shared>& shared) {
    Shared& s = *shared;
    int attempt = 0;
    for (;;) {
        {
            std::lock_guard lock(s.mutex);
            if (s.stop) return;
        }
        ++s.connection;
        s.connack = -1;
        s.tlsFailure.clear();
        std::string why;
        mosquitto* m = NewConnection(s, &why);
        bool wasConnected = false;
        if (m) why = Serve(s, m, &wasConnected);
        if (m) mosquitto_destroy(m);
        if (wasConnected) attempt = 0;
        const int delay = RetryDelaySeconds(attempt++);
        std::unique_lock lock(s.mutex);
        if (s.stop) return;
        Post(s, [why, delay](Shared& sh) {
            if (sh.hooks.retrying) sh.hooks.retrying(why, delay);
        });
        s.wake.wait_for(lock, std::chrono::seconds(delay), [&s] { return s.stop; });
    }
}

}  // namespace

MqttClient::MqttClient(std::string clientId, MqttTarget target, MqttCredentials credentials,
                       MqttMessage will, Hooks hooks)
    : shared_(std::make_shared<Shared>()) {
    static const bool initialised = [] { return mosquitto_lib_init() == MOSQ_ERR_SUCCESS; }();
    (void)initialised;
    shared_->id = std::move(clientId);
    shared_->target = std::move(target);
    shared_->credentials = std::move(credentials);
    shared_->will = std::move(will);
    shared_->hooks = std::move(hooks);
    shared_->self = shared_;
}

MqttClient::~MqttClient() { Stop(); }

void MqttClient::Start() {
    if (thread_.joinable()) return;
    thread_ = std::thread([shared = shared_] { Run(shared); });
}

int MqttClient::Publish(const MqttMessage& message) {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->mosq || !shared_->connected || shared_->stop) return -1;
    int mid = -1;
    const int rc = mosquitto_publish(shared_->mosq, &mid, message.topic.c_str(),
                                     static_cast<int>(message.payload.size()),
                                     message.payload.data(), message.qos, message.retain);
    return rc == MOSQ_ERR_SUCCESS ? mid : -1;
}

void MqttClient::Stop(const MqttMessage* last) {
    {
        std::lock_guard lock(shared_->mutex);
        if (last) shared_->last = *last;
        shared_->stop = true;
    }
    shared_->wake.notify_all();
    if (thread_.joinable()) thread_.join();
}
