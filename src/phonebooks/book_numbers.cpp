#include "phonebooks/book_numbers.h"

#include <algorithm>
#include <array>

#include "link/codecs.h"

namespace stanset {

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The editors let p, a and t through in lower case; they are the same characters.
char HexOfDialChar(char c) {
    const char up = (c == 'p' || c == 'a' || c == 't') ? Upper(c) : c;
    for (const TDialLetter& l : kDialLetters)
        if (l.symbol == up) return l.hex;
    return c;
}

char DialCharOfHex(char c) {
    const char up = Upper(c);
    for (const TDialLetter& l : kDialLetters)
        if (l.hex == up) return l.symbol;
    return c;
}

}  // namespace

bool IsDialChar(char c) {
    if (c >= '0' && c <= '9') return true;
    const char up = (c == 'p' || c == 'a' || c == 't') ? Upper(c) : c;
    return std::any_of(std::begin(kDialLetters), std::end(kDialLetters),
                       [up](const TDialLetter& l) { return l.symbol == up; });
}

std::size_t PackBookNumber(std::string_view number, std::span<std::uint8_t> out) {
    std::string hex(number);
    for (char& c : hex) c = HexOfDialChar(c);
    return TextToBcd(hex, out, false);
}

std::string UnpackBookNumber(std::span<const std::uint8_t> bytes) {
    std::string text = BcdToText(bytes, 0);
    for (char& c : text) c = DialCharOfHex(c);
    return text;
}

void TBookBlockWriter::Put(std::uint8_t b) {
    if (at_ < block_.size()) block_[at_++] = b;
}

void TBookBlockWriter::Append(std::string_view number) {
    std::array<std::uint8_t, 255> packed{};
    const std::size_t n = PackBookNumber(number, std::span(packed).first(std::min(room_, packed.size())));
    for (std::size_t k = 0; k < n; ++k) Put(packed[k]);
    if (n < room_) Put(0);
}

void UnpackBookBlock(std::span<const std::uint8_t> block, std::span<std::string> entries) {
    std::size_t at = 0;
    std::size_t entry = 0;
    while (at < block.size()) {
        const std::size_t start = at;
        while (at < block.size() && block[at] != 0 && at - start < kBookEntryBytes) ++at;
        const bool terminated = at < block.size() && block[at] == 0 && at - start < kBookEntryBytes;
        std::string text = UnpackBookNumber(block.subspan(start, at - start));
        if (terminated) ++at;
        if (text == "0") text.clear();
        if (entry < entries.size()) entries[entry] = std::move(text);
        ++entry;
    }
}

std::span<const std::uint8_t> BookPayload(const TRawImage& image, int block) {
    const std::size_t n = std::min<std::size_t>(image.Counts[block], static_cast<std::size_t>(image.Capacity));
    return image.Block(block).first(n);
}

int ReadBookImage(TLink& link, const TCommandRow& row, TRawImage& image, int blocks) {
    TRawImage fresh(image.BlockCount(), image.Capacity);
    const int r = link.ReadTable(row, fresh, blocks);
    if (r >= 0 || r == kTimeOut) image = std::move(fresh);
    return r;
}

bool BookKeyAccepted(char key, std::size_t cellLength, std::size_t maxLength) {
    if (key == kKeyBackspace) return true;
    return (key == kKeyEnter || IsDialChar(key)) && cellLength < maxLength;
}

std::size_t TextLength(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

const char* CheckBookNumbers(std::span<const std::string> numbers, std::size_t maxLength) {
    for (const std::string& n : numbers) {
        if (n.empty()) continue;
        if (TextLength(n) > maxLength) return "Слишком много символов.";
        if (!std::all_of(n.begin(), n.end(), IsDialChar)) return "Ошибка во введенных данных";
    }
    return nullptr;
}

std::string BookEntryCode(int entry) { return "0" + std::to_string(entry + 70); }

}  // namespace stanset
