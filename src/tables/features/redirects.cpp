#include "tables/features/redirects.h"

#include <algorithm>
#include <string>

#include "engine/main_class.h"
#include "link/codecs.h"
#include "tables/features/flash.h"

namespace stanset {

namespace {

// Byte i belongs to line index i and holds the index of the line it goes to; its own
// index means not redirected.
int LinesOf(const TMainClass& e) { return std::min<int>(e.Identity.LineCount, e.Redirects.Capacity); }

int BlocksOf(const TMainClass& e) { return e.Identity.LineCount > 0 ? 1 : 0; }

bool HasNumbering(const std::string& model) { return LineIndexToNumber(model, 0) >= 0; }

std::uint8_t TargetIndexAt(const TRawImage& raw, int i) {
    const int held = std::min<int>(raw.Counts[0], raw.Capacity);
    return i < held ? raw.Block(0)[static_cast<std::size_t>(i)] : static_cast<std::uint8_t>(i);
}

}  // namespace

int ReadRedirects(TMainClass& e) {
    const int r = singleblock::ReadZeroed(e.Link, rows::Redirects, e.Redirects, BlocksOf(e));
    return r < 0 ? r : 0;
}

int WriteRedirects(TMainClass& e) { return e.Link.WriteTable(rows::Redirects, e.Redirects, BlocksOf(e)); }

void DecodeRedirects(TMainClass& e, TDataStream& d) {
    const std::string& model = e.Identity.Model;
    const int lines = std::min<int>(LinesOf(e), static_cast<int>(d.Redirects.size()));
    d.RedirectCount = static_cast<std::uint16_t>(lines);
    for (int i = 0; i < lines; ++i) {
        RedirectEntry& entry = d.Redirects[static_cast<std::size_t>(i)];
        const TPortPtr* port = FindPort(d, LineIndexToNumber(model, i));
        const bool redirectable = port && *port && ((*port)->Kind == kPortLine || (*port)->Kind == kPortSTA);
        entry.State = redirectable ? 0 : -1;
        // Kept for the lines that cannot be edited too, so that writing gives their bytes back.
        const std::uint8_t to = TargetIndexAt(e.Redirects, i);
        entry.Target = to == i || !HasNumbering(model) ? 0 : LineIndexToNumber(model, to);
    }
}

void EncodeRedirects(TMainClass& e, const TDataStream& d) {
    e.Changed[kTabRedirects] = true;
    const std::string& model = e.Identity.Model;
    // Nothing the model holds could have changed a table without a numbering plan.
    if (!HasNumbering(model)) return;
    const int lines = std::min<int>(LinesOf(e), static_cast<int>(d.Redirects.size()));
    auto block = e.Redirects.Block(0);
    for (int i = 0; i < lines; ++i) {
        const std::int32_t target = d.Redirects[static_cast<std::size_t>(i)].Target;
        int to = i;
        if (target > 0) {
            const int index = NumberToLineIndex(std::to_string(target), model) - 1;
            // A number that names no line a byte can point at: not redirected.
            if (index >= 0 && index <= 0xFF) to = index;
        }
        block[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(to);
    }
    // Edits made before anything was read would otherwise never be sent.
    e.Redirects.Counts[0] = static_cast<std::uint16_t>(std::max<int>(e.Redirects.Counts[0], lines));
}

void ClearRedirects(TMainClass& e) {
    auto block = e.Redirects.Block(0);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i);
    e.Redirects.Counts[0] = static_cast<std::uint16_t>(LinesOf(e));
}

namespace redirects {
void CopyToFileImage(const TMainClass& e, TFileImage& image) { singleblock::CopyToFileImage(e.Redirects, image); }
bool CopyFromFileImage(TMainClass& e, const TFileImage& image) {
    return singleblock::CopyFromFileImage(e.Redirects, image);
}
}  // namespace redirects

}  // namespace stanset
