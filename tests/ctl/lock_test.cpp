// qtor-ctl behind a maintenance key: a locked command puts nothing on the line, an unlocked one
// leaves its old and new words in the audit trail, and the trail's chain is checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ctl.h"
#include "ctl_output.h"
#include "maintenance_key.h"
#include "port_table.h"
#include "protocol.h"
#include "sensor.h"
#include "system_files.h"

namespace fs = std::filesystem;

namespace {

constexpr int kPort = 7;

class Lock : public ::testing::Test {
  protected:
    void SetUp() override {
        PortTableReset();
        PortTableSetSimulated(kPort, false);
        sensor = PortSimSensor(kPort);
        ASSERT_NE(sensor, nullptr);
        dir = fs::temp_directory_path() /
              ("qtor-lock-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        files = {(dir / "system" / "maintenance-key").string(),
                 (dir / "user" / "maintenance-key").string()};
        SetKeyFilesForTest(&files);
        trail = (dir / "audit.jsonl").string();
    }
    void TearDown() override {
        SetKeyFilesForTest(nullptr);
        fs::remove_all(dir);
    }
    int Run(std::vector<std::string> args, const std::string& input = "") {
        args.insert(args.begin(), {"--port", std::to_string(kPort)});
        std::istringstream i(input);
        std::ostringstream o, e;
        const int status = RunCtl(args, i, o, e);
        out = o.str();
        err = e.str();
        return status;
    }
    std::string KeyFile(const std::string& key,
                        fs::perms perms = fs::perms::owner_read | fs::perms::owner_write) {
        const fs::path p = dir / ("key-" + std::to_string(++keys));
        std::ofstream(p) << key << "\n";
        fs::permissions(p, perms);
        return p.string();
    }
    bool Wrote() const {
        return std::ranges::any_of(sensor->Log(), [](const auto& f) {
            return f.command == protocol::kWriteRam || f.command == protocol::kWriteEeprom;
        });
    }
    std::vector<std::string> TrailLines() const {
        std::ifstream in(trail);
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
    std::string SetFile() {
        const fs::path p = dir / "set.cfg";
        std::ofstream(p) << "250\n200\n500\n510\n0\n3\n4\n600\n610\n50\n2\n1\n900\n0\n0\n7\n";
        return p.string();
    }
    // lock set writes the system-wide file as root, else the user's.
    const std::string& OwnKeyFile() const {
        return RunningAsAdministrator() ? files.system : files.user;
    }
    sim::Sensor* sensor = nullptr;
    fs::path dir;
    KeyFiles files;
    std::string trail, out, err;
    int keys = 0;
};

TEST_F(Lock, WithAKeySetChangesWithoutTheRightKeyPutNothingOnTheLine) {
    ASSERT_EQ(Run({"lock", "set"}, "line-42-key\n"), kCtlOk) << err;
    ASSERT_TRUE(fs::exists(OwnKeyFile()));
    const std::string set = SetFile();
    const std::string wrong = KeyFile("not-the-key");
    const std::string exposed = KeyFile(
        "line-42-key", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::vector<std::vector<std::string>> refused = {
        {"send", "ram", set},
        {"teach"},
        {"reset"},
        {"--key-file", wrong, "send", "eeprom", set},
        {"--key-file", exposed, "send", "ram", set},
        {"--key-file", (dir / "missing").string(), "teach"}};
    for (std::vector<std::string> args : refused) {
        args.insert(args.begin(), {"--audit", trail});
        sensor->ClearLog();
        EXPECT_EQ(Run(args), kCtlLocked) << args.back();
        EXPECT_NE(err.find("Locked: maintenance key needed"), std::string::npos) << err;
        EXPECT_TRUE(sensor->Log().empty()) << "nothing at all on the line: " << args.back();
    }
    EXPECT_NE(err.find("missing: no key file"), std::string::npos) << err;
    EXPECT_EQ(sensor->Ram()[0], 200) << "the set is as it was";
    // Only the wrong key is an event; the trail holds nothing else.
    const std::vector<std::string> lines = TrailLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\"action\":\"wrong-key\""), std::string::npos) << lines[0];
    EXPECT_EQ(Run({"get", "ram"}), kCtlOk) << "reading stays free: " << err;
}

TEST_F(Lock, TheRightKeyWritesAndTheTrailHoldsOldAndNewWords) {
    ASSERT_EQ(Run({"lock", "set"}, "line-42-key\n"), kCtlOk) << err;
    const std::string key = KeyFile("line-42-key");
    ASSERT_EQ(Run({"--audit", trail, "--key-file", key, "send", "ram", SetFile()}), kCtlOk) << err;
    EXPECT_EQ(out, "verified\n");
    EXPECT_TRUE(Wrote());
    EXPECT_EQ(sensor->Ram()[0], 250);
    ASSERT_EQ(Run({"--audit", trail, "--key-file", key, "reset"}), kCtlOk) << err;
    ASSERT_EQ(Run({"--audit", trail, "--key-file", key, "teach"}), kCtlOk) << err;

    const std::vector<std::string> lines = TrailLines();
    ASSERT_EQ(lines.size(), 3u);
    const std::string& send = lines[0];
    EXPECT_NE(send.find("\"action\":\"send-ram\""), std::string::npos) << send;
    EXPECT_NE(send.find("{\"word\":\"powerA\",\"old\":200,\"new\":250}"), std::string::npos)
        << send;
    EXPECT_EQ(send.find("\"word\":\"powerB\""), std::string::npos) << "unchanged words left out";
    EXPECT_NE(send.find("\"verified\":true"), std::string::npos) << send;
    EXPECT_NE(send.find("\"port\":\"COM7"), std::string::npos) << send;
    EXPECT_NE(send.find("\"firmware\":\"") + 13, send.find("\"firmware\":\"\"") + 13)
        << "the firmware text is kept";
    EXPECT_NE(lines[1].find("\"action\":\"reset\""), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("\"action\":\"teach\""), std::string::npos) << lines[2];

    EXPECT_EQ(Run({"audit", "verify", trail}), kCtlOk) << err;
    EXPECT_NE(out.find("verified 3 entries"), std::string::npos) << out;
    std::vector<std::string> edited = lines;
    edited[0].replace(edited[0].find("\"new\":250"), 9, "\"new\":240");
    {
        std::ofstream o(trail, std::ios::trunc);
        for (const std::string& l : edited) o << l << "\n";
    }
    EXPECT_EQ(Run({"audit", "verify", trail}), kCtlDiffers);
    EXPECT_NE(err.find("line 1: changed"), std::string::npos) << err;
}

TEST_F(Lock, ATrailThatCannotBeWrittenStopsTheWriteBeforeTheLine) {
    const std::string unwritable = (dir / "no-such-folder" / "audit.jsonl").string();
    EXPECT_EQ(Run({"--audit", unwritable, "send", "ram", SetFile()}), kCtlFile);
    EXPECT_NE(err.find("nothing sent"), std::string::npos) << err;
    EXPECT_TRUE(sensor->Log().empty());
    EXPECT_EQ(sensor->Ram()[0], 200);
}

TEST_F(Lock, ChangingOrClearingTheKeyNeedsItAndTheSystemKeyWins) {
    ASSERT_EQ(Run({"lock", "set"}, "line-42-key\n"), kCtlOk) << err;
    EXPECT_EQ(Run({"lock", "set"}, "another-key\n"), kCtlLocked) << "not without the old key";
    EXPECT_EQ(Run({"--key-file", KeyFile("wrong-key"), "lock", "clear"}), kCtlLocked);
    EXPECT_EQ(Run({"lock", "set"}, "short\n"), kCtlLocked);
    const std::string key = KeyFile("line-42-key");
    EXPECT_EQ(Run({"--key-file", key, "lock", "set"}, "short\n"), kCtlUsage) << "too short";
    ASSERT_EQ(Run({"--key-file", key, "lock", "clear"}), kCtlOk) << err;
    EXPECT_FALSE(fs::exists(OwnKeyFile()));
    EXPECT_EQ(Run({"send", "ram", SetFile()}), kCtlOk) << "no key: as before " << err;
    EXPECT_FALSE(fs::exists(trail)) << "and no trail unless asked for";

    // A system-wide key file wins over the user's; one that others than the administrator may
    // write is refused, and everything stays locked.
    std::string error;
    ASSERT_TRUE(StoreKey(files.user, "user-key-1", &error)) << error;
    ASSERT_TRUE(StoreKey(files.system, "system-key", &error)) << error;
    const StoredKey stored = LoadKey(files);
    EXPECT_EQ(stored.file, files.system);
    EXPECT_FALSE(KeyMatches(stored, "user-key-1"));
    sensor->ClearLog();
    EXPECT_EQ(Run({"--key-file", KeyFile("user-key-1"), "reset"}), kCtlLocked);
    EXPECT_TRUE(sensor->Log().empty());
}

}  // namespace
