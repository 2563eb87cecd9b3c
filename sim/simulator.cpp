// The exchange's side of the service link. It frames its answers itself and shares only
// the byte helpers with the client, so that a framing mistake on either side shows up.
#include "simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <stdexcept>

#include "bytes.h"

namespace sim {
namespace {

constexpr std::chrono::milliseconds kTurnaround{2};

using Clock = std::chrono::steady_clock;
using stanset::MakeWord;
using stanset::SplitWord;
using stanset::Sum8;
using stanset::XorBytes;

// Seconds from the Unix epoch to 1980-01-01, the exchange calendar's day 0.
constexpr long long kEpoch1980 = 315532800LL;
// A client that stops reading must not hold the serving thread for ever.
constexpr auto kSendLimit = std::chrono::seconds(1);

struct Stopping {};
struct HalfRequest {};

std::string Hex(unsigned v) {
    char b[4];
    std::snprintf(b, sizeof b, "%02x", v & 0xFFu);
    return b;
}

bool IsPlainRead(std::uint8_t c) {
    return c == 0x08 || c == 0x09 || c == 0x0A || c == 0x0C || c == 0x0D || c == 0x0E;
}
bool IsIndexedRead(std::uint8_t c) { return c >= 0x44 && c <= 0x60 && (c & 3) == 0; }
bool IsPlainWrite(std::uint8_t c) { return c == 0x89 || c == 0x8A || (c >= 0x8C && c <= 0x8E); }
bool IsIndexedWrite(std::uint8_t c) { return c >= 0xC4 && c <= 0xE0 && (c & 3) == 0; }

// "Always" (-1) stays; a positive count is used up one answer at a time.
bool Consume(int& counter) {
    if (counter == 0) return false;
    if (counter > 0) --counter;
    return true;
}

// The PC's local wall clock in seconds since 1980-01-01.
long long LocalSeconds1980() {
    std::time_t now = std::time(nullptr);
    std::tm lt{};
    localtime_r(&now, &lt);
    return static_cast<long long>(now) + lt.tm_gmtoff - kEpoch1980;
}

unsigned TimeUnit(const Bytes& ident) {
    return ident.size() > 13 && ident[13] != 0 ? ident[13] : 6;
}

std::string DateText(long long seconds1980) {
    std::time_t t = static_cast<std::time_t>(seconds1980 + kEpoch1980);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char b[32];
    std::strftime(b, sizeof b, "%Y-%m-%d %H:%M:%S", &tm);
    return b;
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

struct Simulator::Impl {
    Impl(ExchangeState s, Options o) : options(std::move(o)), state(std::move(s)) {
        try {
            Open();
        } catch (...) {
            Close();
            throw;
        }
    }
    ~Impl() { Close(); }

    void Open();
    void Close();
    void RemoveLink();
    void Serve();

    // Serving thread: waiting, reading, sending.
    enum class Ready { fd, timeout, stop };
    Ready WaitFor(int fd, short events, std::optional<Clock::time_point> until);
    bool Fill(std::optional<Clock::time_point> until);
    std::uint8_t First();
    std::uint8_t Next();
    Bytes NextN(std::size_t n);
    bool Send(const Bytes& out);
    void Received(std::size_t n);
    void ReleaseExclusive();
    void DrainNotify();

    // Serving thread: the requests.
    void Handle(std::uint8_t cmd);
    bool Aimed(std::uint8_t cmd, int second);
    std::string Mute(std::uint8_t cmd, int second);
    void Probe();
    void Ident();
    void Read(std::uint8_t cmd, int second);
    void Board();
    void Write(std::uint8_t cmd, int second);
    void ConfRead(std::uint8_t index);
    void ConfWrite(std::uint8_t index);
    void Preamble();
    void SetClock();
    void AnswerBlock(std::string what, const Bytes* block);
    void Reply(const std::string& line, const Bytes& out);
    void Log(const std::string& line);
    std::uint8_t NextKey();

    Options options;
    int master = -1;
    int keep = -1;      // our own slave fd: the master never sees a hang-up
    int wakeRead = -1;
    int wakeWrite = -1;
    int notify = -1;    // close events on the slave device
    std::string slavePath;
    std::string linkPath;  // set while our symlink exists
    std::atomic<bool> stopping{false};
    std::atomic<bool> serving{false};
    std::atomic<int> byteLimitMs{1000};
    std::atomic<std::uint64_t> bytesIn{0}, bytesOut{0};
    std::thread thread;
    std::mutex stopMu;

    mutable std::mutex mu;  // guards everything below; never held while waiting
    ExchangeState state;
    Faults faults;
    std::vector<std::string> transcript;
    std::uint8_t key = 0;
    bool hit = false;   // the request being served is hit by the faults
    std::uint32_t keySeed = 0x2F6B1C35u;
    std::FILE* transcriptFile = nullptr;

    // Serving thread only.
    std::uint8_t in[512];
    std::size_t inLen = 0;
    std::size_t inPos = 0;
    Clock::time_point lineFree{};
    Clock::duration byteCost{};
};

void Simulator::Impl::Open() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) Fail("posix_openpt");
    if (grantpt(master) != 0) Fail("grantpt");
    if (unlockpt(master) != 0) Fail("unlockpt");
    char name[256];
    if (ptsname_r(master, name, sizeof name) != 0) Fail("ptsname");
    slavePath = name;

