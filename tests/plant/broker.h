// A real MQTT broker (Debian's mosquitto) on 127.0.0.1 for a test, and a real client that
// subscribes to qtor/#. POSIX only, test side.
#pragma once

#include <gtest/gtest.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "event_loop.h"

namespace fs = std::filesystem;

// A port nobody listens on now.
inline int FreePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
    close(s);
    return ntohs(a.sin_port);
}

inline bool Accepts(int port) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(s);
    return ok;
}

// Pumps the event loop until `done` or `seconds` have passed.
inline bool Until(const std::function<bool()>& done, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        ProcessSystemEvents(0.02);
    }
    return done();
}

// A program started for the test, its standard error into a file.
class Child {
  public:
    Child(const std::vector<std::string>& argv, const fs::path& errorFile) {
        pid_ = fork();
        if (pid_ == 0) {
            std::FILE* err = std::fopen(errorFile.c_str(), "w");
            if (err) dup2(fileno(err), 2);
            std::FILE* null = std::fopen("/dev/null", "w");
            if (null) dup2(fileno(null), 1);
            std::vector<char*> args;
            std::vector<std::string> copy = argv;
            for (auto& a : copy) args.push_back(a.data());
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
    }
    ~Child() { Stop(SIGKILL); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    bool Running() {
        if (pid_ <= 0 || exited_) return false;
        int st = 0;
        if (waitpid(pid_, &st, WNOHANG) == pid_) Ended(st);
        return !exited_;
    }
    // Signals and waits; the exit status, 128 + signal, or -1 when it did not end.
    int Stop(int sig = SIGTERM, double seconds = 10.0) {
        if (pid_ <= 0) return -1;
        if (!exited_) kill(pid_, sig);
        for (int i = 0; i < static_cast<int>(seconds * 100) && !exited_; ++i) {
            int st = 0;
            if (waitpid(pid_, &st, WNOHANG) == pid_)
                Ended(st);
            else
                usleep(10000);
        }
        return exited_ ? status_ : -1;
    }

  private:
    void Ended(int st) {
        exited_ = true;
        status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    }
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = -1;
};

// mosquitto on 127.0.0.1 with a configuration of the test's; it keeps its sessions on disk, so
// that a subscriber's subscription outlives a restart.
class Broker {
  public:
    // `more`: further listeners, each with its own settings.
    explicit Broker(fs::path dir, const std::string& more = {})
        : dir_(std::move(dir)), port_(FreePort()) {
        fs::create_directories(dir_);
        std::ofstream conf(dir_ / "mosquitto.conf");
        // As root it would become the user mosquitto, who may not read the test's files.
        conf << "user root\nper_listener_settings true\n"
             << "persistence true\npersistence_location " << (dir_ / "").string() << "\n"
             << "listener " << port_ << " 127.0.0.1\nallow_anonymous true\n"
             << more;
    }
    ~Broker() { Stop(); }
    int port() const { return port_; }
    bool Start() {
        child_ = std::make_unique<Child>(
            std::vector<std::string>{"mosquitto", "-c", (dir_ / "mosquitto.conf").string()},
            dir_ / "broker.log");
        for (int i = 0; i < 500; ++i) {
            if (Accepts(port_)) return true;
            usleep(10000);
        }
        return false;
    }
    void Stop() {
        if (child_) child_->Stop(SIGTERM);
        child_.reset();
    }

  private:
    fs::path dir_;
    int port_;
    std::unique_ptr<Child> child_;
};

struct Message {
    std::string topic, payload;
    bool retain = false;
};

// A client of its own, subscribed to qtor/# at QoS 1 in a session the broker keeps.
class Subscriber {
  public:
    explicit Subscriber(int port, const std::string& id = "qtor-test-subscriber") {
        mosquitto_lib_init();
        m_ = mosquitto_new(id.c_str(), false, this);
        mosquitto_connect_callback_set(m_, [](mosquitto* m, void*, int rc) {
            if (rc == 0) mosquitto_subscribe(m, nullptr, "qtor/#", 1);
        });
        mosquitto_subscribe_callback_set(m_, [](mosquitto*, void* self, int, int, const int*) {
            static_cast<Subscriber*>(self)->subscribed_ = true;
        });
        mosquitto_message_callback_set(
            m_, [](mosquitto*, void* self, const mosquitto_message* msg) {
                auto* s = static_cast<Subscriber*>(self);
                std::lock_guard lock(s->mutex_);
                s->messages_.push_back({msg->topic,
                                        std::string(static_cast<const char*>(msg->payload),
                                                    static_cast<std::size_t>(msg->payloadlen)),
                                        msg->retain});
            });
        mosquitto_reconnect_delay_set(m_, 1, 1, false);
        mosquitto_connect(m_, "127.0.0.1", port, 10);
        mosquitto_loop_start(m_);
    }
    ~Subscriber() {
        mosquitto_disconnect(m_);
        mosquitto_loop_stop(m_, true);
        mosquitto_destroy(m_);
    }
    Subscriber(const Subscriber&) = delete;
    Subscriber& operator=(const Subscriber&) = delete;
    bool Subscribed() const { return subscribed_; }
    std::vector<Message> Messages() {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    // The payloads of topic qtor/STATION/`leaf`.
    std::vector<std::string> Payloads(const std::string& station, const std::string& leaf) {
        std::vector<std::string> p;
        for (const Message& m : Messages())
            if (m.topic == "qtor/" + station + "/" + leaf) p.push_back(m.payload);
        return p;
    }

  private:
    mosquitto* m_ = nullptr;
    std::mutex mutex_;
    std::vector<Message> messages_;
    std::atomic<bool> subscribed_{false};
};

inline QJsonObject Json(const std::string& payload) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(payload)).object();
}

// The indexes of the records published for `station`, in the order they came.
inline std::vector<long long> RecordIndexes(Subscriber& sub, const std::string& station) {
    std::vector<long long> indexes;
    for (const std::string& p : sub.Payloads(station, "record"))
        for (const auto& r : Json(p)["records"].toArray())
            indexes.push_back(r.toObject()["index"].toInteger());
    return indexes;
}

// A folder of the running test's own, made empty.
inline fs::path TestFolder(const std::string& prefix) {
    const fs::path dir = fs::temp_directory_path() /
                         (prefix + std::to_string(getpid()) + "-" +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}
