// End to end: the program binary, offscreen, on a pseudo-terminal served by qtor-sensor-sim.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "qtor_version.h"
#include "read_file.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

const std::string kBin = QTOR_BIN_DIR;

struct Child {
    pid_t pid = -1;
    FILE* out = nullptr;  // its standard output, when captured
};

Child Spawn(const std::vector<std::string>& argv, bool captureOut, bool captureErr = false,
            bool offscreen = true, const std::string& platform = "offscreen") {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int fds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (captureOut || captureErr) {
        if (pipe(fds) != 0) return {};
        if (captureOut) posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        if (captureErr) posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
    }
    if (offscreen) {
        setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
    } else {
        unsetenv("QT_QPA_PLATFORM");
    }
    Child c;
    if (posix_spawn(&c.pid, args[0], &actions, nullptr, args.data(), environ) != 0) c.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (captureOut || captureErr) {
        close(fds[1]);
        c.out = fdopen(fds[0], "r");
    }
    return c;
}

// Exit status, or -1000 when it did not end within `seconds` (it is then killed).
int WaitFor(Child& c, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
        if (waitpid(c.pid, &status, WNOHANG) == c.pid) {
            if (c.out) fclose(c.out);
            return WIFEXITED(status) ? WEXITSTATUS(status) : -100 - WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(c.pid, SIGKILL);
    waitpid(c.pid, &status, 0);
    if (c.out) fclose(c.out);
    return -1000;
}

std::string FirstLine(FILE* f) {
    char buf[512] = {};
    if (!fgets(buf, sizeof buf, f)) return {};
    std::string s = buf;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

// One line from `fd`, read unbuffered; false at the end of the stream or after `seconds`.
bool ReadLine(int fd, double seconds, std::string* line) {
    line->clear();
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        pollfd p{fd, POLLIN, 0};
        char c = 0;
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0 || read(fd, &c, 1) != 1) {
            return false;
        }
        if (c == '\n') return true;
        *line += c;
    }
}

struct LoggedFrame {
    int command = 0;
    std::vector<unsigned> words;
};

// A frame as qtor-sensor-sim --verbose logs it: "<time>  command <n>: <16 words>".
bool ParseFrame(const std::string& text, LoggedFrame* f) {
    std::istringstream in(text);
    double time = 0;
    std::string word;
    char colon = 0;
    if (!(in >> time >> word >> f->command >> colon) || word != "command" || colon != ':') {
        return false;
    }
    f->words.clear();
    for (unsigned w; in >> w;) f->words.push_back(w);
    return f->words.size() == 16;
}

// The program's own start-up frames cross the real serial stack to the sensor.
TEST(Program, ConnectsOnAPseudoTerminalAndEndsWithZeroWhenItsPanelIsClosed) {
    Child sim = Spawn({kBin + "/qtor-sensor-sim", "--instant", "--verbose"}, true, true);
    ASSERT_GT(sim.pid, 0);
    const int simOut = fileno(sim.out);  // the path, then the frames it receives
    std::string pty;
    ASSERT_TRUE(ReadLine(simOut, 5, &pty));
    ASSERT_FALSE(pty.empty());

    Child program = Spawn({kBin + "/qtor-kmb", "--port", pty}, false);
    ASSERT_GT(program.pid, 0);
    std::vector<LoggedFrame> frames;
    std::string text;
    LoggedFrame f;
    while (frames.size() < 3 && ReadLine(simOut, 15, &text)) {
        if (ParseFrame(text, &f)) frames.push_back(f);
    }
    // A termination request closes the main panel as its close box does.
    kill(program.pid, SIGTERM);
    EXPECT_EQ(WaitFor(program, 10), 0);
    kill(sim.pid, SIGTERM);
    while (ReadLine(simOut, 5, &text)) {
        if (ParseFrame(text, &f)) frames.push_back(f);
    }
    EXPECT_EQ(WaitFor(sim, 5), 0);

    std::vector<int> commands;
    for (const auto& frame : frames) commands.push_back(frame.command);
    ASSERT_EQ(commands, (std::vector<int>{5, 2, 7})) << "echo, parameter read, firmware";
    const std::vector<unsigned> start = {200, 200, 512, 512, 0,    1, 1, 512,
                                         512, 100, 1,   0,   1000, 0, 0, 0};
    EXPECT_EQ(frames[0].words, start) << "the echo carries the parameter set of the panels";
    EXPECT_EQ(frames[1].words, start);
}

