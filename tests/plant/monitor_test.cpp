// qtor-ctl monitor as a service runs it: the demo sensor's run mode published to a real broker,
// over TLS with a password, and refused with the reason while run mode goes on.
#include <gtest/gtest.h>

#include <cstdlib>

#include "../serial/serial_sim_process.h"
#include "broker.h"
#include "read_file.h"

namespace {

long long Lines(const fs::path& file) {
    const std::string text = ReadFile(file);
    return std::count(text.begin(), text.end(), '\n');
}

class Monitor : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = TestFolder("qtor-monitor-");
        // The event queue goes to the settings folder: one of the test's own.
        setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::unique_ptr<Child> Start(const std::vector<std::string>& args, const std::string& log) {
        std::vector<std::string> argv = {QTOR_BIN_DIR "/qtor-ctl", "--demo", "monitor"};
        argv.insert(argv.end(), args.begin(), args.end());
        return std::make_unique<Child>(argv, dir / log);
    }
    bool Says(const std::string& log, const std::string& text, double seconds) {
        return Until([&] { return ReadFile(dir / log).find(text) != std::string::npos; }, seconds);
    }
    // Every payload received, against the documented schema, with the document's examples.
    void ExpectPayloadsInSchema(Subscriber& sub) {
        std::ofstream tsv(dir / "messages.tsv");
        for (const Message& m : sub.Messages())
            tsv << m.topic.substr(m.topic.rfind('/') + 1) << "\t" << m.payload << "\n";
        tsv.close();
        const std::string cmd = "/usr/bin/python3 " QTOR_SOURCE_DIR
                                "/tests/plant/check_schema.py " +
                                std::string(QTOR_SOURCE_DIR) + "/docs/mqtt-schema.json " +
                                QTOR_SOURCE_DIR "/docs/mqtt.md " + (dir / "messages.tsv").string() +
                                " > " + (dir / "schema.txt").string() + " 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << ReadFile(dir / "schema.txt");
    }
    fs::path dir;
};

TEST_F(Monitor, PublishesEveryRecordInOrderAndGoesOfflineOnACloseOrByItsLastWill) {
    Broker broker(dir / "broker");
    ASSERT_TRUE(broker.Start());
    Subscriber sub(broker.port());
    ASSERT_TRUE(Until([&] { return sub.Subscribed(); }, 5));
    const std::string url = "mqtt://127.0.0.1:" + std::to_string(broker.port());
    auto monitor = Start({"--mqtt", url, "--station", "m1"}, "m1.log");
    ASSERT_TRUE(Until([&] { return RecordIndexes(sub, "m1").size() >= 48; }, 15))
        << ReadFile(dir / "m1.log");
    ASSERT_TRUE(Until([&] { return !sub.Payloads("m1", "stats").empty(); }, 3));
    EXPECT_EQ(monitor->Stop(SIGTERM), 0) << ReadFile(dir / "m1.log");
    ASSERT_TRUE(
        Until([&] { return Json(sub.Payloads("m1", "status").back())["state"] == "offline"; }, 5));

    const std::vector<long long> got = RecordIndexes(sub, "m1");
    std::vector<long long> all(got.size());
    std::iota(all.begin(), all.end(), 0);
    EXPECT_EQ(got, all) << "in order, with no gap";
    bool firmware = false;
    for (const std::string& s : sub.Payloads("m1", "status"))
        firmware |= Json(s)["firmware"] == "Q-TOR SIM V1.0";
    EXPECT_TRUE(firmware) << "online with the firmware text";
    ASSERT_FALSE(sub.Payloads("m1", "params").empty());
    EXPECT_EQ(Json(sub.Payloads("m1", "params").back())["names"].toObject()["tTol"].toInt(), 100);
    const QJsonObject stats = Json(sub.Payloads("m1", "stats").back());
    EXPECT_GE(stats["A"].toObject()["n"].toInteger(), 20);
    EXPECT_TRUE(stats["A"].toObject()["cpk"].isDouble());
    EXPECT_NE(Json(sub.Payloads("m1", "status").back())["time"].toString(), "")
        << "a clean close, not the will";
    ExpectPayloadsInSchema(sub);

    // Killed: the broker publishes the last will.
    const std::size_t before = sub.Payloads("m1", "status").size();
    monitor = Start({"--mqtt", url, "--station", "m1"}, "m1-again.log");
    ASSERT_TRUE(Says("m1-again.log", "MQTT: connected to 127.0.0.1", 10));
    ASSERT_TRUE(Until([&] { return RecordIndexes(sub, "m1").size() > got.size(); }, 10));
    monitor->Stop(SIGKILL);
    ASSERT_TRUE(Until(
        [&] {
            const auto s = sub.Payloads("m1", "status");
            return s.size() > before + 1 && Json(s.back()) == Json(R"({"state":"offline"})");
        },
        10))
        << sub.Payloads("m1", "status").back();
}

