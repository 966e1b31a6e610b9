// A system serial device through QSerialPort.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QSerialPort>
#include <algorithm>
#include <cmath>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif
#ifdef Q_OS_UNIX
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "rs232.h"
#include "serial_channel.h"
#include "timer.h"

namespace {

int Milliseconds(double seconds) {
    return seconds <= 0 ? 0 : static_cast<int>(std::ceil(seconds * 1000.0));
}

class DeviceChannel final : public SerialChannel {
  public:
    explicit DeviceChannel(std::unique_ptr<QSerialPort> port) : port_(std::move(port)) {
        QObject::connect(port_.get(), &QSerialPort::readyRead, port_.get(), [this] {
            Retune();
            if (inputChanged) inputChanged();
        });
        QObject::connect(port_.get(), &QSerialPort::errorOccurred, port_.get(),
                         [this](QSerialPort::SerialPortError e) { OnError(e); });
    }

    // Only serial calls destroy a channel, and notifications reach callbacks through the
    // event queue, never from inside a signal of this port: deleting it here is safe.
    ~DeviceChannel() override {
        port_->disconnect();
        port_->close();
    }

    bool IsOpen() const override { return !lost_ && port_->isOpen(); }

    int Write(const std::uint8_t* data, int count, double timeout) override {
        if (!IsOpen()) return kComNotOpen;
        const qint64 n = port_->write(reinterpret_cast<const char*>(data), count);
        if (n < 0) return kComIoError;
        // Nothing leaves before the event loop runs unless pushed out here.
        port_->flush();
        if (IsOpen() && port_->bytesToWrite() > 0)
            port_->waitForBytesWritten(Milliseconds(timeout));
        if (!IsOpen()) return kComNotOpen;
        return port_->bytesToWrite() > 0 ? kComTimeout : static_cast<int>(n);
    }

    int QueueLength(bool pull) override {
        if (!IsOpen()) return kComNotOpen;
        // bytesAvailable() sees only Qt's buffer; take in what the OS holds first.
        if (pull) port_->waitForReadyRead(0);
        if (!IsOpen()) return kComNotOpen;
        return static_cast<int>(port_->bytesAvailable());
    }

    int Read(std::uint8_t* out, int count, double timeout) override {
        if (!IsOpen()) return kComNotOpen;
        const double deadline = Timer() + timeout;
        int got = 0;
        for (;;) {
            const qint64 n = port_->read(reinterpret_cast<char*>(out) + got, count - got);
            if (n > 0) got += static_cast<int>(n);
            if (got >= count || !IsOpen()) break;
            const double left = deadline - Timer();
            if (left <= 0) break;
            if (!port_->waitForReadyRead(Milliseconds(left)) &&
                port_->error() != QSerialPort::TimeoutError)
                break;
        }
        Retune();
        return got;
    }

    int FlushInput() override {
        if (!IsOpen()) return kComNotOpen;
        port_->clear(QSerialPort::Input);  // kernel and Qt buffers alike
        Retune();
        return 0;
    }

    int FlushOutput() override {
        if (!IsOpen()) return kComNotOpen;
        port_->clear(QSerialPort::Output);
        return 0;
    }

    int Drain() override {
        if (!IsOpen()) return kComNotOpen;
#ifdef Q_OS_UNIX
        const int fd = static_cast<int>(port_->handle());
        if (fd >= 0 && ::tcdrain(fd) != 0 && errno != EINTR) return kComIoError;
#endif
        return 0;
    }

    // On Linux a terminal whose VMIN is n (VTIME 0) reports itself readable only once n bytes
    // are waiting: a device that delivers byte by byte then wakes the program once a frame
    // instead of once a byte. The minimum is what the watched count still lacks beyond the
    // bytes already taken in, so the frame's last byte always wakes it; with no watch (direct
    // queue reads) every byte does again.
    void WatchInput(int count) override {
        watch_ = std::max(0, count);
        Retune();
    }

    int SetHandshake(bool on) override {
        if (!IsOpen()) return kComNotOpen;
        return port_->setFlowControl(on ? QSerialPort::HardwareControl : QSerialPort::NoFlowControl)
                   ? 0
                   : kComInvalidParameter;
    }

  private:
    void Retune() {
#ifdef Q_OS_LINUX
        if (!IsOpen()) return;
        const int lacking = watch_ - static_cast<int>(port_->bytesAvailable());
        const cc_t vmin = watch_ > 0 && watch_ <= 255 ? static_cast<cc_t>(std::max(1, lacking)) : 0;
        if (vmin == vmin_) return;
        termios t{};
        const int fd = static_cast<int>(port_->handle());
        if (fd < 0 || ::tcgetattr(fd, &t) != 0) return;
        t.c_cc[VMIN] = vmin;
        t.c_cc[VTIME] = 0;
        if (::tcsetattr(fd, TCSANOW, &t) == 0) vmin_ = vmin;
#endif
    }

