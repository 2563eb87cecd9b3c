#include "phonebooks/group_books.h"

#include <algorithm>
#include <span>

#include "engine/main_class.h"
#include "files/file_image.h"
#include "phonebooks/book_numbers.h"

namespace stanset {

namespace {
constexpr int kBlocks = 2 * kGroupBooks;
constexpr int kHalves = 2;
}  // namespace

int ReadGroupBooks(TMainClass& e) { return ReadBookImage(e.Link, rows::GroupBooks, e.GroupBooks, kBlocks); }

int WriteGroupBooks(TMainClass& e) { return e.Link.WriteTable(rows::GroupBooks, e.GroupBooks, kBlocks); }

void DecodeGroupBooks(TMainClass& e, TDataStream& d) {
    for (int g = 0; g < kGroupBooks; ++g) {
        TGroupExternNum& book = d.GroupBooks[g];
        book = TGroupExternNum{};
        std::span<std::string> numbers(book.Numbers);
        for (int h = 0; h < kHalves; ++h)
            UnpackBookBlock(BookPayload(e.GroupBooks, kHalves * g + h),
                            numbers.subspan(kBookBlockEntries * h, kBookBlockEntries));
    }
}

void EncodeGroupBooks(TMainClass& e, const TDataStream& d) {
    e.Changed[kTabGroupBooks] = true;
    e.GroupBooks.Clear();
    for (int g = 0; g < kGroupBooks; ++g) {
        for (int h = 0; h < kHalves; ++h) {
            const int block = kHalves * g + h;
            TBookBlockWriter writer(e.GroupBooks.Block(block), kBookEntryBytes);
            for (std::size_t j = 0; j < kBookBlockEntries; ++j)
                writer.Append(d.GroupBooks[g].Numbers[kBookBlockEntries * h + j]);
            e.GroupBooks.Counts[block] = static_cast<std::uint16_t>(writer.Size());
        }
    }
}

void ClearGroupBooks(TMainClass& e) { e.GroupBooks.Clear(); }

std::string GroupBookItem(int book, std::string_view groupName) {
    return std::to_string(book + kFirstBookGroup) + "  " + std::string(groupName);
}

int GroupBookOfItem(std::string_view item) {
    if (item.size() < 2 || item[0] < '0' || item[0] > '9' || item[1] < '0' || item[1] > '9') return -1;
    const int book = (item[0] - '0') * 10 + (item[1] - '0') - kFirstBookGroup;
    return book >= 0 && book < kGroupBooks ? book : -1;
}

namespace groupbooks {

// The section lists the halves in the engine's own order: book 0 A, book 0 B, book 1 A...
void CopyToFileImage(const TMainClass& e, TFileImage& image) { PutRecordList(image, e.GroupBooks, kBlocks); }

bool CopyFromFileImage(TMainClass& e, const TFileImage& image) {
    return TakeRecordList(image, e.GroupBooks, kBlocks);
}

}  // namespace groupbooks

}  // namespace stanset
