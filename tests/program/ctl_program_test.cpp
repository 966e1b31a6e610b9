// qtor-ctl as a program, against qtor-sensor-sim on a pseudo-terminal: what a script sees, and
// the protocol trace it can write.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "../serial/serial_sim_process.h"

namespace {

struct Ran {
    int status = -1;
    std::string out;
};

// Runs qtor-ctl with `args` (already quoted for the shell), standard error discarded.
Ran Ctl(const std::string& args) {
    const std::string cmd = std::string(QTOR_BIN_DIR) + "/qtor-ctl " + args + " 2>/dev/null";
    Ran r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

TEST(CtlProgram, TalksToTheSensorOnAPseudoTerminalAndTracesTheLine) {
    SimProcess sim({"--firmware", "PTY FW 3.0"});
    ASSERT_FALSE(sim.path().empty());
    const std::string trace =
        (std::filesystem::temp_directory_path() / "qtor-ctl-trace.txt").string();
    std::filesystem::remove(trace);  // left by an earlier run, it would be refused
    const Ran info = Ctl("--port " + sim.path() + " --trace " + trace + " info");
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.out, "PTY FW 3.0\n");

    // One line a frame or chunk: seconds, direction, hex bytes, a written frame's command.
    const std::regex shape(R"(\d+\.\d{3} (TX|RX)( [0-9a-f]{2})+( [A-Za-z /()]+)?)");
    std::ifstream in(trace);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) {
        EXPECT_TRUE(std::regex_match(l, shape)) << l;
        lines.push_back(l);
    }
    ASSERT_GE(lines.size(), 6u);
    EXPECT_NE(lines[0].find(" TX 00 55 00 05 "), std::string::npos) << lines[0];
    EXPECT_EQ(lines[0].substr(lines[0].size() - 5), " echo");
    std::string all;
    for (const auto& l : lines) all += l + "\n";
    for (const char* name : {" read RAM\n", " firmware\n"})
        EXPECT_NE(all.find(name), std::string::npos) << name << all;
    EXPECT_NE(all.find(" RX 00 aa 00 05"), std::string::npos) << "the echo's reply";
    // The trace is somebody's data now: a second run refuses it and leaves it as it was.
    EXPECT_EQ(Ctl("--port " + sim.path() + " --trace " + trace + " info").status, 4);
    std::ifstream again(trace);
    std::vector<std::string> kept;
    for (std::string l; std::getline(again, l);) kept.push_back(l);
    EXPECT_EQ(kept, lines);
    std::filesystem::remove(trace);

    const Ran get = Ctl("--port " + sim.path() + " --json get eeprom");
    EXPECT_EQ(get.status, 0);
    EXPECT_EQ(get.out.rfind("{\"target\":\"eeprom\",\"words\":[200,200,512,", 0), 0u) << get.out;
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

TEST(CtlProgram, ASilentSensorEndsWithStatusThree) {
    SimProcess sim({"--instant", "--fault", "5:noreply"});
    ASSERT_FALSE(sim.path().empty());
    EXPECT_EQ(Ctl("--port " + sim.path() + " info").status, 3);
    EXPECT_EQ(Ctl("--port " + sim.path() + " bogus").status, 2);
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

}  // namespace
