// qtor-ctl behind a maintenance key, as a script runs it against qtor-sensor-sim on a paced
// pseudo-terminal: a locked send puts no frame on the line, an unlocked one is in the trail.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../serial/serial_sim_process.h"
#include "maintenance_key.h"

namespace fs = std::filesystem;

namespace {

int CtlStatus(const std::string& env, const std::string& args) {
    const std::string cmd =
        env + " " + std::string(QTOR_BIN_DIR) + "/qtor-ctl " + args + " >/dev/null 2>&1";
    const int st = std::system(cmd.c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

std::string Text(const fs::path& p) {
    std::ifstream in(p);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST(LockProgram, ALockedSendPutsNoWriteOnTheLineAndAnUnlockedOneIsInTheTrail) {
    const fs::path dir = fs::temp_directory_path() / "qtor-lock-program";
    fs::remove_all(dir);
    fs::create_directories(dir);
    // The user's key file, in the settings folder the process finds; the system-wide one is
    // left alone.
    std::string error;
    ASSERT_TRUE(StoreKey((dir / "qtor" / "maintenance-key").string(), "line-42-key", &error))
        << error;
    const std::string env = "XDG_CONFIG_HOME=" + dir.string();
    const fs::path key = dir / "key";
    std::ofstream(key) << "line-42-key\n";
    fs::permissions(key, fs::perms::owner_read | fs::perms::owner_write);
    const fs::path set = dir / "set.cfg";
    std::ofstream(set) << "250\n200\n500\n510\n0\n3\n4\n600\n610\n50\n2\n1\n900\n0\n0\n7\n";
    const fs::path frames = dir / "frames.txt";
    const fs::path trail = dir / "qtor" / "audit.jsonl";

    SimProcess sim({"--verbose"}, frames.string());
    ASSERT_FALSE(sim.path().empty());
    const std::string port = "--port " + sim.path() + " ";
    EXPECT_EQ(CtlStatus(env, port + "send ram " + set.string()), 5);
    EXPECT_EQ(CtlStatus(env, port + "info"), 0) << "reading stays free";
    EXPECT_FALSE(fs::exists(trail)) << "the trail is as it was";
    // The write of RAM is command 1.
    EXPECT_EQ(Text(frames).find("command 1:"), std::string::npos) << Text(frames);

    EXPECT_EQ(CtlStatus(env, port + "--key-file " + key.string() + " send ram " + set.string()), 0);
    EXPECT_NE(Text(frames).find("command 1: 250 200 500"), std::string::npos) << Text(frames);
    const std::string line = Text(trail);
    EXPECT_NE(line.find("\"action\":\"send-ram\""), std::string::npos) << line;
    EXPECT_NE(line.find("{\"word\":\"powerA\",\"old\":200,\"new\":250}"), std::string::npos)
        << line;
    EXPECT_NE(line.find("\"verified\":true"), std::string::npos) << line;
    EXPECT_EQ(CtlStatus(env, "audit verify " + trail.string()), 0);
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
    fs::remove_all(dir);
}

}  // namespace