// The sensor's adapter unplugged and plugged in again (the simulator stopped and started at the
// same path): the line lost and back are events, and the records go on in the same run.
TEST_F(Monitor, ConnectsAgainWhenTheSensorComesBackAndSaysSoInEvents) {
    Broker broker(dir / "broker");
    ASSERT_TRUE(broker.Start());
    Subscriber sub(broker.port());
    ASSERT_TRUE(Until([&] { return sub.Subscribed(); }, 5));
    const std::string link = (dir / "adapter").string();
    auto sim = std::make_unique<SimProcess>(std::vector<std::string>{"--link", link});
    ASSERT_FALSE(sim->path().empty());
    std::vector<std::string> argv = {QTOR_BIN_DIR "/qtor-ctl",
                                     "--port",
                                     link,
                                     "monitor",
                                     "--mqtt",
                                     "mqtt://127.0.0.1:" + std::to_string(broker.port()),
                                     "--station",
                                     "plug"};
    Child monitor(argv, dir / "plug.log");
    ASSERT_TRUE(Until([&] { return RecordIndexes(sub, "plug").size() >= 24; }, 10))
        << ReadFile(dir / "plug.log");
    sim->Stop(SIGTERM);
    ASSERT_TRUE(Until([&] { return !sub.Payloads("plug", "event").empty(); }, 10))
        << ReadFile(dir / "plug.log");
    const std::size_t before = RecordIndexes(sub, "plug").size();
    Until([] { return false; }, 2.0);
    sim = std::make_unique<SimProcess>(std::vector<std::string>{"--link", link});
    ASSERT_TRUE(Until([&] { return sub.Payloads("plug", "event").size() >= 2; }, 10))
        << ReadFile(dir / "plug.log");
    ASSERT_TRUE(Until([&] { return RecordIndexes(sub, "plug").size() >= before + 24; }, 10));
    const auto events = sub.Payloads("plug", "event");
    EXPECT_EQ(Json(events[0])["kind"], "link-lost") << events[0];
    EXPECT_EQ(Json(events[1])["kind"], "link-back") << events[1];
    EXPECT_EQ(Json(events[1])["firmware"], "Q-TOR SIM V1.0");
    const std::vector<long long> got = RecordIndexes(sub, "plug");
    std::vector<long long> all(got.size());
    std::iota(all.begin(), all.end(), 0);
    EXPECT_EQ(got, all) << "one run: the index goes on";
    EXPECT_EQ(monitor.Stop(SIGTERM), 0);
}

// A certificate authority of the test's, a broker certificate it signed for 127.0.0.1 and
// localhost, a client certificate it signed, another authority that signed nothing of this
// broker's, and a password file.
bool MakeCredentials(const fs::path& d) {
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes ";
    const std::string sign = " -CA ca.pem -CAkey ca.key -CAcreateserial -days 2";
    const std::string steps[] = {
        "openssl req -x509" + ec + "-keyout ca.key -out ca.pem -days 2 -subj '/CN=qtor test CA'",
        "openssl req" + ec + "-keyout server.key -out server.csr -subj '/CN=localhost'",
        "printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\\n' > ext.cnf",
        "openssl x509 -req -in server.csr -out server.pem -extfile ext.cnf" + sign,
        "openssl req" + ec + "-keyout client.key -out client.csr -subj '/CN=station'",
        "openssl x509 -req -in client.csr -out client.pem" + sign,
        "openssl req -x509" + ec + "-keyout other.key -out other.pem -days 2 -subj '/CN=other'",
        "mosquitto_passwd -b -c passwd station 'right horse 7'",
    };
    for (const std::string& step : steps)
        if (std::system(("cd " + d.string() + " && " + step + " >> openssl.log 2>&1").c_str()) != 0)
            return false;
    return true;
}

