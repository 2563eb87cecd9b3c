// The simulated exchange, spoken to over its pseudo-terminal with plain reads and writes,
// so that these tests check its framing independently of the client's link code.
#include "simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "bytes.h"

namespace sim {
namespace {

using stanset::MakeWord;
using stanset::Sum8;
using stanset::XorBytes;
using Clock = std::chrono::steady_clock;

// The client's end of the line, kept as plain as possible.
class Port {
public:
    explicit Port(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        termios t{};
        if (fd_ >= 0 && tcgetattr(fd_, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~Port() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool Ok() const { return fd_ >= 0; }

    void Send(const Bytes& b) {
        std::size_t pos = 0;
        while (pos < b.size()) {
            ssize_t w = ::write(fd_, b.data() + pos, b.size() - pos);
            ASSERT_GT(w, 0);
            pos += static_cast<std::size_t>(w);
        }
    }

    // Up to n bytes, whatever has arrived when the time is up.
    Bytes Receive(std::size_t n, int ms = 1000) {
        Bytes got;
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        while (got.size() < n) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
            pollfd p{fd_, POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) break;
            std::uint8_t buf[512];
            ssize_t r = ::read(fd_, buf, std::min(sizeof buf, n - got.size()));
            if (r <= 0) break;
            got.insert(got.end(), buf, buf + r);
        }
        return got;
    }

    bool Quiet(int ms = 100) { return Receive(1, ms).empty(); }

private:
    int fd_;
};

Bytes Pattern(std::size_t n, std::uint8_t first) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(first + 7 * i);
    return b;
}

ExchangeState SmallExchange() {
    ExchangeState s;
    // Clock placeholder, flags, KVT700-1, firmware 24,7, 4 trunks, 8 lines, unit 0 (6 s),
    // serial 0x1234, name "Test", then the 20 counts.
    s.ident = {0, 0, 0, 0, 0x01, 6, 0x47, 2, 4, 8, 0, 0, 0, 0, 0x34, 0x12, 'T', 'e', 's', 't', 0};
    Bytes counts(20, 0);
    counts[0] = 2;
    counts[2] = 1;
    counts[3] = 3;
    s.ident.insert(s.ident.end(), counts.begin(), counts.end());
    s.blocks[{0x0A, -1}] = Pattern(10, 0x10);
    s.blocks[{0x40, 0x12}] = {2, 8, 1, 0, 0};
    s.blocks[{0x4C, 5}] = Pattern(33, 0xA0);
    s.boards = {{1, 2, 3}, {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70}};
    s.conferences = {{3, 2, {6, 11}}, {0, 0, {}}};
    return s;
}

long long LocalSeconds1980() {
    std::time_t now = std::time(nullptr);
    std::tm lt{};
    localtime_r(&now, &lt);
    return static_cast<long long>(now) + lt.tm_gmtoff - 315532800LL;
}

struct ReadAnswer {
    bool complete = false;
    Bytes wire;
    std::uint8_t sum = 0;
};

class SimulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim_ = std::make_unique<Simulator>(SmallExchange());
        sim_->Start();
        port_ = std::make_unique<Port>(sim_->SlavePath());
        ASSERT_TRUE(port_->Ok());
    }

    Simulator& sim() { return *sim_; }
    Port& port() { return *port_; }

    // Identification with the key undone; returns the key.
    std::uint8_t Identify(Bytes* plain = nullptr) {
        port().Send({0x01});
        Bytes n = port().Receive(1);
        if (n.size() != 1) return 0;
        Bytes reply = port().Receive(n[0]);
        if (reply.size() != n[0] || reply.size() < 16) return 0;
        const std::uint8_t key = reply[11];
        XorBytes(reply, key);
        reply[11] = key;
        if (plain) *plain = reply;
        return key;
    }

    ReadAnswer Answer() {
        ReadAnswer a;
        Bytes n = port().Receive(1);
        if (n.empty()) return a;
        a.wire = port().Receive(n[0]);
        Bytes sum = port().Receive(1);
        a.complete = a.wire.size() == n[0] && sum.size() == 1;
        if (a.complete) a.sum = sum[0];
        return a;
    }

