#include "link/link.h"

#include <algorithm>

namespace stanset {

void TRawImage::Clear() {
    std::fill(Bytes.begin(), Bytes.end(), 0);
    std::fill(Counts.begin(), Counts.end(), 0);
    BlocksRead = 0;
}

bool TLink::ReadByte(std::uint8_t& b) {
    const int r = line_.ReadByteWithin(kByteTimeout);
    if (r < 0) return false;
    b = static_cast<std::uint8_t>(r);
    return true;
}

void TLink::WriteWire(std::uint8_t plain, unsigned& sum) {
    const std::uint8_t wire = plain ^ LinkKey;
    line_.WriteByte(wire);
    sum += wire;
}

bool TLink::AwaitAck() { return line_.ReadByteWithin(kByteTimeout) == 0; }

int TLink::CheckLinkOnce() {
    for (int probe = 0; probe < 5; ++probe) {
        line_.PurgeInput();
        line_.WriteByte(0x00);
        if (line_.ReadByteWithin(kEchoTimeout) != 0x00) return kNoLink;
    }
    return 1;
}

int TLink::CheckLink() {
    for (int pass = 0; pass < kLinkPasses; ++pass) {
        if (pass > 0) line_.Pause(kPassPause);
        if (CheckLinkOnce() == 1) return 1;
    }
    return kNoLink;
}

int TLink::Identify(std::span<std::uint8_t, 256> reply, std::uint16_t& length) {
    length = 0;
    line_.PurgeInput();
    line_.WriteByte(0x01);
    std::uint8_t n;
    if (!ReadByte(n) || n == 255) return 0;
    for (int i = 0; i < n; ++i) {
        // A reply cut short would be decoded as garbage: refuse it as a whole.
        if (!ReadByte(reply[i])) return 0;
        length = static_cast<std::uint16_t>(i + 1);
    }
    if (n > 11) LinkKey = reply[11];
    return 1;
}

TLink::Request TLink::RequestFor(const TCommandRow& row, int block, bool write) {
    const std::uint8_t w = write ? 0x80 : 0x00;
    const auto b = static_cast<std::uint8_t>(block);
    switch (row.addressing) {
        case TAddressing::Command:
            return {{static_cast<std::uint8_t>((row.command + b) | w), 0}, 1};
        case TAddressing::SubCommand:
            return {{static_cast<std::uint8_t>(row.command | w), static_cast<std::uint8_t>(row.sub + 0x10 * b)}, 2};
        case TAddressing::Indexed:
            return {{static_cast<std::uint8_t>(row.command | w), b}, 2};
        case TAddressing::BookHalves:
            return {{static_cast<std::uint8_t>(row.command | w),
                     static_cast<std::uint8_t>((b / 2) | ((b & 1) ? 0x20 : 0))},
                    2};
    }
    return {{0, 0}, 0};
}

// Count, payload and sum of one answer; the plain payload goes to dst. -1 fails the
// attempt: a byte missing, a wrong sum, or more bytes announced than dst holds (those are
// still read so the line is quiet for the next attempt, but never stored).
int TLink::ReadAnswer(std::span<std::uint8_t> dst, bool buffered) {
    std::uint8_t n;
    if (!ReadByte(n)) return -1;
    return ReadPayload(dst, n, buffered);
}

int TLink::ReadPayload(std::span<std::uint8_t> dst, std::uint8_t n, bool buffered) {
    const bool fits = n <= dst.size();
    unsigned sum = 0;
    if (buffered && fits) {
        if (line_.ReadBuffer(dst.data(), n) < n) return -1;
        for (int k = 0; k < n; ++k) sum += dst[k];
    } else {
        for (int k = 0; k < n; ++k) {
            std::uint8_t b;
            if (!ReadByte(b)) return -1;
            sum += b;
            if (fits) dst[k] = b;
        }
    }
    std::uint8_t check;
    if (!ReadByte(check) || check != static_cast<std::uint8_t>(sum) || !fits) return -1;
    for (int k = 0; k < n; ++k) dst[k] ^= LinkKey;
    return n;
}

int TLink::ReadBlock(const TCommandRow& row, int block, std::span<std::uint8_t> dst) {
    const bool halves = row.quirks & kBookHalves;
    const bool pad = row.quirks & kPadOddCount;
    // Room for the pad byte is kept, so an odd count always fits once padded.
    std::span<std::uint8_t> room = pad && dst.size() % 2 ? dst.first(dst.size() - 1) : dst;
    const Request req = RequestFor(row, block, false);
    for (int attempt = 0; attempt < row.readAttempts; ++attempt) {
        line_.PurgeInput();
        for (int k = 0; k < req.size; ++k) line_.WriteByte(req.bytes[k]);
        if (halves) line_.PurgeInput();
        std::uint8_t n;
        if (!ReadByte(n)) continue;
        if ((row.quirks & kKeyPreamble) && block == 13) line_.Pause(10);
        int got = ReadPayload(room, n, halves);
        if (got < 0) continue;
        if (pad && got % 2) dst[got++] = 0;
        return got;
    }
    std::fill(dst.begin(), dst.end(), 0);
    return kTimeOut;
}

int TLink::WriteBlock(const TCommandRow& row, int block, std::span<const std::uint8_t> payload) {
    const bool halves = row.quirks & kBookHalves;
    const bool purgeAround = row.quirks & kPurgeAroundWrite;
    const Request req = RequestFor(row, block, true);
    const auto n = static_cast<std::uint8_t>(std::min<std::size_t>(payload.size(), 255));
    for (int attempt = 0; attempt < row.writeAttempts; ++attempt) {
        if (halves && (block & 1)) line_.FlushOutput();
        else line_.PurgeInput();
        for (int k = 0; k < req.size; ++k) line_.WriteByte(req.bytes[k]);
        if (halves) line_.PurgeInput();
        line_.WriteByte(n);
        if (purgeAround) line_.PurgeInput();
        unsigned sum = 0;
        for (int k = 0; k < n; ++k) WriteWire(payload[k], sum);
        line_.WriteByte(static_cast<std::uint8_t>(sum));
        if (purgeAround) line_.PurgeInput();
        if (AwaitAck()) return 0;
    }
    return kTimeOut;
}

int TLink::ReadTable(const TCommandRow& row, TRawImage& image, int blocks, const std::function<void()>& empty) {
    blocks = std::min({blocks, static_cast<int>(row.maxBlocks), image.BlockCount()});
    if (blocks <= 0) {
        if (empty) empty();
        return kNoBlocks;
    }
    if (CheckLink() < 0) return kNoLink;
    if (empty) empty();
    if ((row.quirks & kKeyPreamble) && !SendKeyTablePreamble()) return kPreambleRefused;
    image.BlocksRead = 0;
    for (int i = 0; i < blocks; ++i) {
        const int n = ReadBlock(row, i, image.Block(i));
        if (n < 0) {
            // Never leave a half-read table behind to be decoded.
            image.Clear();
            return kTimeOut;
        }
        image.Counts[i] = static_cast<std::uint16_t>(n);
        image.BlocksRead = i + 1;
    }
    return blocks == 1 ? image.Counts[0] : 0;
}

int TLink::WriteTable(const TCommandRow& row, const TRawImage& image, int blocks) {
    blocks = std::min({blocks, static_cast<int>(row.maxBlocks), image.BlockCount()});
    if (blocks <= 0) return kNoBlocks;
    if (CheckLink() < 0) return kNoLink;
    if ((row.quirks & kKeyPreamble) && !SendKeyTablePreamble()) return kPreambleRefused;
    if (row.quirks & kFlushBeforeWrite) line_.FlushOutput();
    for (int i = 0; i < blocks; ++i) {
        if (WriteBlock(row, i, image.Payload(i)) < 0) return kTimeOut;
    }
    return 0;
}

int TLink::ReadBoard(int j, TBoardRecord& record) {
    const auto wire = static_cast<std::uint8_t>(j ^ LinkKey);
    for (int attempt = 0; attempt < kBoardAttempts; ++attempt) {
        line_.PurgeInput();
        for (std::uint8_t b : {std::uint8_t{0xC0}, std::uint8_t{0x0A}, std::uint8_t{0x01}, wire, wire})
            line_.WriteByte(b);
        const int n = ReadAnswer(record.Data, false);
        if (n < 0) continue;
        record.Count = static_cast<std::uint8_t>(n);
        return n;
    }
    record = TBoardRecord{};
    return kTimeOut;
}

int TLink::ReadConference(int i, int entrySize, TConferenceSlot& slot) {
    for (int attempt = 0; attempt < TQuickConfCommand::readAttempts; ++attempt) {
        line_.PurgeInput();
        line_.WriteByte(TQuickConfCommand::command);
        line_.WriteByte(static_cast<std::uint8_t>(i));
        std::uint8_t present, check;
        if (!ReadByte(present)) continue;
        if (present == 0) {
            if (!ReadByte(check) || check != 0) continue;
            slot = TConferenceSlot{};
            return 0;
        }
        std::uint8_t c;
        if (!ReadByte(c)) continue;
        unsigned sum = c;
        const int size = (c ^ LinkKey) * std::max(entrySize, 0);
        const bool fits = size <= static_cast<int>(slot.Data.size());
        bool complete = true;
        std::array<std::uint8_t, TQuickConfCommand::capacity> data{};
        for (int k = 0; k < size && complete; ++k) {
            std::uint8_t b;
            complete = ReadByte(b);
            sum += b;
            if (fits) data[k] = b ^ LinkKey;
        }
        if (!complete || !ReadByte(check) || check != static_cast<std::uint8_t>(sum) || !fits) continue;
        slot.Present = present;
        slot.Entries = c ^ LinkKey;
        slot.Data = data;
        return size;
    }
    slot = TConferenceSlot{};
    return kTimeOut;
}

int TLink::WriteConference(int i, int entrySize, const TConferenceSlot& slot) {
    const int size = std::min(slot.Entries * std::max(entrySize, 0), static_cast<int>(slot.Data.size()));
    for (int attempt = 0; attempt < TQuickConfCommand::writeAttempts; ++attempt) {
        line_.PurgeInput();
        line_.WriteByte(TQuickConfCommand::command | 0x80);
        line_.WriteByte(static_cast<std::uint8_t>(i));
        line_.WriteByte(slot.Present);
        if (slot.Present != 0) {
            unsigned sum = 0;
            WriteWire(slot.Entries, sum);
            for (int k = 0; k < size; ++k) WriteWire(slot.Data[k], sum);
            line_.WriteByte(static_cast<std::uint8_t>(sum));
        }
        const int ack = line_.ReadByteWithin(kByteTimeout);
        if (ack == 0) return 0;
        if (ack == 1) {
            const int x = line_.ReadByteWithin(kByteTimeout);
            const int y = line_.ReadByteWithin(kByteTimeout);
            if (x >= 0 && y == x) return 0;
        }
    }
    return kTimeOut;
}

bool TLink::SendKeyTablePreamble() {
    line_.FlushOutput();
    for (int attempt = 0; attempt < kPreambleAttempts; ++attempt) {
        line_.WriteByte(0x84);
        line_.WriteByte(0x00);
        line_.WriteByte(0x00);
        if (AwaitAck()) return true;
    }
    return false;
}

bool TLink::SendClock(const std::array<std::uint8_t, 4>& payload) {
    for (int attempt = 0; attempt < kClockAttempts; ++attempt) {
        line_.PurgeInput();
        line_.WriteByte(0x85);
        line_.WriteByte(0x04);
        unsigned sum = 0;
        for (std::uint8_t b : payload) WriteWire(b, sum);
        line_.WriteByte(static_cast<std::uint8_t>(sum));
        line_.FlushOutput();
        if (AwaitAck()) return true;
    }
    return false;
}

}  // namespace stanset
