// Windows-1251 exists only where bytes are stored or received; inside, texts are UTF-8.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace stanset {

std::string Cp1251ToUtf8(std::span<const std::uint8_t> bytes);
std::string Cp1251ToUtf8(const std::string& bytes);
// A character Windows-1251 cannot hold, or a broken UTF-8 sequence, becomes '?'.
std::string Utf8ToCp1251(const std::string& text);

}  // namespace stanset
