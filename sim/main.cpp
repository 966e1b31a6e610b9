// qtor-sensor-sim: serves the simulated sensor on a pseudo-terminal (or a serial device) so
// that the real serial stack can be exercised end to end. POSIX only.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "faults.h"
#include "line.h"
#include "qtor_version.h"
#include "sensor.h"

namespace {

constexpr const char* kUsage =
    "Usage: qtor-sensor-sim [options]\n"
    "Serves a simulated Q-TOR line sensor. Without --device it opens a pseudo-terminal and\n"
    "prints the path of its terminal side as the first line on standard output.\n"
    "Runs until SIGINT or SIGTERM, then exits 0.\n"
    "\n"
    "Options:\n"
    "  --instant             answer at once instead of pacing bytes at 19200 baud, 8N1\n"
    "  --device PATH         serve this serial device (19200 8N1, raw) instead of a\n"
    "                        pseudo-terminal; the line paces itself, so no pacing is added\n"
    "  --fault CMD:KIND[:ARG]       inject a fault into every reply to command CMD\n"
    "  --fault-once CMD:KIND[:ARG]  the same, for the next reply only\n"
    "                        KIND: noreply            carry the command out, send nothing\n"
    "                              late:SECONDS       answer that much later\n"
    "                              cut:N              send only the first N bytes\n"
    "                              lengthen:N         append N zero bytes\n"
    "                              badsync[:WORD]     reply sync word WORD (default 0xAA00)\n"
    "                              garbage            random bytes of the reply's length\n"
    "                              hangup             close the line and exit 0\n"
    "                              ignore             neither carry the command out nor answer\n"
    "                        late on a write (1, 3) stores the set that much later\n"
    "  --eeprom-store SECONDS  how long storing a parameter set in the EEPROM keeps the\n"
    "                        sensor busy; commands meanwhile are answered after it\n"
    "                        (default 0.03)\n"
    "  --firmware TEXT       firmware text (default \"Q-TOR SIM V1.0\")\n"
    "  --link PATH           also reach the pseudo-terminal at PATH (a symbolic link, removed\n"
    "                        at exit): a program started again with the same PATH comes back\n"
    "                        at the same place, as an adapter plugged in again does\n"
    "  --hold SECONDS        the object stands still where it is at that time\n"
    "  --excursion FIRST:COUNT  records FIRST to FIRST+COUNT-1 (counted from 0) put channel\n"
    "                        A outside its tolerance window\n"
    "  --sweep               the object sweeps across the line every 8 s instead of staying\n"
    "                        near the set-point as a process does\n"
    "  --verbose             log each received frame on standard error\n"
    "  --help                show this text\n"
    "  --version             show the version\n";

int g_wake[2] = {-1, -1};

void OnSignal(int) {
    const char c = 1;
    [[maybe_unused]] auto n = write(g_wake[1], &c, 1);
}

struct Options {
    bool instant = false;
    bool verbose = false;
    bool sweep = false;
    std::string device;
    std::string firmware;
    std::string link;
    std::optional<double> hold;
    std::optional<double> eepromStore;
    long long excursionFirst = 0, excursionCount = 0;
    std::vector<sim::FaultSpec> faults;
};

bool ParseArgs(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (a == "--version") {
            std::printf("qtor-sensor-sim (Q-TOR KMB-Dored) %s\n", kQtorVersion);
            std::exit(0);
        } else if (a == "--instant") {
            o->instant = true;
        } else if (a == "--verbose") {
            o->verbose = true;
        } else if (a == "--sweep") {
            o->sweep = true;
        } else if (a == "--link") {
            const char* v = value();
            if (!v) {
                std::fprintf(stderr, "--link needs a path\n");
                return false;
            }
            o->link = v;
        } else if (a == "--device" || a == "--firmware") {
            const char* v = value();
            if (!v) {
                std::fprintf(stderr, "%s needs a value\n", a.c_str());
                return false;
            }
            (a == "--device" ? o->device : o->firmware) = v;
        } else if (a == "--hold" || a == "--eeprom-store") {
            const char* v = value();
            char* end = nullptr;
            const double t = v ? std::strtod(v, &end) : 0.0;
            if (!v || end == v || *end != '\0' || (a == "--eeprom-store" && !(t >= 0))) {
                std::fprintf(stderr, "%s needs a time in seconds\n", a.c_str());
                return false;
            }
            (a == "--hold" ? o->hold : o->eepromStore) = t;
        } else if (a == "--excursion") {
            const char* v = value();
            long long first = -1, count = -1;
            char extra = 0;
            if (!v || std::sscanf(v, "%lld:%lld%c", &first, &count, &extra) != 2 || first < 0 ||
                count < 0) {
                std::fprintf(stderr, "--excursion needs FIRST:COUNT\n");
                return false;
            }
            o->excursionFirst = first;
            o->excursionCount = count;
        } else if (a == "--fault" || a == "--fault-once") {
            const char* v = value();
            std::string error = a + " needs CMD:KIND[:ARG]";
            auto spec = v ? sim::ParseFault(v, a == "--fault-once", &error) : std::nullopt;
            if (!spec) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return false;
            }
            o->faults.push_back(*spec);
        } else {
            std::fprintf(stderr, "unknown option %s\n%s", a.c_str(), kUsage);
            return false;
        }
    }
    return true;
}

