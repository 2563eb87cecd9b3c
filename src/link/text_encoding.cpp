#include "link/text_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace stanset {

namespace {

// Converts in chunks; an input sequence the target cannot take is replaced by '?' and
// skipped (one byte, or one whole UTF-8 character).
std::string Convert(const char* to, const char* from, const char* data, std::size_t size, bool utf8Input) {
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(data, size);
    std::string out;
    std::vector<char> buf(4 * size + 16);
    char* in = const_cast<char*>(data);
    std::size_t left = size;
    while (left > 0) {
        char* o = buf.data();
        std::size_t room = buf.size();
        const std::size_t r = ::iconv(cd, &in, &left, &o, &room);
        out.append(buf.data(), static_cast<std::size_t>(o - buf.data()));
        if (r != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: replace what cannot be converted.
        out.push_back('?');
        std::size_t skip = 1;
        if (utf8Input) {
            const auto lead = static_cast<unsigned char>(*in);
            skip = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            while (skip > 1 && (skip > left || (static_cast<unsigned char>(in[skip - 1]) & 0xC0) != 0x80)) --skip;
        }
        in += skip;
        left -= skip;
    }
    ::iconv_close(cd);
    return out;
}

}  // namespace

std::string Cp1251ToUtf8(std::span<const std::uint8_t> bytes) {
    return Convert("UTF-8", "CP1251", reinterpret_cast<const char*>(bytes.data()), bytes.size(), false);
}

std::string Cp1251ToUtf8(const std::string& bytes) {
    return Convert("UTF-8", "CP1251", bytes.data(), bytes.size(), false);
}

std::string Utf8ToCp1251(const std::string& text) {
    return Convert("CP1251", "UTF-8", text.data(), text.size(), true);
}

}  // namespace stanset