TEST_F(Monitor, TlsConnectsWithItsAuthorityAndCertificateAndEachMissingPieceIsRefusedWithItsText) {
    const fs::path pki = dir / "pki";
    fs::create_directories(pki);
    ASSERT_TRUE(MakeCredentials(pki)) << ReadFile(pki / "openssl.log");
    const int tls = FreePort();
    Broker broker(dir / "broker",
                  "listener " + std::to_string(tls) + " 127.0.0.1\n" + "cafile " +
                      (pki / "ca.pem").string() + "\ncertfile " + (pki / "server.pem").string() +
                      "\nkeyfile " + (pki / "server.key").string() +
                      "\nrequire_certificate true\nallow_anonymous false\npassword_file " +
                      (pki / "passwd").string() + "\n");
    ASSERT_TRUE(broker.Start()) << ReadFile(dir / "broker" / "broker.log");
    ASSERT_TRUE(Until([&] { return Accepts(tls); }, 5));
    Subscriber sub(broker.port());
    ASSERT_TRUE(Until([&] { return sub.Subscribed(); }, 5));
    for (const auto& [name, text] :
         {std::pair{"right", "right horse 7"}, {"wrong", "wrong horse 7"}}) {
        std::ofstream(dir / name) << text << "\n";
        fs::permissions(dir / name, fs::perms::owner_read | fs::perms::owner_write);
    }
    const std::string url = "mqtts://localhost:" + std::to_string(tls);
    // A station of the broker's: its authority, password file and, with `cert`, its own
    // certificate; recording its records.
    auto station = [&](const std::string& name, const char* ca, const char* password, bool cert) {
        std::vector<std::string> args = {"--mqtt",
                                         url,
                                         "--station",
                                         name,
                                         "--mqtt-ca",
                                         (pki / ca).string(),
                                         "--mqtt-user",
                                         "station",
                                         "--mqtt-password-file",
                                         (dir / password).string(),
                                         "--record",
                                         (dir / (name + ".csv")).string()};
        if (cert)
            args.insert(args.end(), {"--mqtt-cert", (pki / "client.pem").string(), "--mqtt-key",
                                     (pki / "client.key").string()});
        return Start(args, name + ".log");
    };
    auto good = station("good", "ca.pem", "right", true);
    auto untrusted = station("untrusted", "other.pem", "right", true);
    auto refused = station("refused", "ca.pem", "wrong", true);
    auto nocert = station("nocert", "ca.pem", "right", false);
    // An authority that cannot be read is no reason to go without TLS.
    auto missing = Start({"--mqtt", "mqtts://127.0.0.1:" + std::to_string(broker.port()),
                          "--station", "missing", "--mqtt-ca", (pki / "none.pem").string()},
                         "missing.log");
    EXPECT_TRUE(Says("good.log", "qtor-ctl: MQTT: connected to localhost", 10))
        << ReadFile(dir / "good.log");
    EXPECT_TRUE(Until([&] { return RecordIndexes(sub, "good").size() >= 24; }, 10));
    EXPECT_TRUE(
        Says("untrusted.log", "qtor-ctl: MQTT: retrying in 1 s: certificate not trusted", 10))
        << ReadFile(dir / "untrusted.log");
    EXPECT_TRUE(Says("refused.log", "qtor-ctl: MQTT: retrying in 1 s: not authorised", 10))
        << ReadFile(dir / "refused.log");
    EXPECT_TRUE(
        Says("nocert.log", "qtor-ctl: MQTT: retrying in 1 s: client certificate needed", 10))
        << ReadFile(dir / "nocert.log");
    // Run mode goes on at the line's pace, refused or not.
    const long long a = Lines(dir / "untrusted.csv"), b = Lines(dir / "refused.csv");
    Until([] { return false; }, 2.0);
    EXPECT_GE(Lines(dir / "untrusted.csv") - a, 30);
    EXPECT_GE(Lines(dir / "refused.csv") - b, 30);
    EXPECT_TRUE(sub.Payloads("untrusted", "record").empty());
    EXPECT_TRUE(sub.Payloads("refused", "record").empty());
    EXPECT_TRUE(Says("missing.log", "qtor-ctl: MQTT: retrying in 1 s: CA file unreadable", 5))
        << ReadFile(dir / "missing.log");
    EXPECT_TRUE(sub.Payloads("missing", "status").empty()) << "nothing over the plain port";
    for (auto* m : {&good, &untrusted, &refused, &nocert, &missing})
        EXPECT_EQ((*m)->Stop(SIGTERM), 0);
    for (const char* log : {"good.log", "untrusted.log", "refused.log", "nocert.log"})
        EXPECT_EQ(ReadFile(dir / log).find("horse"), std::string::npos) << "no password in " << log;
}

}  // namespace