// Run from a folder of its own, beside a panel file that is missing or broken.
TEST(Program, BrokenPanelFileEndsWithMinusOneAndOneLineSayingWhy) {
    std::string good;
    {
        std::ifstream in(kBin + "/QtorKMBscope10.uir");
        good.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_FALSE(good.empty());
    auto edited = [&good](const std::string& from, const std::string& to) {
        std::string s = good;
        const size_t at = s.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? s : s.replace(at, from.size(), to);
    };
    struct Case {
        const char* what;
        std::string panelFile;  // none when empty
        const char* mentions;
    };
    const Case cases[] = {
        {"missing", "", "QtorKMBscope10.uir"},
        {"layout class typo (crashed the loader)", edited("QGridLayout", "QGridLayouv"),
         "QGridLayouv"},
        {"callback the program lacks (a dead button)", edited("CC_BTNRun", "CC_BTNRum"),
         "BTNRun calls CC_BTNRum"},
    };
    // A folder of this run's own: other builds may run this test at the same time.
    const fs::path dir =
        fs::temp_directory_path() / ("qtor-broken-panels-" + std::to_string(getpid()));
    // In bin/ of its own, so that no ../share/qtor-kmb of another install stands in.
    const fs::path bin = dir / "bin";
    fs::create_directories(bin);
    fs::copy_file(kBin + "/qtor-kmb", bin / "qtor-kmb", fs::copy_options::overwrite_existing);
    // Without a runtime folder Qt says so in a line of its own.
    const bool ownRuntime = !getenv("XDG_RUNTIME_DIR");
    if (ownRuntime) {
        fs::create_directories(dir / "runtime");
        fs::permissions(dir / "runtime", fs::perms::owner_all);
        setenv("XDG_RUNTIME_DIR", (dir / "runtime").c_str(), 1);
    }
    for (const Case& c : cases) {
        fs::remove(bin / "QtorKMBscope10.uir");
        if (!c.panelFile.empty()) std::ofstream(bin / "QtorKMBscope10.uir") << c.panelFile;
        Child program = Spawn({(bin / "qtor-kmb").string(), "--demo"}, false, true);
        ASSERT_GT(program.pid, 0);
        // Read once it has ended: a program that wrongly runs on is killed, not waited for.
        FILE* out = std::exchange(program.out, nullptr);
        EXPECT_EQ(WaitFor(program, 5), 255) << c.what;  // -1
        std::string err;
        char buf[512];
        while (fgets(buf, sizeof buf, out)) err += buf;
        fclose(out);
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << c.what << ": " << err;
        EXPECT_NE(err.find(c.mentions), std::string::npos) << c.what << ": " << err;
    }
    if (ownRuntime) unsetenv("XDG_RUNTIME_DIR");
    fs::remove_all(dir);
}

TEST(Program, NoDisplayEndsWithMinusOneAndOneLineSayingWhy) {
    const std::string platform = getenv("QT_QPA_PLATFORM") ? getenv("QT_QPA_PLATFORM") : "";
    const std::string display = getenv("DISPLAY") ? getenv("DISPLAY") : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    Child program = Spawn({kBin + "/qtor-kmb", "--demo"}, false, true, /*offscreen=*/false);
    ASSERT_GT(program.pid, 0);
    std::string err;
    char buf[512];
    while (fgets(buf, sizeof buf, program.out)) err += buf;
    EXPECT_EQ(WaitFor(program, 10), 255);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("display"), std::string::npos) << err;
    if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
    if (!platform.empty()) setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
}

TEST(Program, HelpAndVersionNeedNoDisplay) {
    Child help = Spawn({kBin + "/qtor-kmb", "--help"}, true);
    const std::string first = FirstLine(help.out);
    EXPECT_EQ(WaitFor(help, 5), 0);
    EXPECT_NE(first.find("--port"), std::string::npos);
    // Every program says the project's version, not a copy of it.
    const std::string version = kQtorVersion;
    const std::pair<const char*, std::string> programs[] = {
        {"qtor-kmb", "Q-TOR KMB-Dored Version " + version},
        {"qtor-sensor-sim", "qtor-sensor-sim (Q-TOR KMB-Dored) " + version},
        {"qtor-report", "qtor-report " + version},
    };
    for (const auto& [program, expected] : programs) {
        Child c = Spawn({kBin + "/" + program, "--version"}, true);
        EXPECT_EQ(FirstLine(c.out), expected);
        EXPECT_EQ(WaitFor(c, 5), 0) << program;
    }
}

