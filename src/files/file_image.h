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
};

// Blocks 0 .. count-1 of an image as a record list: per block its length byte, then its
// bytes. False (and the image emptied) when the list does not fit the file image.
bool PutRecordList(TFileImage& file, const TRawImage& image, int count);

// The other way. Blocks past the list keep what they held. False, with the image
// untouched, when the list is cut short, a record is longer than its slot, the count
// exceeds the slots, or bytes are left over.
bool TakeRecordList(const TFileImage& file, TRawImage& image, int count);

// Walks a record list without storing it: the offset just behind record `count`, or -1.
long RecordListEnd(std::span<const std::uint8_t> bytes, int count, int maxRecord);

}  // namespace stanset
