#include "phonebooks/common_book.h"

#include <algorithm>
#include <span>

#include "engine/main_class.h"
#include "files/file_image.h"
#include "phonebooks/book_numbers.h"

namespace stanset {

int ReadCommonBook(TMainClass& e) {
    return ReadBookImage(e.Link, rows::CommonBook, e.CommonBook, kCommonBookBlocks);
}

int WriteCommonBook(TMainClass& e) { return e.Link.WriteTable(rows::CommonBook, e.CommonBook, kCommonBookBlocks); }

void DecodeCommonBook(TMainClass& e, TDataStream& d) {
    if (!d.CommonBook) d.CommonBook = std::make_unique<TGlobalExtNum>();
    TGlobalExtNum& book = *d.CommonBook;
    book = TGlobalExtNum{};
    std::span<std::string> numbers(book.Numbers);
    for (int b = 0; b < kCommonBookBlocks; ++b)
        UnpackBookBlock(BookPayload(e.CommonBook, b), numbers.subspan(kBookBlockEntries * b, kBookBlockEntries));
}

void EncodeCommonBook(TMainClass& e, const TDataStream& d) {
    e.Changed[kTabCommonBook] = true;
    e.CommonBook.Clear();
    const TGlobalExtNum empty;
    const TGlobalExtNum& book = d.CommonBook ? *d.CommonBook : empty;
    const int count = std::min<int>(book.Count, kCommonBookEntries);
    for (int b = 0; b < kCommonBookBlocks; ++b) {
        TBookBlockWriter block(e.CommonBook.Block(b), kBookEntryBytes);
        const int first = b * static_cast<int>(kBookBlockEntries);
        for (int i = first; i < std::min(count, first + static_cast<int>(kBookBlockEntries)); ++i)
            block.Append(book.Numbers[i]);
        e.CommonBook.Counts[b] = static_cast<std::uint16_t>(block.Size());
    }
}

void ClearCommonBook(TMainClass& e) { e.CommonBook.Clear(); }

namespace commonbook {

void CopyToFileImage(const TMainClass& e, TFileImage& image) {
    PutRecordList(image, e.CommonBook, kCommonBookBlocks);
}

bool CopyFromFileImage(TMainClass& e, const TFileImage& image) {
    return TakeRecordList(image, e.CommonBook, kCommonBookBlocks);
}

}  // namespace commonbook

}  // namespace stanset