    keep = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (keep < 0) Fail("open " + slavePath);
    termios tio{};
    if (tcgetattr(keep, &tio) != 0) Fail("tcgetattr");
    cfmakeraw(&tio);
    if (tcsetattr(keep, TCSANOW, &tio) != 0) Fail("tcsetattr");

    int fl = fcntl(master, F_GETFL);
    if (fl < 0 || fcntl(master, F_SETFL, fl | O_NONBLOCK) != 0) Fail("fcntl");

    int p[2];
    if (pipe2(p, O_CLOEXEC | O_NONBLOCK) != 0) Fail("pipe2");
    wakeRead = p[0];
    wakeWrite = p[1];

    // Optional: without it an exclusive lock left by a client that never sent a request
    // outlives its close (see ReleaseExclusive).
    notify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (notify >= 0 && inotify_add_watch(notify, name, IN_CLOSE) < 0) CloseFd(notify);

    if (options.baud > 0) {
        byteCost = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(11.0 / options.baud));
    }

    if (!options.transcriptPath.empty()) {
        transcriptFile = std::fopen(options.transcriptPath.c_str(), "w");
        if (!transcriptFile) Fail("open " + options.transcriptPath);
    }

    if (!options.link.empty()) {
        struct stat st{};
        if (lstat(options.link.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                throw std::runtime_error(options.link + " exists and is not a symbolic link");
            }
            if (::unlink(options.link.c_str()) != 0) Fail("unlink " + options.link);
        }
        if (::symlink(slavePath.c_str(), options.link.c_str()) != 0) Fail("symlink " + options.link);
        linkPath = options.link;
    }
}

void Simulator::Impl::RemoveLink() {
    if (linkPath.empty()) return;
    // Leave it alone if someone has pointed it elsewhere meanwhile.
    char target[256];
    ssize_t n = ::readlink(linkPath.c_str(), target, sizeof target - 1);
    if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == slavePath) {
        ::unlink(linkPath.c_str());
    }
    linkPath.clear();
}

void Simulator::Impl::Close() {
    RemoveLink();
    CloseFd(notify);
    CloseFd(wakeRead);
    CloseFd(wakeWrite);
    CloseFd(keep);
    CloseFd(master);
    if (transcriptFile) std::fclose(transcriptFile);
    transcriptFile = nullptr;
}

// ---- waiting and moving bytes ---------------------------------------------------------

