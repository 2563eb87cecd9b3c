// The service-link protocol: link check, identification and block transactions.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "link/comm_port.h"

namespace stanset {

// Result codes of the transfer operations.
constexpr int kNoLink = -1;
constexpr int kNoBlocks = -2;
constexpr int kPreambleRefused = -4;
constexpr int kTimeOut = -5;

// How the blocks of a table are addressed in a request.
enum class TAddressing : std::uint8_t {
    Command,     // the command byte alone; block i is sent as command + i
    SubCommand,  // 0x40 (write 0xC0) and a sub-command; block i is sub + 0x10 * i
    Indexed,     // the command and the block number i
    BookHalves,  // the command and, for block 2b + h, the book b | 0x20 * h
};

// Deviations of one table from the generic transactions.
enum TQuirk : unsigned {
    kPadOddCount = 1u << 0,       // an odd count gets a 0 byte so the block holds whole words
    kPurgeAroundWrite = 1u << 1,  // purge after the count and after the sum when writing
    kFlushBeforeWrite = 1u << 2,  // flush the output once before the first block written
    kKeyPreamble = 1u << 3,       // the key-table preamble must be accepted first
    kBookHalves = 1u << 4,        // extra purge/flush and one buffered read per half
};

// One row of the command table.
struct TCommandRow {
    const char* name;
    std::uint8_t command;  // the read command; a write sets bit 7
    TAddressing addressing;
    std::uint8_t sub;      // the sub-command of SubCommand rows
    std::uint16_t capacity;
    std::uint8_t readAttempts;
    std::uint8_t writeAttempts;
    std::uint16_t maxBlocks;
    unsigned quirks;
};

namespace rows {
// clang-format off
inline constexpr TCommandRow TimeDefaults {"time-settings defaults", 0x08, TAddressing::Command,    0x00, 100, 11,  0,   1, 0};
inline constexpr TCommandRow TimeSettings {"time settings",          0x09, TAddressing::Command,    0x00, 255, 11, 11,   1, kPadOddCount | kPurgeAroundWrite};
inline constexpr TCommandRow AllSys       {"system-wide settings",   0x0A, TAddressing::Command,    0x00, 100, 11, 11,   1, kPurgeAroundWrite};
inline constexpr TCommandRow CommonBook   {"common phone book",      0x0C, TAddressing::Command,    0x00, 255, 11, 11,   3, kFlushBeforeWrite};
inline constexpr TCommandRow Redirects    {"redirect table",         0x40, TAddressing::SubCommand, 0x00, 255, 11, 11,   1, 0};
inline constexpr TCommandRow ProgNumbers  {"program numbers",        0x40, TAddressing::SubCommand, 0x01, 255, 11, 11,   2, 0};
inline constexpr TCommandRow Flash        {"flash settings",         0x40, TAddressing::SubCommand, 0x02, 255, 11, 11,   1, 0};
inline constexpr TCommandRow Billing      {"billing buffer",         0x40, TAddressing::SubCommand, 0x03, 100, 11,  0,   1, 0};
inline constexpr TCommandRow BoardList    {"board list",             0x40, TAddressing::SubCommand, 0x09, 255, 11,  0,   1, 0};
inline constexpr TCommandRow ConfParams   {"conference parameters",  0x40, TAddressing::SubCommand, 0x12,   5, 11,  0,   1, 0};
inline constexpr TCommandRow BWBooks      {"black and white books",  0x40, TAddressing::SubCommand, 0x13, 255, 10, 11,   1, 0};
inline constexpr TCommandRow Directions   {"direction tables",       0x44, TAddressing::Indexed,    0x00, 255, 11, 11, 100, 0};
inline constexpr TCommandRow Trunks       {"trunk lines",            0x48, TAddressing::Indexed,    0x00, 255, 11, 11, 200, 0};
inline constexpr TCommandRow Lines        {"subscriber lines",       0x4C, TAddressing::Indexed,    0x00, 128, 10, 11, 500, 0};
inline constexpr TCommandRow Groups       {"groups",                 0x50, TAddressing::Indexed,    0x00, 255, 10, 11,  20, 0};
inline constexpr TCommandRow Intercoms    {"intercoms",              0x54, TAddressing::Indexed,    0x00,  64, 11, 11,  10, 0};
inline constexpr TCommandRow GroupBooks   {"group phone books",      0x58, TAddressing::BookHalves, 0x00, 255, 11, 11,  40, kBookHalves};
inline constexpr TCommandRow GGS          {"loudspeaker channels",   0x5C, TAddressing::Indexed,    0x00,  64, 11, 11,  10, 0};
inline constexpr TCommandRow STAKeys      {"system-phone key tables",0x60, TAddressing::Indexed,    0x00, 255, 11, 11, 150, kKeyPreamble};
// clang-format on
}  // namespace rows

// Quick conferences travel in a framing of their own.
struct TQuickConfCommand {
    static constexpr std::uint8_t command = 0x64;
    static constexpr std::uint8_t readAttempts = 10;
    static constexpr std::uint8_t writeAttempts = 11;
    static constexpr int maxRecords = 60;
    static constexpr int capacity = 255;
};

// A table's raw image: blocks of one capacity, each with the count of bytes it holds.
struct TRawImage {
    TRawImage(int blocks, int capacity)
        : Capacity(capacity), Bytes(static_cast<std::size_t>(blocks) * capacity), Counts(blocks) {}

