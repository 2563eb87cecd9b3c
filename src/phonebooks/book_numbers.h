// Numbers of the phone books: the nibble alphabet, the entry layouts the books share,
// and the checks their editors make.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "link/link.h"

namespace stanset {

// Ten entries a block, a hundred text slots a record, for every book.
inline constexpr std::size_t kBookBlockEntries = 10;
inline constexpr std::size_t kBookSlots = 100;

// Common and group books: up to 16 characters, 8 packed bytes.
inline constexpr std::size_t kBookNumberLength = 16;
inline constexpr std::size_t kBookEntryBytes = 8;

// The special dialling characters and the hex letters that carry them as nibbles
// (digits pass as themselves, 0 as 0xA, which the packed-digit codecs already do).
struct TDialLetter {
    char symbol;
    char hex;
};
inline constexpr TDialLetter kDialLetters[] = {
    {'*', 'B'}, {'#', 'C'}, {'P', 'D'}, {'A', 'E'}, {'T', 'F'},
};

// A digit or one of * # P p A a T t.
bool IsDialChar(char c);

// Packs a number two characters a byte, first in the high nibble, an odd length ending in
// a filler nibble. Writes at most out.size() bytes (the characters beyond are dropped) and
// returns how many. A text holding a character the packing cannot carry packs to nothing,
// and is then stored as an empty entry.
std::size_t PackBookNumber(std::string_view number, std::span<std::uint8_t> out);

// The number of packed bytes, first to last; filler nibbles carry no character.
std::string UnpackBookNumber(std::span<const std::uint8_t> bytes);

// Lays entries end to end into a block: an empty entry is one 0 byte; a number is its
// packed bytes (at most `room`), closed by a 0 byte when it is shorter than `room`.
// Never writes beyond the block: what does not fit is dropped.
class TBookBlockWriter {
public:
    TBookBlockWriter(std::span<std::uint8_t> block, std::size_t room) : block_(block), room_(room) {}
    void Append(std::string_view number);
    std::size_t Size() const { return at_; }

private:
    void Put(std::uint8_t b);

    std::span<std::uint8_t> block_;
    std::size_t room_;
    std::size_t at_ = 0;
};

// The entries of one block of the common or a group book, into entries[0], [1], ...
// Entries past entries.size() belong to no slot of this block and are dropped; slots
// the block does not reach are left as they are. "0" reads as an empty entry.
void UnpackBookBlock(std::span<const std::uint8_t> block, std::span<std::string> entries);

// The bytes a block holds; a count beyond the slot reads only the slot.
std::span<const std::uint8_t> BookPayload(const TRawImage& image, int block);

// Reads a book into a fresh image and keeps it once a read has begun, so that a book is
// either read whole, cleared by a time-out, or left as it was when nothing was read.
int ReadBookImage(TLink& link, const TCommandRow& row, TRawImage& image, int blocks);

// ---- editors ---------------------------------------------------------------------------

inline constexpr char kKeyBackspace = '\b';
inline constexpr char kKeyEnter = '\r';

// Whether a number cell takes a typed key: dialling characters, Enter and Backspace while
// the cell is shorter than maxLength characters; Backspace always.
bool BookKeyAccepted(char key, std::size_t cellLength, std::size_t maxLength);

// Characters of a UTF-8 text, as the cells count them.
std::size_t TextLength(std::string_view text);

// The first complaint about the numbers as typed, or nullptr when all may be stored:
// "Слишком много символов." for a number longer than maxLength, "Ошибка во введенных
// данных" for a character outside the dialling alphabet. Empty numbers pass.
const char* CheckBookNumbers(std::span<const std::string> numbers, std::size_t maxLength = kBookNumberLength);

// The label of entry i in the editors: "070" for entry 0, "099" for entry 29.
std::string BookEntryCode(int entry);

}  // namespace stanset