int OpenPty(std::string* path) {
    const int fd = posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0 || grantpt(fd) != 0 || unlockpt(fd) != 0) return -1;
    const char* name = ptsname(fd);
    if (!name) return -1;
    *path = name;
    // Termios set on the master applies to the terminal side: no echo, no line editing.
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

// In packet mode the pseudo-terminal tells its master when the program discards its output
// queue. The paced line then drops what has not crossed yet, as a UART's discard would; the
// kernel alone keeps whatever has reached the master.
bool StartPacketMode(int fd) {
#ifdef TIOCPKT
    int on = 1;
    return ::ioctl(fd, TIOCPKT, &on) == 0;
#else
    (void)fd;
    return false;
#endif
}

int OpenDevice(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return -1;
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        close(fd);
        return -1;
    }
    cfmakeraw(&tio);
    cfsetispeed(&tio, B19200);
    cfsetospeed(&tio, B19200);
    tio.c_cflag &= ~(PARENB | CSTOPB | CSIZE | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

double Now() {
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Waits at most `seconds` (negative: for ever); sub-millisecond where the system allows.
int Poll(pollfd* fds, nfds_t n, double seconds) {
#if defined(__linux__)
    if (seconds < 0) return ppoll(fds, n, nullptr, nullptr);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>((seconds - static_cast<double>(ts.tv_sec)) * 1e9);
    return ppoll(fds, n, &ts, nullptr);
#else
    return poll(fds, n, seconds < 0 ? -1 : static_cast<int>(std::ceil(seconds * 1000.0)));
#endif
}

// Prints the frames received since the last call; the log is emptied, so a sensor that
// serves for hours keeps a flat memory.
void LogFrames(sim::Sensor& sensor) {
    for (const auto& f : sensor.Log()) {
        std::fprintf(stderr, "%10.4f  command %d:", f.time, f.command);
        for (auto w : f.words) std::fprintf(stderr, " %u", w);
        std::fputc('\n', stderr);
    }
    sensor.ClearLog();
}

// A packet read in packet mode: data after a zero byte, or a byte of control flags.
void HandlePacket(sim::Line& link, const std::uint8_t* packet, std::size_t n, double now) {
#ifdef TIOCPKT
    if (packet[0] == TIOCPKT_DATA) {
        link.HostWrite(packet + 1, n - 1, now);
        return;
    }
    if (packet[0] & TIOCPKT_FLUSHWRITE) link.HostFlushOutput(now);
#else
    link.HostWrite(packet, n, now);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    if (!ParseArgs(argc, argv, &opt)) return 2;

    sim::Sensor sensor;
    if (!opt.verbose) sensor.SetLogLimit(0);  // nobody reads it
    for (const auto& f : opt.faults) sensor.SetFault(f.command, f.fault);
    if (!opt.firmware.empty()) sensor.FirmwareText() = opt.firmware;
    sensor.Hold(opt.hold);
    if (opt.eepromStore) sensor.SetEepromStoreSeconds(*opt.eepromStore);
    sensor.SetExcursion(opt.excursionFirst, opt.excursionCount);
    if (opt.sweep) sensor.SetMotion(sim::Sensor::Motion::kSweep);

    std::string path = opt.device;
    const int fd = opt.device.empty() ? OpenPty(&path) : OpenDevice(opt.device);
    if (fd < 0) {
        std::fprintf(stderr, "cannot open %s: %s\n",
                     opt.device.empty() ? "a pseudo-terminal" : opt.device.c_str(),
                     std::strerror(errno));
        return 1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);

    if (pipe(g_wake) != 0) return 1;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    if (!opt.link.empty()) {
        ::unlink(opt.link.c_str());  // left by a sensor that ended without tidying up
        if (::symlink(path.c_str(), opt.link.c_str()) != 0) {
            std::fprintf(stderr, "cannot link %s: %s\n", opt.link.c_str(), std::strerror(errno));
            return 1;
        }
    }
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);

    // A real device crosses its own line at 19200 baud; only the pseudo-terminal needs pacing.
    const bool paced = !opt.instant && opt.device.empty();
    sim::Line link(sensor, paced ? sim::kByteSeconds19200 : 0.0, paced ? sim::kAdapterHold : 0.0);
    const bool packets = paced && StartPacketMode(fd);
    std::vector<std::uint8_t> out;  // reply bytes due but not yet accepted by the terminal
    bool noPeer = false;            // the terminal side is closed: the master reports a hang-up

    for (;;) {
        const double now = Now();
        link.Advance(now);
        if (opt.verbose) LogFrames(sensor);
        if (link.HungUp(now)) break;

        std::uint8_t buf[512];
        for (std::size_t n; (n = link.ToHost().Take(buf, sizeof buf, now)) > 0;)
            out.insert(out.end(), buf, buf + n);
        if (!out.empty()) {
            const ssize_t w = write(fd, out.data(), out.size());
            if (w > 0) out.erase(out.begin(), out.begin() + w);
            if (w < 0 && errno != EAGAIN && errno != EINTR) out.clear();  // no one to hear it
        }

        double wait = -1.0;
        if (auto next = link.NextEvent()) wait = std::max(0.0, *next - now);
        // With no terminal side open, poll reports a hang-up at once: look again later.
        if (noPeer) wait = wait < 0 ? 0.05 : std::min(wait, 0.05);

        pollfd fds[2] = {{g_wake[0], POLLIN, 0}, {fd, 0, 0}};
        fds[1].events = static_cast<short>(POLLIN | (out.empty() ? 0 : POLLOUT));
        if (noPeer) fds[1].fd = -1;  // a hang-up is reported whatever is asked for
        const int r = Poll(fds, 2, wait);
        if (r < 0 && errno != EINTR) break;
        if (fds[0].revents & POLLIN) break;  // SIGINT or SIGTERM

        if (noPeer) {
            pollfd probe{fd, POLLIN, 0};
            Poll(&probe, 1, 0.0);
            noPeer = (probe.revents & POLLHUP) != 0;
            continue;
        }
        if (fds[1].revents & POLLIN) {
            const ssize_t n = read(fd, buf, sizeof buf);
            if (n > 0 && !packets) {
                link.HostWrite(buf, static_cast<std::size_t>(n), Now());
            } else if (n > 0) {
                HandlePacket(link, buf, static_cast<std::size_t>(n), Now());
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                noPeer = true;
            }
        } else if (fds[1].revents & (POLLHUP | POLLERR)) {
            noPeer = true;
        }
    }
    close(fd);
    if (!opt.link.empty()) ::unlink(opt.link.c_str());
    return 0;
}
