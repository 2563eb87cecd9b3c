#include "link/comm_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>

namespace stanset {
namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

// A bare pseudo-terminal: the test writes on the master what "the exchange" sends.
class CommPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[256];
        ASSERT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
        path_ = name;
        port_.Open(path_);
    }
    void TearDown() override {
        port_.Close();
        ::close(slave_);
        ::close(master_);
    }
    void Send(std::initializer_list<std::uint8_t> bytes) {
        for (std::uint8_t b : bytes) ASSERT_EQ(::write(master_, &b, 1), 1);
        ::usleep(5000);  // let the pty hand them over
    }
    int master_ = -1, slave_ = -1;
    std::string path_;
    TCommPort port_;
};

TEST_F(CommPortTest, ReadByteGivesMinusOneAfterTheReadTimeout) {
    auto t0 = Clock::now();
    EXPECT_EQ(port_.ReadByte(), -1);
    EXPECT_GE(MsSince(t0), 245);
    EXPECT_LT(MsSince(t0), 600);
}

TEST_F(CommPortTest, ReadByteWithinReturnsWaitingByteAtOnce) {
    Send({0x5A});
    auto t0 = Clock::now();
    EXPECT_EQ(port_.ReadByteWithin(500), 0x5A);
    EXPECT_LT(MsSince(t0), 50);
}

TEST_F(CommPortTest, ReadByteWithinOnSilenceCostsTwoPortTimeoutsEvenForShortLimits) {
    auto t0 = Clock::now();
    EXPECT_EQ(port_.ReadByteWithin(20), -1);
    EXPECT_GE(MsSince(t0), 490);
}

TEST_F(CommPortTest, ShortReadBufferReturnsCountAndStoresZeroBehind) {
    Send({1, 2, 3});
    std::uint8_t buf[5] = {9, 9, 9, 9, 9};
    EXPECT_EQ(port_.ReadBuffer(buf, 5), 3);
    EXPECT_EQ(buf[2], 3);
    EXPECT_EQ(buf[3], 0);
    EXPECT_EQ(buf[4], 9);
}

TEST_F(CommPortTest, PurgeDiscardsWhatWasReceived) {
    Send({7, 8});
    port_.PurgeInput();
    Send({9});
    EXPECT_EQ(port_.ReadByte(), 9);
}

TEST_F(CommPortTest, BytesWrittenReachTheOtherEnd) {
    port_.WriteByte(0x84);
    port_.FlushOutput();
    std::uint8_t b = 0;
    ASSERT_EQ(::read(master_, &b, 1), 1);
    EXPECT_EQ(b, 0x84);
}

TEST_F(CommPortTest, OpenWhileOpenChangesNothingAndRenameIsRefused) {
    port_.Open("/dev/nonexistent");
    EXPECT_TRUE(port_.IsOpen());
    EXPECT_EQ(port_.PortName(), path_);
    try {
        port_.SetPortName("COM2");
        FAIL() << "renamed while open";
    } catch (const ECommError& e) {
        EXPECT_EQ(e.Code, 6);
    }
    EXPECT_EQ(port_.PortName(), path_);
}

TEST_F(CommPortTest, LineSettingRejectedWhileOpenKeepsOldValue) {
    try {
        port_.SetByteSize(9);
        FAIL();
    } catch (const ECommError& e) {
        EXPECT_EQ(e.Code, 5);
    }
    port_.SetBaudRate(9600);  // accepted and applied
    EXPECT_TRUE(port_.IsOpen());
}

TEST(CommPort, FailuresCarryTheirCodes) {
    struct Case {
        const char* device;
        int code;
    } cases[] = {{"/dev/stanset-no-such-port", 8}, {"/dev/null", 14}};
    for (const auto& c : cases) {
        TCommPort port;
        try {
            port.Open(c.device);
            FAIL() << c.device;
        } catch (const ECommError& e) {
            EXPECT_EQ(e.Code, c.code) << c.device;
        }
        EXPECT_FALSE(port.IsOpen());
        try {
            port.WriteByte(0);
            FAIL();
        } catch (const ECommError& e) {
            EXPECT_EQ(e.Code, 7);
        }
        port.Close();  // closed: nothing happens
    }
}

TEST(CommPort, ComNamesMapToDevices) {
    const std::string com3 = DevicePathForPort("COM3");
    EXPECT_TRUE(com3 == "/dev/ttyUSB2" || com3 == "/dev/ttyS2") << com3;
    EXPECT_EQ(DevicePathForPort("COM1").back(), '0');
    EXPECT_EQ(DevicePathForPort("/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(DevicePathForPort("COM0"), "COM0");
}

}  // namespace
}  // namespace stanset