    void OnError(QSerialPort::SerialPortError e) {
        // NoError comes with every open, TimeoutError with every timed wait: not faults.
        if (e == QSerialPort::NoError || e == QSerialPort::TimeoutError) return;
        ++errorCount;
        // A vanished device keeps raising ReadError for ever while the port stays open.
        // The error may come from inside the port's own read notifier, which closing would
        // delete under its feet: refuse every operation now and close a moment later.
        if ((e == QSerialPort::ReadError || e == QSerialPort::ResourceError) && !lost_) {
            lost_ = true;
            QSerialPort* port = port_.get();
            QMetaObject::invokeMethod(
                port, [port] { port->close(); }, Qt::QueuedConnection);
            if (inputChanged) inputChanged();
        }
    }

    std::unique_ptr<QSerialPort> port_;
    bool lost_ = false;
    int watch_ = 0;
    unsigned char vmin_ = 0;  // as the port was opened
};

int OpenErrorCode(QSerialPort::SerialPortError e) {
    switch (e) {
        case QSerialPort::DeviceNotFoundError:
        case QSerialPort::PermissionError:
        case QSerialPort::OpenError: return kComCannotOpen;
        case QSerialPort::UnsupportedOperationError: return kComInvalidParameter;
        default: return kComUnknownSystemError;
    }
}

// The device behind a path: a symbolic link (an adapter's stable name, a test's pseudo-terminal)
// is followed, so that the serial layer's lock file names the device, whatever path reached it.
QString Resolved(const QString& device) {
    const QString canonical = QFileInfo(device).canonicalFilePath();
    return canonical.isEmpty() ? device : canonical;
}

// The process that holds the lock file of `device`, or 0. Lock files name the device by its
// path below /dev with '/' made '_' (the serial layer's own) or by its file name (older
// programs).
long LockHolder(const QString& device) {
#ifdef Q_OS_UNIX
    QString below = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    const QStringList names = {"LCK.." + below.replace('/', '_'),
                               "LCK.." + QFileInfo(device).fileName()};
    for (const char* dir : {"/var/lock", "/run/lock", "/var/spool/locks", "/tmp"}) {
        for (const QString& name : names) {
            QFile lock(QDir(QString::fromLatin1(dir)).filePath(name));
            if (!lock.open(QIODevice::ReadOnly)) continue;
            bool ok = false;
            const long pid = QString::fromLatin1(lock.readLine()).trimmed().toLong(&ok);
            if (ok && pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM))
                return pid;
        }
    }
#else
    (void)device;
#endif
    return 0;
}

std::string WhyNotOpened(const QString& device, QSerialPort::SerialPortError e) {
    if (e == QSerialPort::DeviceNotFoundError || !QFileInfo::exists(device))
        return "no such device";
    if (const long pid = LockHolder(device))
        return "in use by another program (process " + std::to_string(pid) + ")";
#ifdef Q_OS_UNIX
    if (::access(QFile::encodeName(device).constData(), R_OK | W_OK) != 0)
        return "permission denied - add the user to the dialout group, log in again";
#endif
    if (e == QSerialPort::PermissionError) return "in use by another program";
    return {};
}

// USB adapters hold a short reply back for up to 16 ms unless asked not to, which caps run
// mode near 70 % of the line's rate. Devices that cannot (a pseudo-terminal) are left alone.
void RequestLowLatency(QSerialPort& port) {
#ifdef Q_OS_LINUX
    const int fd = static_cast<int>(port.handle());
    serial_struct ss{};
    if (fd >= 0 && ::ioctl(fd, TIOCGSERIAL, &ss) == 0) {
        ss.flags |= ASYNC_LOW_LATENCY;
        ::ioctl(fd, TIOCSSERIAL, &ss);
    }
#else
    (void)port;
#endif
}

}  // namespace

std::shared_ptr<SerialChannel> OpenDeviceChannel(const std::string& device, const SerialSettings& s,
                                                 int* error, std::string* why) {
    auto port = std::make_unique<QSerialPort>();
    const QString resolved = Resolved(QString::fromStdString(device));
    port->setPortName(resolved);
    if (!port->open(QIODevice::ReadWrite)) {
        *error = OpenErrorCode(port->error());
        *why = WhyNotOpened(resolved, port->error());
        if (why->empty()) *why = port->errorString().toStdString();
        return nullptr;
    }
    static const QSerialPort::Parity kParity[] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                                  QSerialPort::EvenParity, QSerialPort::MarkParity,
                                                  QSerialPort::SpaceParity};
    const bool ok =
        port->setBaudRate(static_cast<qint32>(s.baudRate)) &&
        port->setDataBits(static_cast<QSerialPort::DataBits>(s.dataBits)) &&
        port->setParity(kParity[s.parity]) &&
        port->setStopBits(s.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
        port->setFlowControl(QSerialPort::NoFlowControl);
    if (!ok) {
        *error = kComInvalidParameter;
        *why = "settings refused by the device";
        port->close();
        return nullptr;
    }
    RequestLowLatency(*port);
    return std::make_shared<DeviceChannel>(std::move(port));
}
