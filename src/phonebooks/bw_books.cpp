#include "phonebooks/bw_books.h"

#include <algorithm>
#include <span>

#include "engine/main_class.h"
#include "files/file_image.h"
#include "phonebooks/book_numbers.h"

namespace stanset {

int ReadBWBook(TMainClass& e) { return ReadBookImage(e.Link, rows::BWBooks, e.BWBooks, 1); }

int WriteBWBook(TMainClass& e) { return e.Link.WriteTable(rows::BWBooks, e.BWBooks, 1); }

namespace {

// The bytes of the entry that starts at `at` (a non-zero byte), and where the next entry
// starts. A byte with a filler low nibble ends the number; otherwise it goes on until a 0
// byte or its fourth byte. A number shorter than four bytes has its terminator skipped.
std::size_t EntryEnd(std::span<const std::uint8_t> block, std::size_t at, std::size_t& next) {
    std::size_t k = 0;
    while (true) {
        const std::uint8_t b = block[at++];
        ++k;
        if ((b & 0x0F) == 0 || at == block.size() || k == kBWEntryBytes || block[at] == 0) break;
    }
    next = k < kBWEntryBytes ? std::min(at + 1, block.size()) : at;
    return at;
}

}  // namespace

void DecodeBWBook(TMainClass& e, TDataStream& d) {
    TDSBW_ExtNum& book = d.BWBook;
    book = TDSBW_ExtNum{};
    const auto block = BookPayload(e.BWBooks, 0);
    std::size_t at = 0;
    for (int entry = 0; at < block.size(); ++entry) {
        if (block[at] == 0) {
            ++at;
            continue;
        }
        std::size_t next;
        const std::size_t end = EntryEnd(block, at, next);
        if (entry < kBWEntries) book.Numbers[entry] = UnpackBookNumber(block.subspan(at, end - at));
        at = next;
    }
}

void EncodeBWBook(TMainClass& e, const TDataStream& d) {
    e.Changed[kTabBWBooks] = true;
    e.BWBooks.Clear();
    TBookBlockWriter writer(e.BWBooks.Block(0), kBWEntryBytes);
    for (int i = 0; i < kBWEntries; ++i) writer.Append(d.BWBook.Numbers[i]);
    e.BWBooks.Counts[0] = static_cast<std::uint16_t>(writer.Size());
}

void ClearBWBook(TMainClass& e) { e.BWBooks.Clear(); }

namespace bwbooks {

// One count byte and the block: a record list of one.
void CopyToFileImage(const TMainClass& e, TFileImage& image) { PutRecordList(image, e.BWBooks, 1); }

bool CopyFromFileImage(TMainClass& e, const TFileImage& image) {
    return TakeRecordList(image, e.BWBooks, 1);
}

}  // namespace bwbooks

}  // namespace stanset
