// The payload of one table's section of a configuration file, as the table builds it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "link/link.h"

namespace stanset {

struct TFileImage {
    explicit TFileImage(std::size_t capacity) : Bytes(capacity) {}

    std::size_t Capacity() const { return Bytes.size(); }
    std::span<const std::uint8_t> Payload() const { return {Bytes.data(), Length}; }
    // Replaces the payload; false (and the image emptied) when it does not fit.
    bool Assign(std::span<const std::uint8_t> payload);

    std::vector<std::uint8_t> Bytes;
    std::uint16_t Length = 0;
    bool Refused = false;  // the last Assign did not fit: the image is empty, not the table
};

// Blocks 0 .. count-1 of an image as a record list: per block its length byte, then its
// bytes. False (and the image emptied) when the list does not fit the file image.
bool PutRecordList(TFileImage& file, const TRawImage& image, int count);

// The other way. Records missing at the end of the payload come out empty (a table
// written while cleared holds fewer records than it is read back with); bytes behind
// record `count` are ignored. False, with the image untouched, when a record is cut
// short, is longer than its slot, or the count exceeds the slots.
bool TakeRecordList(const TFileImage& file, TRawImage& image, int count);

// Walks a record list without storing it: the offset just behind record `count` (records
// missing at the end count as empty), or -1 when a record is cut short or too long.
long RecordListEnd(std::span<const std::uint8_t> bytes, int count, int maxRecord);

}  // namespace stanset
