// What the simulated exchange holds: everything a client can read or write, as plain
// (un-XORed) bytes exactly as the exchange would send them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace sim {

using Bytes = std::vector<std::uint8_t>;

// Address of a block: the read command byte (bit 7 clear) and the byte that follows it
// (sub-command or block number), or -1 for commands that carry no second byte.
using BlockAddress = std::pair<int, int>;

struct ConferenceSlot {
    std::uint8_t present = 0;   // presence byte; 0 = empty record
    std::uint8_t entries = 0;   // entry count c
    Bytes payload;              // c * s bytes, s = byte 2 of the conference parameters
};

struct ExchangeState {
    // Identification reply without its link key: bytes 0-15 (0-3 are replaced by the
    // running clock, 11 by a fresh key on every request), the name, its 0 byte, then
    // the 20 count bytes.
    Bytes ident;

    // Every readable block by address: time-settings defaults (0x08,-1), time settings
    // (0x09,-1), system-wide (0x0A,-1), common book (0x0C..0x0E,-1), sub-commands
    // (0x40,sub) including billing (0x40,3), board list (0x40,9) and conference
    // parameters (0x40,0x12), and every indexed table (cmd,i); group books (0x58,i)
    // and (0x58,i|0x20).
    std::map<BlockAddress, Bytes> blocks;

    // One record per board slot, answered to the board request for that slot.
    std::vector<Bytes> boards;

    // Quick conferences by record index (0x64 i).
    std::vector<ConferenceSlot> conferences;

    // Exchange clock relative to the PC's local clock, in seconds.
    long long clockOffsetSeconds = 0;
};

struct SampleOptions {
    std::string model = "KVT700-1";   // KVT700-1, KVT250, RD16, RD32
    std::string firmware = "24,7";    // e.g. 24,7  24,4  24,3  23,8  23,7
};

// A fully populated built-in exchange of the given model and firmware. Throws
// std::invalid_argument for a model or firmware it cannot build.
ExchangeState MakeSample(const SampleOptions& options);

}  // namespace sim