    int BlockCount() const { return static_cast<int>(Counts.size()); }
    std::span<std::uint8_t> Block(int i) {
        return {Bytes.data() + static_cast<std::size_t>(i) * Capacity, static_cast<std::size_t>(Capacity)};
    }
    std::span<const std::uint8_t> Block(int i) const {
        return {Bytes.data() + static_cast<std::size_t>(i) * Capacity, static_cast<std::size_t>(Capacity)};
    }
    std::span<const std::uint8_t> Payload(int i) const { return Block(i).first(Counts[i]); }
    void Clear();

    int Capacity;
    std::vector<std::uint8_t> Bytes;
    std::vector<std::uint16_t> Counts;
    int BlocksRead = 0;  // blocks the last read delivered
};

struct TConferenceSlot {
    std::uint8_t Present = 0;
    std::uint8_t Entries = 0;
    std::array<std::uint8_t, TQuickConfCommand::capacity> Data{};
};

struct TBoardRecord {
    std::array<std::uint8_t, 12> Data{};
    std::uint8_t Count = 0;
};

// The transactions over one line. The link key lives here from one identification to the next.
class TLink {
public:
    explicit TLink(TByteLine& line) : line_(line) {}

    static constexpr unsigned kByteTimeout = 500;   // ms for each byte of an answer
    static constexpr unsigned kEchoTimeout = 20;    // ms for a link-check echo
    static constexpr int kLinkPasses = 11;
    static constexpr unsigned kPassPause = 300;     // ms between link-check passes
    static constexpr int kPreambleAttempts = 21;
    static constexpr int kClockAttempts = 11;
    static constexpr int kBoardAttempts = 11;
    static constexpr int kBoardCapacity = 12;

    int CheckLinkOnce();
    int CheckLink();

    // Fetches the identification reply (still XORed) into reply; length gets the count.
    // 1, or 0 when the count byte is 255 or an announced byte never arrives.
    int Identify(std::span<std::uint8_t, 256> reply, std::uint16_t& length);

    // One block of a table: the count (>= 0) or kTimeOut with the block zeroed.
    int ReadBlock(const TCommandRow& row, int block, std::span<std::uint8_t> dst);
    // 0 accepted, or kTimeOut.
    int WriteBlock(const TCommandRow& row, int block, std::span<const std::uint8_t> payload);

    // Blocks 0 .. blocks-1 of a table, with the link check first. Single-block tables give
    // the count; others 0. kTimeOut leaves the whole image zeroed. A table that starts from
    // empty slots passes `empty`: it runs once the link check has passed (or when there is
    // nothing to read), so a lost link leaves the table held before.
    int ReadTable(const TCommandRow& row, TRawImage& image, int blocks, const std::function<void()>& empty = {});
    int WriteTable(const TCommandRow& row, const TRawImage& image, int blocks);

    // One board record (j is the slot); the count or kTimeOut.
    int ReadBoard(int j, TBoardRecord& record);

    // Quick conference record i with entries of entrySize bytes.
    int ReadConference(int i, int entrySize, TConferenceSlot& slot);
    int WriteConference(int i, int entrySize, const TConferenceSlot& slot);

    bool SendKeyTablePreamble();
    // The four plain payload bytes of the clock; true once acknowledged.
    bool SendClock(const std::array<std::uint8_t, 4>& payload);

    TByteLine& Line() { return line_; }

    std::uint8_t LinkKey = 0;

private:
    struct Request {
        std::uint8_t bytes[2];
        int size;
    };
    static Request RequestFor(const TCommandRow& row, int block, bool write);
    int ReadAnswer(std::span<std::uint8_t> dst, bool buffered);
    int ReadPayload(std::span<std::uint8_t> dst, std::uint8_t n, bool buffered);
    bool ReadByte(std::uint8_t& b);
    void WriteWire(std::uint8_t plain, unsigned& sum);
    bool AwaitAck();

    TByteLine& line_;
};

}  // namespace stanset
