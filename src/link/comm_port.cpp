#include "link/comm_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <regex>
#include <thread>

namespace stanset {

namespace {

std::uint64_t NowMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool SpeedFor(std::uint32_t rate, speed_t& speed) {
    static constexpr struct { std::uint32_t rate; speed_t speed; } kSpeeds[] = {
        {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},
        {19200, B19200}, {38400, B38400}, {57600, B57600},   {115200, B115200},
    };
    for (const auto& s : kSpeeds) {
        if (s.rate == rate) {
            speed = s.speed;
            return true;
        }
    }
    return false;
}

// Waits for the fd to become ready; false on time-out. A hung-up line is a read failure.
bool WaitFor(int fd, short events, int timeoutMs, std::uint8_t failCode) {
    pollfd p{fd, events, 0};
    for (;;) {
        int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) throw ECommError(failCode, errno);
        if (r == 0) return false;
        if (p.revents & events) return true;
        throw ECommError(failCode, EIO);  // POLLHUP / POLLERR / POLLNVAL
    }
}

}  // namespace

ECommError::ECommError(std::uint8_t code, int systemError)
    : std::runtime_error("serial port error " + std::to_string(code) +
                         (systemError ? std::string(" (") + std::strerror(systemError) + ")" : "")),
      Code(code),
      SystemError(systemError) {}

std::string DevicePathForPort(const std::string& name) {
    static const std::regex kCom("COM([1-9][0-9]{0,2})");
    std::smatch m;
    if (!std::regex_match(name, m, kCom)) return name;
    const std::string index = std::to_string(std::stoi(m[1].str()) - 1);
    const std::string usb = "/dev/ttyUSB" + index;
    if (::access(usb.c_str(), F_OK) == 0) return usb;
    return "/dev/ttyS" + index;
}

TCommPort::TCommPort() = default;

TCommPort::~TCommPort() {
    try {
        Close();
    } catch (const ECommError&) {
    }
}

void TCommPort::Open(const std::string& name) {
    if (open_) return;
    SetPortName(name);
    settings_ = LineSettings{19200, 8, 0, 2};

    // Non-blocking so that a missing carrier cannot hold the open; every wait is a poll().
    const std::string device = DevicePathForPort(name);
    fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) throw ECommError(8, errno);
    auto fail = [this](std::uint8_t code) {
        const int e = errno;
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
        throw ECommError(code, e);
    };
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) fail(14);
    // Exclusive use: another program opening the port now gets EBUSY.
    if (::ioctl(fd_, TIOCEXCL) != 0) fail(8);
    if (!ApplySettings()) fail(15);
    // termios has no queue sizes to set and the time-outs are applied per read, so the
    // steps that could fail there cannot fail here. A pseudo-terminal refuses the modem
    // lines; that is not an error.
    int dtr = TIOCM_DTR, rts = TIOCM_RTS;
    ::ioctl(fd_, TIOCMBIS, &dtr);
    ::ioctl(fd_, TIOCMBIC, &rts);
    open_ = true;
}

void TCommPort::Close() {
    if (!open_) return;
    ::ioctl(fd_, TIOCNXCL);  // so that the next opener is not locked out
    const int r = ::close(fd_);
    const int e = errno;
    // Linux releases the descriptor even when close() reports an error.
    fd_ = -1;
    open_ = false;
    if (r != 0 && e != EINTR) throw ECommError(11, e);
}

void TCommPort::SetPortName(const std::string& name) {
    if (open_) throw ECommError(6, 0);
    portName_ = name;
}