Simulator::Impl::Ready Simulator::Impl::WaitFor(int fd, short events,
                                                std::optional<Clock::time_point> until) {
    for (;;) {
        pollfd p[3];
        nfds_t n = 0;
        p[n++] = {wakeRead, POLLIN, 0};
        int notifyAt = -1;
        if (notify >= 0) {
            notifyAt = static_cast<int>(n);
            p[n++] = {notify, POLLIN, 0};
        }
        int fdAt = -1;
        if (fd >= 0) {
            fdAt = static_cast<int>(n);
            p[n++] = {fd, events, 0};
        }
        timespec ts{};
        timespec* tsp = nullptr;
        if (until) {
            auto left = std::max(Clock::duration::zero(), *until - Clock::now());
            auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            ts.tv_sec = static_cast<time_t>(ns / 1000000000);
            ts.tv_nsec = static_cast<long>(ns % 1000000000);
            tsp = &ts;
        }
        int r = ::ppoll(p, n, tsp, nullptr);
        if (r < 0) {
            if (errno == EINTR) continue;
            Log(std::string("error: poll: ") + std::strerror(errno));
            return Ready::stop;
        }
        if (p[0].revents != 0 || stopping) return Ready::stop;
        if (notifyAt >= 0 && p[notifyAt].revents != 0) DrainNotify();
        if (fdAt >= 0 && p[fdAt].revents != 0) return Ready::fd;
        if (until && Clock::now() >= *until) return Ready::timeout;
    }
}

