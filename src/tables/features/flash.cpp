#include "tables/features/flash.h"

#include <algorithm>

#include "engine/main_class.h"

namespace stanset {

namespace {
int FlashBlocks(const TMainClass& e) { return e.Identity.LineCount > 0 ? 1 : 0; }
}  // namespace

int ReadFlash(TMainClass& e) {
    const int r = singleblock::ReadZeroed(e.Link, rows::Flash, e.Flash, FlashBlocks(e));
    return r < 0 ? r : 0;
}

int WriteFlash(TMainClass& e) { return e.Link.WriteTable(rows::Flash, e.Flash, FlashBlocks(e)); }

void ClearFlash(TMainClass& e) { e.Flash.Clear(); }

namespace flash {
void CopyToFileImage(const TMainClass& e, TFileImage& image) { singleblock::CopyToFileImage(e.Flash, image); }
bool CopyFromFileImage(TMainClass& e, const TFileImage& image) {
    return singleblock::CopyFromFileImage(e.Flash, image);
}
}  // namespace flash

namespace singleblock {

void CopyToFileImage(const TRawImage& raw, TFileImage& file) {
    const auto block = raw.Block(0);
    const std::size_t n = std::min({std::size_t{raw.Counts[0]}, block.size(), file.Capacity()});
    file.Assign(block.first(n));
}

bool CopyFromFileImage(TRawImage& raw, const TFileImage& file) {
    const auto payload = file.Payload();
    auto block = raw.Block(0);
    if (payload.size() > block.size()) return false;
    std::fill(std::copy(payload.begin(), payload.end(), block.begin()), block.end(), 0);
    raw.Counts[0] = static_cast<std::uint16_t>(payload.size());
    return true;
}

int ReadZeroed(TLink& link, const TCommandRow& row, TRawImage& raw, int blocks) {
    TRawImage before = raw;
    raw.Clear();
    const int r = link.ReadTable(row, raw, blocks);
    if (r == kNoLink) raw = std::move(before);
    return r;
}

}  // namespace singleblock

}  // namespace stanset
