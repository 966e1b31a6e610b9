#include "signals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace {

std::function<void()>& TerminationHandler() {
    static std::function<void()> handler;
    return handler;
}

#ifdef Q_OS_UNIX
int wakeFds[2] = {-1, -1};

// Only async-signal-safe work here: the event loop picks the byte up.
void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFds[1], &byte, 1);
}
#endif

}  // namespace

void OnTerminationRequest(std::function<void()> handler) {
    TerminationHandler() = std::move(handler);
#ifdef Q_OS_UNIX
    if (wakeFds[0] >= 0) return;
    if (::pipe(wakeFds) != 0) return;
    for (int fd : wakeFds) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    auto* notifier =
        new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char buf[16];
        while (::read(wakeFds[0], buf, sizeof buf) > 0) {
        }
        if (TerminationHandler()) TerminationHandler()();
    });
    struct sigaction sa = {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
#endif
}