bool Simulator::Impl::Fill(std::optional<Clock::time_point> until) {
    while (inPos == inLen) {
        Ready r = WaitFor(master, POLLIN, until);
        if (r == Ready::stop) throw Stopping{};
        if (r == Ready::timeout) return false;
        ssize_t k = ::read(master, in, sizeof in);
        if (k > 0) {
            inPos = 0;
            inLen = static_cast<std::size_t>(k);
            Received(inLen);
            return true;
        }
        if (k < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        // No slave side at all; cannot happen while we hold one, but never spin on it.
        if (WaitFor(-1, 0, until) == Ready::stop) throw Stopping{};
        return false;
    }
    return true;
}

std::uint8_t Simulator::Impl::First() {
    while (!Fill(std::nullopt)) {
    }
    return in[inPos++];
}

std::uint8_t Simulator::Impl::Next() {
    if (!Fill(Clock::now() + std::chrono::milliseconds(byteLimitMs.load()))) throw HalfRequest{};
    return in[inPos++];
}

Bytes Simulator::Impl::NextN(std::size_t n) {
    Bytes b(n);
    for (auto& x : b) x = Next();
    return b;
}

void Simulator::Impl::Received(std::size_t n) {
    bytesIn += n;
    if (options.baud <= 0) return;
    lineFree = std::max(lineFree, Clock::now()) + byteCost * static_cast<long>(n);
}

bool Simulator::Impl::Send(const Bytes& out) {
    const bool throttled = options.baud > 0;
    const auto giveUp = Clock::now() + kSendLimit;
    std::size_t pos = 0;
    // An answer goes out back to back like a UART's: each byte's slot follows the last
    // one's, so a late wake-up is made up rather than added to every byte.
    if (throttled) lineFree = std::max(lineFree, Clock::now());
    while (pos < out.size()) {
        if (throttled) {
            if (WaitFor(-1, 0, lineFree) == Ready::stop) throw Stopping{};
            lineFree += byteCost;
        }
        std::size_t len = throttled ? 1 : out.size() - pos;
        for (;;) {
            ssize_t w = ::write(master, out.data() + pos, len);
            if (w > 0) {
                pos += static_cast<std::size_t>(w);
                bytesOut += static_cast<std::size_t>(w);
                break;
            }
            if (w < 0 && errno == EINTR) continue;
            if (w < 0 && errno != EAGAIN) return false;
            Ready r = WaitFor(master, POLLOUT, giveUp);
            if (r == Ready::stop) throw Stopping{};
            if (r == Ready::timeout) return false;
        }
    }
    return true;
}

// A pseudo-terminal keeps a client's TIOCEXCL after the client closes (the master still
// holds the tty), so its next open would fail with EBUSY for anyone but root. The lock
// means nothing on a simulated line; drop it once the client has been served.
void Simulator::Impl::ReleaseExclusive() { ::ioctl(keep, TIOCNXCL); }

void Simulator::Impl::DrainNotify() {
    alignas(inotify_event) char buf[1024];
    while (::read(notify, buf, sizeof buf) > 0) {
    }
    ReleaseExclusive();
}

void Simulator::Impl::Log(const std::string& line) {
    std::lock_guard lock(mu);
    transcript.push_back(line);
    if (transcriptFile) {
        std::fprintf(transcriptFile, "%s\n", line.c_str());
        std::fflush(transcriptFile);
    }
    if (options.transcriptToStderr) std::fprintf(stderr, "%s\n", line.c_str());
}

void Simulator::Impl::Reply(const std::string& line, const Bytes& out) {
    Log(line);
    if (!Send(out)) Log("answer not taken (client not reading)");
}

// ---- requests -------------------------------------------------------------------------

void Simulator::Impl::Serve() {
    if (serving.exchange(true)) return;
    try {
        for (;;) {
            std::uint8_t cmd = First();
            try {
                Handle(cmd);
            } catch (const HalfRequest&) {
                Log("drop " + Hex(cmd) + " (half request)");
            }
            ReleaseExclusive();
        }
    } catch (const Stopping&) {
    } catch (const std::exception& e) {
        Log(std::string("error: ") + e.what());
    }
    serving = false;
}

void Simulator::Impl::Handle(std::uint8_t cmd) {
    if (cmd == 0x00) return Probe();
    if (cmd == 0x01) return Ident();
    if (IsPlainRead(cmd)) return Read(cmd, -1);
    if (cmd == 0x40 || IsIndexedRead(cmd)) return Read(cmd, Next());
    if (cmd == 0x64) return ConfRead(Next());
    if (IsPlainWrite(cmd)) return Write(cmd, -1);
    if (cmd == 0xC0) {
        std::uint8_t sub = Next();
        return sub == 0x0A ? Board() : Write(cmd, sub);
    }
    if (IsIndexedWrite(cmd)) return Write(cmd, Next());
    if (cmd == 0xE4) return ConfWrite(Next());
    if (cmd == 0x84) return Preamble();
    if (cmd == 0x85) return SetClock();
    Log("unknown " + Hex(cmd));
}

// Whether the faults hit this request; uses up one spared request. Called with mu held,
// once per request.
bool Simulator::Impl::Aimed(std::uint8_t cmd, int second) {
    if (cmd == 0x00) return faults.command < 0 && faults.spare == 0;
    if (faults.command >= 0) {
        const int c = cmd & 0x7F;
        if (c != faults.command || (c == 0x40 && faults.sub >= 0 && second != faults.sub)) return false;
    }
    if (faults.spare > 0) {
        --faults.spare;
        return false;
    }
    return true;
}

// Empty when the request is to be answered; else why not. Decides whether the faults hit
// the request and counts it against deadAfter.
std::string Simulator::Impl::Mute(std::uint8_t cmd, int second) {
    std::lock_guard lock(mu);
    if (faults.deadAfter == 0) return " dead";
    hit = Aimed(cmd, second);
    if (hit && faults.silent) return " silent";
    if (hit && cmd != 0x00 && faults.deadAfter > 0) --faults.deadAfter;
    return {};
}

std::uint8_t Simulator::Impl::NextKey() {
    // Never 0 (it would hide a missing XOR) and never the previous key.
    for (;;) {
        keySeed ^= keySeed << 13;
        keySeed ^= keySeed >> 17;
        keySeed ^= keySeed << 5;
        auto k = static_cast<std::uint8_t>(keySeed >> 24);
        if (k != 0 && k != key) return k;
    }
}

void Simulator::Impl::Probe() {
    if (auto m = Mute(0x00, -1); !m.empty()) return Log("probe" + m);
    bool wrong;
    {
        std::lock_guard lock(mu);
        wrong = faults.wrongEcho;
    }
    Reply(wrong ? "probe echo=01" : "probe", {static_cast<std::uint8_t>(wrong ? 1 : 0)});
}

void Simulator::Impl::Ident() {
    if (auto m = Mute(0x01, -1); !m.empty()) return Log("ident" + m);
    Bytes reply;
    std::uint8_t k;
    {
        std::lock_guard lock(mu);
        reply = state.ident;
        if (reply.size() < 16) reply.resize(16, 0);
        if (reply.size() > 255) reply.resize(255);
        const unsigned unit = TimeUnit(reply);
        const long long secs = std::max(0LL, LocalSeconds1980() + state.clockOffsetSeconds);
        auto days = static_cast<std::uint16_t>(std::min(secs / 86400, 0xFFFFLL));
        auto units = static_cast<std::uint16_t>(std::min((secs % 86400) / unit, 0xFFFFLL));
        SplitWord(days, reply[0], reply[1]);
        SplitWord(units, reply[2], reply[3]);
        key = k = NextKey();
        XorBytes(reply, k);
        reply[11] = k;
    }
    Bytes out{static_cast<std::uint8_t>(reply.size())};
    out.insert(out.end(), reply.begin(), reply.end());
    Reply("ident key=" + Hex(k) + " n=" + std::to_string(reply.size()), out);
}

// Count, payload XORed, sum of the wire bytes; a missing block is count 0, sum 0.
void Simulator::Impl::AnswerBlock(std::string what, const Bytes* block) {
    Bytes payload;
    bool bad, plainSum, over;
    std::uint8_t k;
    {
        std::lock_guard lock(mu);
        if (block) payload = *block;
        k = key;
        bad = hit && Consume(faults.badSum);
        plainSum = faults.plainSum;
        over = hit && Consume(faults.oversize);
    }
    std::string notes;
    if (!block) notes += " missing";
    if (payload.size() > 255) {
        payload.resize(255);
        notes += " truncated";
    }
    if (over && payload.size() < 255) {
        payload.push_back(0);
        notes += " oversize";
    }
    Bytes wire = payload;
    XorBytes(wire, k);
    auto sum = plainSum ? Sum8(payload) : Sum8(wire);
    if (plainSum) notes += " plainsum";
    if (bad) {
        ++sum;
        notes += " badsum";
    }
    Bytes out{static_cast<std::uint8_t>(wire.size())};
    out.insert(out.end(), wire.begin(), wire.end());
    out.push_back(sum);
    Reply(what + " n=" + std::to_string(wire.size()) + notes, out);
}

void Simulator::Impl::Read(std::uint8_t cmd, int second) {
    std::string what = "read " + Hex(cmd) + (second >= 0 ? " " + Hex(second) : "");
    if (auto m = Mute(cmd, second); !m.empty()) return Log(what + m);
    std::optional<Bytes> block;
    {
        std::lock_guard lock(mu);
        auto it = state.blocks.find({cmd, second});
        if (it != state.blocks.end()) block = it->second;
    }
    // The client purges its input right after a group-book request; a real exchange is
    // never that quick to answer, so neither is this one.
    if (cmd == 0x58) std::this_thread::sleep_for(kTurnaround);
    AnswerBlock(what, block ? &*block : nullptr);
}

// Framed like a write of one byte (the slot number), answered like a read.
void Simulator::Impl::Board() {
    std::uint8_t n = Next();
    Bytes wire = NextN(n);
    std::uint8_t sum = Next();
    if (auto m = Mute(0xC0, 0x0A); !m.empty()) return Log("board" + m);
    if (n != 1 || sum != Sum8(wire)) {
        return AnswerBlock("board bad-request n=" + std::to_string(n), nullptr);
    }
    std::optional<Bytes> board;
    std::uint8_t j;
    {
        std::lock_guard lock(mu);
        j = static_cast<std::uint8_t>(wire[0] ^ key);
        if (j < state.boards.size()) board = state.boards[j];
    }
    AnswerBlock("board " + Hex(j), board ? &*board : nullptr);
}

void Simulator::Impl::Write(std::uint8_t cmd, int second) {
    std::uint8_t n = Next();
    Bytes wire = NextN(n);
    std::uint8_t sum = Next();
    std::string what = "write " + Hex(cmd) + (second >= 0 ? " " + Hex(second) : "") +
                       " n=" + std::to_string(n);
    if (auto m = Mute(cmd, second); !m.empty()) return Log(what + m);
    std::uint8_t ack = 0;
    {
        std::lock_guard lock(mu);
        if (sum != Sum8(wire)) {
            ack = 1;
            what += " ack=1 badsum";
        } else if (hit && Consume(faults.refuseWrites)) {
            ack = 1;
            what += " ack=1 refused";
        } else {
            XorBytes(wire, key);
            state.blocks[{cmd & 0x7F, second}] = std::move(wire);
            what += " ack=0";
        }
    }
    // As above: settings writes are followed by a purge before the acknowledgement is read.
    if (cmd == 0x89 || cmd == 0x8A) std::this_thread::sleep_for(kTurnaround);
    Reply(what, {ack});
}

void Simulator::Impl::ConfRead(std::uint8_t index) {
    std::string what = "conf-read " + Hex(index);
    if (auto m = Mute(0x64, index); !m.empty()) return Log(what + m);
    ConferenceSlot slot;
    bool bad, plainSum;
    std::uint8_t k;
    {
        std::lock_guard lock(mu);
        if (index < state.conferences.size()) slot = state.conferences[index];
        k = key;
        bad = hit && Consume(faults.badSum);
        plainSum = faults.plainSum;
    }
    Bytes out{slot.present};
    std::uint8_t sum = 0;
    what += " p=" + std::to_string(slot.present);
    if (slot.present != 0) {
        Bytes plain{slot.entries};
        plain.insert(plain.end(), slot.payload.begin(), slot.payload.end());
        Bytes wire = plain;
        XorBytes(wire, k);
        sum = plainSum ? Sum8(plain) : Sum8(wire);
        out.insert(out.end(), wire.begin(), wire.end());
        what += " c=" + std::to_string(slot.entries);
        if (plainSum) what += " plainsum";
    }
    if (bad) {
        ++sum;
        what += " badsum";
    }
    out.push_back(sum);
    Reply(what, out);
}

void Simulator::Impl::ConfWrite(std::uint8_t index) {
    ConferenceSlot slot;
    slot.present = Next();
    std::string what = "conf-write " + Hex(index) + " p=" + std::to_string(slot.present);
    bool sumOk = true;
    std::uint8_t k = 0;
    if (slot.present != 0) {
        std::size_t s = 0;
        {
            std::lock_guard lock(mu);
            k = key;
            auto it = state.blocks.find({0x40, 0x12});
            if (it != state.blocks.end() && it->second.size() > 2) s = it->second[2];
        }
        std::uint8_t cWire = Next();
        slot.entries = static_cast<std::uint8_t>(cWire ^ k);
        slot.payload = NextN(slot.entries * s);
        std::uint8_t sum = Next();
        sumOk = sum == static_cast<std::uint8_t>(cWire + Sum8(slot.payload));
        XorBytes(slot.payload, k);
        what += " c=" + std::to_string(slot.entries);
    }
    if (auto m = Mute(0xE4, index); !m.empty()) return Log(what + m);
    const Bytes refused{1, 0x37, 0x38};
    Bytes ack;
    {
        std::lock_guard lock(mu);
        if (!sumOk) {
            ack = refused;
            what += " ack=1 badsum";
        } else if (hit && Consume(faults.refuseWrites)) {
            ack = refused;
            what += " ack=1 refused";
        } else {
            if (state.conferences.size() <= index) state.conferences.resize(index + 1u);
            state.conferences[index] = std::move(slot);
            switch (faults.confAck) {
                case 1: ack = {1, 0x37, 0x37}; break;
                case 2: ack = refused; break;
                default: ack = {0}; break;
            }
            what += ack.size() == 1 ? " ack=0" : " ack=1 37 " + Hex(ack[2]);
        }
    }
    Reply(what, ack);
}

void Simulator::Impl::Preamble() {
    std::uint8_t n = Next();
    Bytes wire = NextN(n);
    std::uint8_t sum = Next();
    if (auto m = Mute(0x84, -1); !m.empty()) return Log("preamble" + m);
    bool refuse;
    {
        std::lock_guard lock(mu);
        refuse = faults.refusePreamble || n != 0 || sum != Sum8(wire);
    }
    Reply(refuse ? "preamble ack=1" : "preamble ack=0", {static_cast<std::uint8_t>(refuse)});
}

void Simulator::Impl::SetClock() {
    std::uint8_t n = Next();
    Bytes wire = NextN(n);
    std::uint8_t sum = Next();
    if (auto m = Mute(0x85, -1); !m.empty()) return Log("clock" + m);
    if (n != 4 || sum != Sum8(wire)) return Reply("clock n=" + std::to_string(n) + " ack=1", {1});
    long long secs;
    {
        std::lock_guard lock(mu);
        XorBytes(wire, key);
        secs = MakeWord(wire[0], wire[1]) * 86400LL + MakeWord(wire[2], wire[3]) * 1LL * TimeUnit(state.ident);
        // Kept as an offset so the exchange clock runs on with the PC's.
        state.clockOffsetSeconds = secs - LocalSeconds1980();
    }
    Reply("clock " + DateText(secs) + " ack=0", {0});
}

// ---- public face ------------------------------------------------------------------------

Simulator::Simulator(ExchangeState state, Options options)
    : impl_(std::make_unique<Impl>(std::move(state), std::move(options))),
      slavePath_(impl_->slavePath) {}

Simulator::~Simulator() {
    Stop();
}

void Simulator::Start() {
    std::lock_guard lock(impl_->stopMu);
    if (impl_->thread.joinable() || impl_->stopping) return;
    impl_->thread = std::thread([this] { impl_->Serve(); });
}

void Simulator::Stop() {
    std::lock_guard lock(impl_->stopMu);
    if (!impl_->stopping.exchange(true)) {
        char b = 1;
        [[maybe_unused]] auto r = ::write(impl_->wakeWrite, &b, 1);
    }
    if (impl_->thread.joinable() && impl_->thread.get_id() != std::this_thread::get_id()) {
        impl_->thread.join();
    }
    impl_->RemoveLink();
}

void Simulator::Serve() { impl_->Serve(); }

void Simulator::SetFaults(const Faults& f) {
    std::lock_guard lock(impl_->mu);
    impl_->faults = f;
}

Faults Simulator::GetFaults() const {
    std::lock_guard lock(impl_->mu);
    return impl_->faults;
}

ExchangeState Simulator::State() const {
    std::lock_guard lock(impl_->mu);
    return impl_->state;
}

void Simulator::SetState(ExchangeState state) {
    std::lock_guard lock(impl_->mu);
    impl_->state = std::move(state);
}

std::vector<std::string> Simulator::Transcript() const {
    std::lock_guard lock(impl_->mu);
    return impl_->transcript;
}

void Simulator::ClearTranscript() {
    std::lock_guard lock(impl_->mu);
    impl_->transcript.clear();
}

std::uint8_t Simulator::LastKey() const {
    std::lock_guard lock(impl_->mu);
    return impl_->key;
}

Simulator::ByteCounts Simulator::LineBytes() const { return {impl_->bytesIn.load(), impl_->bytesOut.load()}; }

void Simulator::SetRequestByteLimitMs(int ms) { impl_->byteLimitMs = std::max(1, ms); }

}  // namespace sim