// Installed under a prefix, the program finds its panel file in ../share/qtor-kmb and runs.
TEST(Program, InstalledUnderAPrefixFindsItsPanelsInTheShareFolder) {
    const fs::path prefix = fs::temp_directory_path() / ("qtor-prefix-" + std::to_string(getpid()));
    fs::create_directories(prefix / "bin");
    fs::create_directories(prefix / "share/qtor-kmb");
    fs::copy_file(kBin + "/qtor-kmb", prefix / "bin/qtor-kmb",
                  fs::copy_options::overwrite_existing);
    fs::copy_file(kBin + "/QtorKMBscope10.uir", prefix / "share/qtor-kmb/QtorKMBscope10.uir",
                  fs::copy_options::overwrite_existing);

    Child sim = Spawn({kBin + "/qtor-sensor-sim", "--instant", "--verbose"}, true, true);
    ASSERT_GT(sim.pid, 0);
    const int simOut = fileno(sim.out);
    std::string pty;
    ASSERT_TRUE(ReadLine(simOut, 5, &pty));
    Child program = Spawn({(prefix / "bin/qtor-kmb").string(), "--port", pty}, false);
    ASSERT_GT(program.pid, 0);
    // Its first frame (the echo) is sent only once both panels are loaded.
    std::string text;
    LoggedFrame f;
    bool echoed = false;
    while (!echoed && ReadLine(simOut, 15, &text)) echoed = ParseFrame(text, &f) && f.command == 5;
    kill(program.pid, SIGTERM);
    EXPECT_EQ(WaitFor(program, 10), 0);
    EXPECT_TRUE(echoed);
    kill(sim.pid, SIGTERM);
    while (ReadLine(simOut, 5, &text)) {
    }
    EXPECT_EQ(WaitFor(sim, 5), 0);
    fs::remove_all(prefix);
}

// A file that exists is somebody's data: --record and --trace refuse it before the line is
// touched, and before the other file is made (which would refuse the next start).
TEST(Program, RecordAndTraceRefuseAnExistingFileAndLeaveItAsItWas) {
    const fs::path file =
        fs::temp_directory_path() / ("qtor-existing-" + std::to_string(getpid()) + ".csv");
    const fs::path fresh =
        fs::temp_directory_path() / ("qtor-fresh-" + std::to_string(getpid()) + ".csv");
    const std::string data = std::string("time,index\nan earlier run\0\xff", 27);
    std::ofstream(file, std::ios::binary) << data;
    Child sim = Spawn({kBin + "/qtor-sensor-sim", "--instant", "--verbose"}, true, true);
    ASSERT_GT(sim.pid, 0);
    std::string pty, text;
    ASSERT_TRUE(ReadLine(fileno(sim.out), 5, &pty));

    for (const auto& [option, says, other] : {std::tuple{"--record", "cannot record: ", "--trace"},
                                              {"--trace", "cannot trace: ", "--record"}}) {
        Child program =
            Spawn({kBin + "/qtor-kmb", other, fresh.string(), option, file.string(), "--port", pty},
                  false, true);
        ASSERT_GT(program.pid, 0);
        FILE* out = std::exchange(program.out, nullptr);
        EXPECT_EQ(WaitFor(program, 10), 255) << option;  // -1
        std::string err;
        char buf[512];
        while (fgets(buf, sizeof buf, out)) err += buf;
        fclose(out);
        EXPECT_NE(err.find(says + file.string() + " exists"), std::string::npos) << err;
        EXPECT_EQ(ReadFile(file), data) << option;
        EXPECT_FALSE(fs::exists(fresh)) << other;
    }
    kill(sim.pid, SIGTERM);
    LoggedFrame f;
    while (ReadLine(fileno(sim.out), 5, &text)) EXPECT_FALSE(ParseFrame(text, &f)) << text;
    EXPECT_EQ(WaitFor(sim, 5), 0);
    fs::remove(file);
    fs::remove(fresh);
    fs::remove(fresh.string().substr(0, fresh.string().size() - 4) + "-events.csv");
}

