#include "files/file_image.h"

#include <algorithm>

namespace stanset {

bool TFileImage::Assign(std::span<const std::uint8_t> payload) {
    Refused = payload.size() > Bytes.size() || payload.size() > 0xFFFF;
    if (Refused) {
        Length = 0;
        return false;
    }
    std::copy(payload.begin(), payload.end(), Bytes.begin());
    Length = static_cast<std::uint16_t>(payload.size());
    return true;
}

bool PutRecordList(TFileImage& file, const TRawImage& image, int count) {
    std::vector<std::uint8_t> out;
    count = std::clamp(count, 0, image.BlockCount());
    for (int i = 0; i < count; ++i) {
        const auto block = image.Payload(i).first(std::min<std::size_t>(image.Counts[i], 255));
        out.push_back(static_cast<std::uint8_t>(block.size()));
        out.insert(out.end(), block.begin(), block.end());
    }
    return file.Assign(out);
}

long RecordListEnd(std::span<const std::uint8_t> bytes, int count, int maxRecord) {
    std::size_t at = 0;
    for (int i = 0; i < count && at < bytes.size(); ++i) {
        const std::size_t n = bytes[at];
        if (static_cast<int>(n) > maxRecord || at + 1 + n > bytes.size()) return -1;
        at += 1 + n;
    }
    return static_cast<long>(at);
}

bool TakeRecordList(const TFileImage& file, TRawImage& image, int count) {
    const auto bytes = file.Payload();
    if (count < 0 || count > image.BlockCount()) return false;
    if (RecordListEnd(bytes, count, image.Capacity) < 0) return false;
    std::size_t at = 0;
    for (int i = 0; i < count; ++i) {
        const std::size_t n = at < bytes.size() ? bytes[at] : 0;
        auto block = image.Block(i);
        std::fill(block.begin(), block.end(), 0);
        if (n > 0) std::copy_n(bytes.begin() + static_cast<long>(at) + 1, n, block.begin());
        image.Counts[i] = static_cast<std::uint16_t>(n);
        at += at < bytes.size() ? 1 + n : 0;
    }
    image.BlocksRead = count;
    return true;
}

}  // namespace stanset
