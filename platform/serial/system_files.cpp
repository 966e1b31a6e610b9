#include "system_files.h"

#include <QFileInfo>
#include <QSettings>
#include <QString>
#include <QSysInfo>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

bool AppendDurably(const std::string& path, const std::string& bytes, std::string* error) {
#ifdef _WIN32
    const int fd =
        _open(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
#endif
    if (fd < 0) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
#ifdef _WIN32
        const int n = _write(fd, bytes.data() + done, static_cast<unsigned>(bytes.size() - done));
#else
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
#endif
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    // A line the disk has not taken is no line of the trail.
#ifdef _WIN32
    ok = ok && _commit(fd) == 0;
    const int saved = errno;
    _close(fd);
#else
    ok = ok && ::fsync(fd) == 0;
    const int saved = errno;
    ::close(fd);
#endif
    if (!ok) *error = path + ": " + std::strerror(saved ? saved : EIO);
    return ok;
}

std::string SystemUserName() {
#ifndef _WIN32
    // The account, not what the environment claims.
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name && *pw->pw_name)
        return pw->pw_name;
#endif
    for (const char* name : {"USER", "USERNAME", "LOGNAME"})
        if (const char* v = std::getenv(name); v && *v) return v;
    return "unknown";
}

std::string HostName() {
    const std::string name = QSysInfo::machineHostName().toStdString();
    return name.empty() ? "localhost" : name;
}

std::string LocalTimeWithOffset(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const std::time_t t = system_clock::to_time_t(when);
    const auto ms = duration_cast<milliseconds>(when.time_since_epoch()).count() % 1000;
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    char stamp[40], zone[8];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
    std::strftime(zone, sizeof zone, "%z", &local);  // "+0100"
    char text[64];
    std::snprintf(text, sizeof text, "%s.%03d%.3s:%.2s", stamp, static_cast<int>(ms), zone,
                  zone + 3);
    return text;
}

bool OnlyOwnerMayAccess(const std::string& path) {
#ifdef _WIN32
    (void)path;
    return true;
#else
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IRWXG | S_IRWXO)) == 0;
#endif
}

bool WritableOnlyByAdministrator(const std::string& path) {
#ifdef _WIN32
    (void)path;
    return true;
#else
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && st.st_uid == 0 &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
#endif
}

bool RunningAsAdministrator() {
#ifdef _WIN32
    return false;
#else
    return ::geteuid() == 0;
#endif
}

bool StandardInputIsTerminal() {
#ifdef _WIN32
    return _isatty(0) != 0;
#else
    return ::isatty(0) != 0;
#endif
}

bool ReadSecretFromTerminal(const std::string& prompt, std::string* line) {
    std::cerr << prompt << std::flush;
#ifndef _WIN32
    termios old{};
    const bool tty = ::tcgetattr(0, &old) == 0;
    if (tty) {
        termios quiet = old;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(0, TCSAFLUSH, &quiet);
    }
    const bool got = static_cast<bool>(std::getline(std::cin, *line));
    if (tty) ::tcsetattr(0, TCSAFLUSH, &old);
#else
    const bool got = static_cast<bool>(std::getline(std::cin, *line));
#endif
    std::cerr << "\n";
    if (got && !line->empty() && line->back() == '\r') line->pop_back();
    return got;
}

std::string SettingsFolder() {
    // Where the toolkit's settings file lies, without opening it for the program.
    const QSettings s(QSettings::IniFormat, QSettings::UserScope, "qtor", "qtor-kmb");
    return QFileInfo(s.fileName()).absolutePath().toStdString();
}