    // A written block as the client frames it.
    static Bytes WriteRequest(Bytes head, Bytes plain, std::uint8_t key, int sumError = 0) {
        XorBytes(plain, key);
        head.push_back(static_cast<std::uint8_t>(plain.size()));
        head.insert(head.end(), plain.begin(), plain.end());
        head.push_back(static_cast<std::uint8_t>(Sum8(plain) + sumError));
        return head;
    }

    bool TranscriptHas(const std::string& line, int ms = 1000) {
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        do {
            auto t = sim().Transcript();
            if (std::find(t.begin(), t.end(), line) != t.end()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } while (Clock::now() < until);
        return false;
    }

    std::unique_ptr<Simulator> sim_;
    std::unique_ptr<Port> port_;
};

TEST_F(SimulatorTest, ProbeIsEchoedAndWrongEchoAnswersOne) {
    port().Send({0x00});
    EXPECT_EQ(port().Receive(1), Bytes{0x00});

    Faults f;
    f.wrongEcho = true;
    sim().SetFaults(f);
    port().Send({0x00});
    EXPECT_EQ(port().Receive(1), Bytes{0x01});
    EXPECT_EQ(sim().Transcript(), (std::vector<std::string>{"probe", "probe echo=01"}));
}

TEST_F(SimulatorTest, IdentificationIsKeyedAndCarriesTheRunningClock) {
    Bytes plain;
    const std::uint8_t key = Identify(&plain);
    ASSERT_NE(key, 0);
    EXPECT_EQ(key, sim().LastKey());

    const Bytes ident = SmallExchange().ident;
    ASSERT_EQ(plain.size(), ident.size());
    for (std::size_t i = 4; i < ident.size(); ++i) {
        if (i == 11) continue;
        EXPECT_EQ(plain[i], ident[i]) << "byte " << i;
    }

    // Unit 0 in byte 13 means 6 seconds.
    const long long exchange = MakeWord(plain[0], plain[1]) * 86400LL + MakeWord(plain[2], plain[3]) * 6LL;
    EXPECT_NEAR(static_cast<double>(exchange), static_cast<double>(LocalSeconds1980()), 8.0);

    std::uint8_t last = key;
    for (int i = 0; i < 20; ++i) {
        std::uint8_t next = Identify();
        ASSERT_NE(next, 0);
        EXPECT_NE(next, last);
        last = next;
    }
}

TEST_F(SimulatorTest, ReadsBlocksXoredWithTheWireSum) {
    const std::uint8_t key = Identify();
    const ExchangeState s = SmallExchange();
    struct Case {
        Bytes request;
        BlockAddress address;
    };
    for (const Case& c : {Case{{0x0A}, {0x0A, -1}}, Case{{0x40, 0x12}, {0x40, 0x12}},
                          Case{{0x4C, 0x05}, {0x4C, 5}}}) {
        SCOPED_TRACE(testing::PrintToString(c.request));
        port().Send(c.request);
        ReadAnswer a = Answer();
        ASSERT_TRUE(a.complete);
        EXPECT_EQ(a.sum, Sum8(a.wire));
        XorBytes(a.wire, key);
        EXPECT_EQ(a.wire, s.blocks.at(c.address));
    }
    EXPECT_TRUE(TranscriptHas("read 4c 05 n=33"));

    // A block the exchange does not hold: nothing, properly framed.
    port().Send({0x4C, 0x06});
    EXPECT_EQ(port().Receive(2), (Bytes{0, 0}));

    ExchangeState changed = s;
    changed.blocks[{0x0A, -1}] = {0x42};
    sim().SetState(changed);
    port().Send({0x0A});
    EXPECT_EQ(port().Receive(3), (Bytes{1, static_cast<std::uint8_t>(0x42 ^ key),
                                             static_cast<std::uint8_t>(0x42 ^ key)}));
}

TEST_F(SimulatorTest, ChecksumFaults) {
    ASSERT_NE(Identify(), 0);
    Bytes plain = SmallExchange().blocks.at({0x0A, -1});

    Faults f;
    f.badSum = 2;
    sim().SetFaults(f);
    for (int i = 0; i < 3; ++i) {
        port().Send({0x0A});
        ReadAnswer a = Answer();
        ASSERT_TRUE(a.complete);
        EXPECT_EQ(a.sum == Sum8(a.wire), i == 2) << "answer " << i;
    }
    EXPECT_EQ(sim().GetFaults().badSum, 0);

    f = {};
    f.plainSum = true;
    sim().SetFaults(f);
    port().Send({0x0A});
    ReadAnswer a = Answer();
    ASSERT_TRUE(a.complete);
    EXPECT_EQ(a.sum, Sum8(plain));

    f = {};
    f.oversize = 1;
    sim().SetFaults(f);
    port().Send({0x0A});
    a = Answer();
    ASSERT_TRUE(a.complete);
    EXPECT_EQ(a.wire.size(), plain.size() + 1);
    EXPECT_EQ(a.sum, Sum8(a.wire));
    port().Send({0x0A});
    a = Answer();
    EXPECT_EQ(a.wire.size(), plain.size());
}

TEST_F(SimulatorTest, WritesAreStoredUnderTheReadAddress) {
    const std::uint8_t key = Identify();
    struct Case {
        Bytes head;
        BlockAddress address;
    };
    for (const Case& c : {Case{{0x8A}, {0x0A, -1}}, Case{{0xC0, 0x13}, {0x40, 0x13}},
                          Case{{0xCC, 0x05}, {0x4C, 5}}}) {
        SCOPED_TRACE(testing::PrintToString(c.head));
        Bytes data = Pattern(33, 0x5A);
        port().Send(WriteRequest(c.head, data, key));
        EXPECT_EQ(port().Receive(1), Bytes{0});
        EXPECT_EQ(sim().State().blocks.at(c.address), data);
    }
    EXPECT_TRUE(TranscriptHas("write cc 05 n=33 ack=0"));

    // Read back over the wire.
    port().Send({0x4C, 0x05});
    ReadAnswer a = Answer();
    XorBytes(a.wire, key);
    EXPECT_EQ(a.wire, Pattern(33, 0x5A));
}

TEST_F(SimulatorTest, BadSumAndRefusedWritesStoreNothing) {
    const std::uint8_t key = Identify();
    const Bytes before = SmallExchange().blocks.at({0x4C, 5});

    port().Send(WriteRequest({0xCC, 0x05}, Bytes(33, 0xEE), key, 1));
    EXPECT_EQ(port().Receive(1), Bytes{1});
    EXPECT_EQ(sim().State().blocks.at({0x4C, 5}), before);

    Faults f;
    f.refuseWrites = 1;
    sim().SetFaults(f);
    port().Send(WriteRequest({0xCC, 0x05}, Bytes(33, 0xEE), key));
    EXPECT_EQ(port().Receive(1), Bytes{1});
    EXPECT_EQ(sim().State().blocks.at({0x4C, 5}), before);
    port().Send(WriteRequest({0xCC, 0x05}, Bytes(33, 0xEE), key));
    EXPECT_EQ(port().Receive(1), Bytes{0});
    EXPECT_EQ(sim().State().blocks.at({0x4C, 5}), Bytes(33, 0xEE));
}

TEST_F(SimulatorTest, BoardRequestIsFramedLikeAWriteAndAnsweredLikeARead) {
    const std::uint8_t key = Identify();
    const auto j = static_cast<std::uint8_t>(1 ^ key);
    port().Send({0xC0, 0x0A, 0x01, j, j});
    ReadAnswer a = Answer();
    ASSERT_TRUE(a.complete);
    EXPECT_EQ(a.sum, Sum8(a.wire));
    XorBytes(a.wire, key);
    EXPECT_EQ(a.wire, SmallExchange().boards[1]);
    EXPECT_TRUE(TranscriptHas("board 01 n=7"));

    const auto missing = static_cast<std::uint8_t>(5 ^ key);
    port().Send({0xC0, 0x0A, 0x01, missing, missing});
    EXPECT_EQ(port().Receive(2), (Bytes{0, 0}));
    // A board request with a wrong checksum gets nothing either.
    port().Send({0xC0, 0x0A, 0x01, j, static_cast<std::uint8_t>(j + 1)});
    EXPECT_EQ(port().Receive(2), (Bytes{0, 0}));
    EXPECT_TRUE(sim().State().blocks.count({0x40, 0x0A}) == 0);
}

TEST_F(SimulatorTest, ConferenceReadBothPresenceCases) {
    const std::uint8_t key = Identify();
    port().Send({0x64, 0x00});
    const auto c = static_cast<std::uint8_t>(2 ^ key);
    const auto e0 = static_cast<std::uint8_t>(6 ^ key);
    const auto e1 = static_cast<std::uint8_t>(11 ^ key);
    EXPECT_EQ(port().Receive(5), (Bytes{3, c, e0, e1, static_cast<std::uint8_t>(c + e0 + e1)}));

    for (std::uint8_t i : {1, 9}) {
        port().Send({0x64, i});
        EXPECT_EQ(port().Receive(2), (Bytes{0, 0})) << int(i);
    }
    EXPECT_TRUE(TranscriptHas("conf-read 00 p=3 c=2"));
}

TEST_F(SimulatorTest, ConferenceWriteStoresAndAcknowledgesPerMode) {
    const std::uint8_t key = Identify();
    auto request = [&](std::uint8_t index, int sumError) {
        Bytes wire{static_cast<std::uint8_t>(3 ^ key), static_cast<std::uint8_t>(1 ^ key),
                   static_cast<std::uint8_t>(2 ^ key), static_cast<std::uint8_t>(3 ^ key)};
        Bytes r{0xE4, index, 4};
        r.insert(r.end(), wire.begin(), wire.end());
        r.push_back(static_cast<std::uint8_t>(Sum8(wire) + sumError));
        return r;
    };
    struct Case {
        int confAck;
        Bytes ack;
    };
    for (const Case& c : {Case{0, {0}}, Case{1, {1, 0x37, 0x37}}, Case{2, {1, 0x37, 0x38}}}) {
        SCOPED_TRACE(c.confAck);
        sim().SetState(SmallExchange());
        Faults f;
        f.confAck = c.confAck;
        sim().SetFaults(f);
        port().Send(request(1, 0));
        EXPECT_EQ(port().Receive(c.ack.size()), c.ack);
        const ConferenceSlot stored = sim().State().conferences.at(1);
        EXPECT_EQ(stored.present, 4);
        EXPECT_EQ(stored.entries, 3);
        EXPECT_EQ(stored.payload, (Bytes{1, 2, 3}));
    }

    sim().SetState(SmallExchange());
    sim().SetFaults({});
    port().Send(request(1, 1));
    EXPECT_EQ(port().Receive(3), (Bytes{1, 0x37, 0x38}));
    EXPECT_EQ(sim().State().conferences.at(1).present, 0);

    // An empty record is just the presence byte.
    port().Send({0xE4, 0x00, 0x00});
    EXPECT_EQ(port().Receive(1), Bytes{0});
    EXPECT_EQ(sim().State().conferences.at(0).present, 0);
}

TEST_F(SimulatorTest, KeyTablePreamble) {
    port().Send({0x84, 0x00, 0x00});
    EXPECT_EQ(port().Receive(1), Bytes{0});
    Faults f;
    f.refusePreamble = true;
    sim().SetFaults(f);
    port().Send({0x84, 0x00, 0x00});
    EXPECT_EQ(port().Receive(1), Bytes{1});
}

TEST_F(SimulatorTest, ClockSetReadsBackThroughIdentification) {
    const std::uint8_t key = Identify();
    // 2020-02-29 12:00:05 with a 6-second unit: day 14669, 7200 units.
    const Bytes payload{0x4D, 0x39, 0x20, 0x1C};
    port().Send(WriteRequest({0x85}, payload, key));
    EXPECT_EQ(port().Receive(1), Bytes{0});
    EXPECT_TRUE(TranscriptHas("clock 2020-02-29 12:00:00 ack=0"));

    Bytes plain;
    Identify(&plain);
    EXPECT_EQ(Bytes(plain.begin(), plain.begin() + 4), payload);

    const std::uint8_t key2 = Identify();
    port().Send(WriteRequest({0x85}, {0, 0, 0, 0}, key2, 1));
    EXPECT_EQ(port().Receive(1), Bytes{1});
    port().Send(WriteRequest({0x85}, {0, 0, 0}, key2));
    EXPECT_EQ(port().Receive(1), Bytes{1});
}

TEST_F(SimulatorTest, DeadAfterCountsRequestsButNotProbes) {
    Faults f;
    f.deadAfter = 2;
    sim().SetFaults(f);
    port().Send({0x00});
    EXPECT_EQ(port().Receive(1), Bytes{0});
    ASSERT_NE(Identify(), 0);
    port().Send({0x00});
    EXPECT_EQ(port().Receive(1), Bytes{0});
    port().Send({0x0A});
    EXPECT_TRUE(Answer().complete);

    port().Send({0x00});
    EXPECT_TRUE(port().Quiet());
    port().Send({0x0A});
    EXPECT_TRUE(port().Quiet());
    EXPECT_EQ(sim().GetFaults().deadAfter, 0);
}

TEST_F(SimulatorTest, SilentAnswersNothingAndStoresNothing) {
    Faults f;
    f.silent = true;
    sim().SetFaults(f);
    port().Send({0x00});
    EXPECT_TRUE(port().Quiet());
    port().Send(WriteRequest({0x8A}, {1, 2, 3}, 0));
    EXPECT_TRUE(port().Quiet());
    EXPECT_EQ(sim().State().blocks.at({0x0A, -1}), SmallExchange().blocks.at({0x0A, -1}));

    sim().SetFaults({});
    port().Send({0x00});
    EXPECT_EQ(port().Receive(1), Bytes{0});
}

TEST_F(SimulatorTest, HalfRequestsAreDroppedAndUnknownBytesIgnored) {
    sim().SetRequestByteLimitMs(30);
    port().Send({0x4C});
    ASSERT_TRUE(TranscriptHas("drop 4c (half request)"));
    // The next byte starts a new request instead of finishing the old one.
    port().Send({0x77, 0x00});
    EXPECT_EQ(port().Receive(2, 100), Bytes{0});
    EXPECT_TRUE(TranscriptHas("unknown 77"));
}

TEST_F(SimulatorTest, ClientMayCloseAndReopen) {
    for (int i = 0; i < 3; ++i) {
        port_.reset();
        port_ = std::make_unique<Port>(sim().SlavePath());
        ASSERT_TRUE(port().Ok());
        port().Send({0x00});
        EXPECT_EQ(port().Receive(1), Bytes{0});
    }
}

std::string TempPath(const char* name) {
    return ::testing::TempDir() + "stanset-sim-" + std::to_string(::getpid()) + "-" + name;
}

TEST(SimulatorLifecycle, StopIsPromptAndCleansUpTheLink) {
    const std::string link = TempPath("link");
    const std::string log = TempPath("transcript");
    ::unlink(link.c_str());
    ASSERT_EQ(::symlink("/nonexistent", link.c_str()), 0);  // a stale link is replaced

    Options o;
    o.link = link;
    o.transcriptPath = log;
    Simulator sim(SmallExchange(), o);
    char target[256] = {};
    ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(sim.SlavePath(), target);

    std::thread server([&] { sim.Serve(); });
    {
        Port port(link);
        port.Send({0x00});
        EXPECT_EQ(port.Receive(1), Bytes{0});
    }
    const auto t0 = Clock::now();
    sim.Stop();
    server.join();
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(200));
    struct stat st {};
    EXPECT_NE(::lstat(link.c_str(), &st), 0);

    std::ifstream in(log);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "probe");
    ::unlink(log.c_str());
}

TEST(SimulatorLifecycle, RefusesToReplaceAFileWithTheLink) {
    const std::string path = TempPath("file");
    std::ofstream(path) << "keep me";
    Options o;
    o.link = path;
    EXPECT_THROW(Simulator(SmallExchange(), o), std::runtime_error);
    std::ifstream in(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep me");
    ::unlink(path.c_str());
}

TEST(SimulatorLifecycle, WireSpeedBoundsAnAnswer) {
    Options o;
    o.baud = 11000;  // 1 ms a byte
    Simulator sim(SmallExchange(), o);
    sim.Start();
    Port port(sim.SlavePath());
    const auto t0 = Clock::now();
    port.Send({0x4C, 0x05});
    EXPECT_EQ(port.Receive(35).size(), 35u);
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(34));
}

}  // namespace
}  // namespace sim
