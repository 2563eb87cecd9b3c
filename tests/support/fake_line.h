// An in-memory line in virtual time: what the client writes goes to a script that plays
// the exchange; reads with nothing pending cost the port's read time-out on a fake clock.
#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "link/comm_port.h"

namespace stanset::testing {

class FakeLine : public TByteLine {
public:
    // Called for every byte written; answers by pushing into Pending.
    std::function<void(FakeLine&, std::uint8_t)> OnWrite;

    std::deque<std::uint8_t> Pending;
    std::vector<std::uint8_t> Written;
    unsigned long long NowMs = 0;
    int Purges = 0, Flushes = 0;

    void PurgeInput() override { Pending.clear(), ++Purges; }
    void FlushOutput() override { ++Flushes; }
    void WriteByte(std::uint8_t b) override {
        Written.push_back(b);
        if (OnWrite) OnWrite(*this, b);
    }
    int ReadByte() override {
        if (Pending.empty()) {
            NowMs += 251;
            return -1;
        }
        const int b = Pending.front();
        Pending.pop_front();
        return b;
    }
    int ReadBuffer(std::uint8_t* buf, int n) override {
        int got = 0;
        while (got < n && !Pending.empty()) buf[got++] = ReadByte() & 0xFF;
        if (got < n) buf[got] = 0, NowMs += 250;
        return got;
    }
    int ReadByteWithin(unsigned ms) override {
        int b = ReadByte();
        if (b >= 0) return b;
        const unsigned long long deadline = NowMs + ms;
        for (;;) {
            b = ReadByte();
            if (b >= 0 || NowMs > deadline) return b;
        }
    }
    void Pause(unsigned ms) override { NowMs += ms; }
};

}  // namespace stanset::testing
