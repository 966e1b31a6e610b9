// Starts the built qtor-sensor-sim for a test and stops it again. POSIX only, test side.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

class SimProcess {
  public:
    // `errorFile`: where its standard error goes (its log of received frames with --verbose).
    explicit SimProcess(const std::vector<std::string>& args, const std::string& errorFile = "") {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            if (!errorFile.empty()) {
                const int err = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (err >= 0) dup2(err, 2);
            }
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv;
            std::string exe = QTOR_BIN_DIR "/qtor-sensor-sim";
            argv.push_back(exe.data());
            std::vector<std::string> copy = args;
            for (auto& a : copy) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(exe.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        stdout_ = out[0];
        path_ = ReadLine(5.0);
    }
    ~SimProcess() {
        Stop(SIGKILL);
        if (stdout_ >= 0) close(stdout_);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The terminal side of the pseudo-terminal, from the first line the program prints.
    const std::string& path() const { return path_; }
    bool running() const { return pid_ > 0 && !exited_; }

    // Sends `sig` (0: none) and waits up to `seconds` for the exit; returns the exit status,
    // or -1 when the process did not end.
    int Stop(int sig = SIGTERM, double seconds = 5.0) {
        if (pid_ <= 0) return -1;
        if (!exited_ && sig) kill(pid_, sig);
        return Wait(seconds);
    }
    int Wait(double seconds) {
        if (exited_) return status_;
        for (int i = 0; i < static_cast<int>(seconds * 1000); ++i) {
            int st = 0;
            if (waitpid(pid_, &st, WNOHANG) == pid_) {
                exited_ = true;
                status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
                return status_;
            }
            usleep(1000);
        }
        return -1;
    }

  private:
    std::string ReadLine(double seconds) {
        std::string line;
        pollfd p{stdout_, POLLIN, 0};
        while (poll(&p, 1, static_cast<int>(seconds * 1000)) > 0) {
            char c;
            if (read(stdout_, &c, 1) != 1 || c == '\n') break;
            line += c;
        }
        return line;
    }

    pid_t pid_ = -1;
    int stdout_ = -1;
    std::string path_;
    bool exited_ = false;
    int status_ = -1;
};
