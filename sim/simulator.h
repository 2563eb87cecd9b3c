// The exchange side of the service link, served on a pseudo-terminal.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "exchange_state.h"

namespace sim {

// Faults the exchange can be told to show. Counters count down as they are used;
// -1 means "always".
struct Faults {
    int badSum = 0;             // next k read answers carry a wrong checksum
    bool plainSum = false;      // checksum over plain bytes instead of wire bytes
    bool silent = false;        // answer nothing at all
    bool wrongEcho = false;     // link probes are answered with 0x01
    int refuseWrites = 0;       // next k written blocks are refused (ack 1)
    bool refusePreamble = false;// key-table preamble refused
    int deadAfter = -1;         // go silent after this many requests (-1: never)
    int oversize = 0;           // next k read answers announce one byte more than held
    int confAck = 0;            // conference writes answered 0 (0), 1 x x (1), 1 x y (2)

    // Aims badSum, oversize, silent, refuseWrites and deadAfter at one table: with command
    // >= 0 they hit and count only its requests (a write as its read command, 0xCC as 0x4C;
    // with sub >= 0 only that byte after 0x40). The first `spare` aimed requests pass
    // unharmed, so a fault can start in the middle of a table. Link probes are hit only
    // while nothing is aimed or spared; a dead link is dead to everything.
    int command = -1;
    int sub = -1;
    int spare = 0;
};

struct Options {
    double baud = 0;            // 0: unthrottled; else every byte costs 11/baud s
    std::string link;           // optional symlink to the slave device
    std::string transcriptPath; // optional file that receives the transcript too
    bool transcriptToStderr = false;
};

class Simulator {
public:
    Simulator(ExchangeState state, Options options = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Path of the pseudo-terminal's slave side, the client's "serial port".
    const std::string& SlavePath() const { return slavePath_; }

    void Start();           // serve on a thread of its own
    void Stop();            // idempotent; also done by the destructor
    void Serve();           // serve on the calling thread until Stop() from another thread

    void SetFaults(const Faults& f);
    Faults GetFaults() const;
    ExchangeState State() const;            // copy, safe while serving
    void SetState(ExchangeState state);

    // One line per request served, e.g. "read 4c 05 n=33", "write c8 00 n=12 ack=0".
    std::vector<std::string> Transcript() const;
    void ClearTranscript();
    std::uint8_t LastKey() const;           // key handed out by the last identification

    // Bytes that crossed the line since the start: received from and sent to the client.
    struct ByteCounts {
        std::uint64_t received = 0, sent = 0;
    };
    ByteCounts LineBytes() const;

    // How long a started request may wait for its next byte before it is dropped
    // (1000 ms unless set; tests shorten it).
    void SetRequestByteLimitMs(int ms);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string slavePath_;
};

}  // namespace sim