// With several sensors each records into a file of its own, named after it; one of the names
// taken refuses them all before any file is made.
TEST(Program, SeveralSensorsRecordEachIntoItsOwnFileAndOneNameTakenRefusesAll) {
    const fs::path dir = fs::temp_directory_path() / ("qtor-sensors-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string base = (dir / "run.csv").string(), trace = (dir / "line").string();
    std::ofstream(dir / "run-COM2.csv") << "somebody's data\n";
    {
        Child program = Spawn(
            {kBin + "/qtor-kmb", "--demo", "2", "--record", base, "--trace", trace}, false, true);
        ASSERT_GT(program.pid, 0);
        FILE* out = std::exchange(program.out, nullptr);
        EXPECT_EQ(WaitFor(program, 10), 255);  // -1
        std::string err;
        char buf[512];
        while (fgets(buf, sizeof buf, out)) err += buf;
        fclose(out);
        EXPECT_NE(err.find("run-COM2.csv exists"), std::string::npos) << err;
        EXPECT_FALSE(fs::exists(dir / "run-COM1.csv"));
        EXPECT_FALSE(fs::exists(dir / "line-COM1"));
        EXPECT_EQ(ReadFile(dir / "run-COM2.csv"), "somebody's data\n");
    }
    fs::remove(dir / "run-COM2.csv");
    Child program = Spawn({kBin + "/qtor-kmb", "--demo", "2", "--record", base, "--trace", trace},
                          false, false);
    ASSERT_GT(program.pid, 0);
    const auto made = [&dir] {
        for (const char* f : {"run-COM1.csv", "run-COM2.csv", "line-COM1", "line-COM2"})
            if (!fs::exists(dir / f)) return false;
        return true;
    };
    for (int i = 0; i < 100 && !made(); ++i) usleep(50000);
    EXPECT_TRUE(made());
    // Each line's trace holds its own connect: an echo, a parameter read, the firmware, each
    // written and answered.
    const auto lines = [&dir](const char* f) {
        const std::string text = ReadFile(dir / f);
        return std::count(text.begin(), text.end(), '\n');
    };
    for (int i = 0; i < 100 && (lines("line-COM1") < 6 || lines("line-COM2") < 6); ++i)
        usleep(50000);
    for (const char* f : {"line-COM1", "line-COM2"}) {
        EXPECT_EQ(lines(f), 6) << f << "\n" << ReadFile(dir / f);
        EXPECT_NE(ReadFile(dir / f).find("TX 00 55 00 05"), std::string::npos) << f;
    }
    kill(program.pid, SIGTERM);
    EXPECT_EQ(WaitFor(program, 10), 0);
    fs::remove_all(dir);
}

// On a screen wide enough, the main panel comes back where it was and the popup with it; a
// place off the screen is not taken, and --port leaves the remembered port alone.
TEST(Program, PanelPlaceAndPopupComeBackInTheNextRun) {
    const fs::path dir = fs::temp_directory_path() / ("qtor-settings-" + std::to_string(getpid()));
    fs::create_directories(dir / "qtor");
    std::ofstream(dir / "screen.json") << R"({"screens":[{"name":"wide","x":0,"y":0,)"
                                       << R"("width":1600,"height":1000,"logicalDpi":96}]})";
    const char* config = getenv("XDG_CONFIG_HOME");
    const std::string oldConfig = config ? config : "";
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    Child sim = Spawn({kBin + "/qtor-sensor-sim", "--instant", "--verbose"}, true, true);
    ASSERT_GT(sim.pid, 0);
    std::string pty, text;
    ASSERT_TRUE(ReadLine(fileno(sim.out), 5, &pty));
    for (const auto& [place, fits] :
         {std::pair{"100,80,1000,760", true}, {"900,500,1000,760", false}}) {
        std::ofstream(dir / "qtor/qtor-kmb.ini")
            << "[General]\nformat=1\nport=/dev/qtor-remembered\n[window]\nmain=\"" << place
            << "\"\npopupShown=1\n";
        Child program = Spawn({kBin + "/qtor-kmb", "--port", pty}, false, false, true,
                              "offscreen:configfile=" + (dir / "screen.json").string());
        ASSERT_GT(program.pid, 0);
        LoggedFrame f;
        bool firmware = false;  // the last frame of the start-up
        while (!firmware && ReadLine(fileno(sim.out), 15, &text))
            firmware = ParseFrame(text, &f) && f.command == 7;
        EXPECT_TRUE(firmware);
        kill(program.pid, SIGTERM);
        EXPECT_EQ(WaitFor(program, 10), 0);
        const std::string saved = ReadFile(dir / "qtor/qtor-kmb.ini");
        EXPECT_EQ(saved.find("main=\"" + std::string(place) + "\"") != std::string::npos, fits)
            << saved;
        EXPECT_NE(saved.find("popupShown=1"), std::string::npos) << saved;
        EXPECT_NE(saved.find("port=/dev/qtor-remembered"), std::string::npos) << saved;
    }
    kill(sim.pid, SIGTERM);
    while (ReadLine(fileno(sim.out), 5, &text)) {
    }
    EXPECT_EQ(WaitFor(sim, 5), 0);
    if (config) setenv("XDG_CONFIG_HOME", oldConfig.c_str(), 1);
    if (!config) unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(dir);
}

}  // namespace