bool TCommPort::ApplySettings() {
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return false;
    speed_t speed;
    if (!SpeedFor(settings_.baudRate, speed)) {
        errno = EINVAL;
        return false;
    }
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    switch (settings_.byteSize) {
        case 5: t.c_cflag |= CS5; break;
        case 6: t.c_cflag |= CS6; break;
        case 7: t.c_cflag |= CS7; break;
        case 8: t.c_cflag |= CS8; break;
        default: errno = EINVAL; return false;
    }
    switch (settings_.parity) {
        case 0: break;
        case 1: t.c_cflag |= PARENB | PARODD; break;
        case 2: t.c_cflag |= PARENB; break;
        default: errno = EINVAL; return false;
    }
    if (settings_.stopBits == 2) t.c_cflag |= CSTOPB;
    else if (settings_.stopBits != 0) { errno = EINVAL; return false; }
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    return ::tcsetattr(fd_, TCSANOW, &t) == 0;
}

template <typename T>
void TCommPort::ChangeSetting(T LineSettings::*field, T value, std::uint8_t code) {
    const T old = settings_.*field;
    settings_.*field = value;
    if (open_ && !ApplySettings()) {
        const int e = errno;
        settings_.*field = old;
        throw ECommError(code, e);
    }
}

void TCommPort::SetBaudRate(std::uint32_t rate) { ChangeSetting(&LineSettings::baudRate, rate, 1); }
void TCommPort::SetByteSize(std::uint8_t size) { ChangeSetting(&LineSettings::byteSize, size, 5); }
void TCommPort::SetParity(std::uint8_t parity) { ChangeSetting(&LineSettings::parity, parity, 4); }
void TCommPort::SetStopBits(std::uint8_t code) { ChangeSetting(&LineSettings::stopBits, code, 3); }

void TCommPort::RequireOpen() const {
    if (!open_) throw ECommError(7, 0);
}

void TCommPort::PurgeInput() {
    RequireOpen();
    if (::tcflush(fd_, TCIFLUSH) != 0) throw ECommError(12, errno);
}

void TCommPort::FlushOutput() {
    RequireOpen();
    while (::tcdrain(fd_) != 0) {
        if (errno != EINTR) throw ECommError(13, errno);
    }
}

void TCommPort::WriteByte(std::uint8_t b) {
    RequireOpen();
    for (;;) {
        const ssize_t r = ::write(fd_, &b, 1);
        if (r == 1) return;
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && errno != EAGAIN) throw ECommError(9, errno);
        // Output queue full: wait as long as the write time-out allows, then give up
        // on this byte like a timed-out write does.
        if (!WaitFor(fd_, POLLOUT, kReadTotalConstant + kReadTotalPerByte, 9)) return;
    }
}

// One read with the port's time-outs: the whole run within the constant plus a
// millisecond per byte asked for, and no more than the interval between two bytes.
int TCommPort::ReadSome(std::uint8_t* buf, int n) {
    RequireOpen();
    if (n <= 0) return 0;
    const std::uint64_t deadline = NowMs() + kReadTotalConstant + kReadTotalPerByte * n;
    int got = 0;
    while (got < n) {
        const std::uint64_t now = NowMs();
        if (now >= deadline) break;
        std::uint64_t wait = deadline - now;
        if (got > 0 && wait > kReadInterval) wait = kReadInterval;
        if (!WaitFor(fd_, POLLIN, static_cast<int>(wait), 10)) break;
        const ssize_t r = ::read(fd_, buf + got, static_cast<size_t>(n - got));
        if (r < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (r < 0) throw ECommError(10, errno);
        if (r == 0) throw ECommError(10, EIO);  // readable but at end: the line is gone
        got += static_cast<int>(r);
    }
    return got;
}

int TCommPort::ReadByte() {
    std::uint8_t b;
    return ReadSome(&b, 1) == 1 ? b : -1;
}

int TCommPort::ReadBuffer(std::uint8_t* buf, int n) {
    const int got = ReadSome(buf, n);
    if (got < n) buf[got] = 0;
    return got;
}

int TCommPort::ReadByteWithin(unsigned ms) {
    int b = ReadByte();
    if (b >= 0) return b;
    const std::uint64_t deadline = NowMs() + ms;
    for (;;) {
        b = ReadByte();
        const std::uint64_t t = NowMs();
        if (b >= 0 || t > deadline) return b;
    }
}

void TCommPort::Pause(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace stanset
