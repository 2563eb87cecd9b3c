// Redirects, one entry per subscriber-line index.
#pragma once

#include <cstdint>

#include "files/file_image.h"

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

struct RedirectEntry {
    std::int32_t State = 0;   // 0 the line can be redirected, -1 no such line or phone
    std::int32_t Target = 0;  // directory number calls go to; 0 not redirected
};

// 0, kNoLink (buffer untouched), kNoBlocks (no lines) or kTimeOut (buffer and length 0).
int ReadRedirects(TMainClass& e);
// 0, kNoLink, kNoBlocks or kTimeOut.
int WriteRedirects(TMainClass& e);
// One entry per line; a line the block does not reach is not redirected.
void DecodeRedirects(TMainClass& e, TDataStream& d);
// Sets the table's changed flag; the length grows to the line count if it was shorter.
void EncodeRedirects(TMainClass& e, const TDataStream& d);
// Every line redirected to itself, the length the line count.
void ClearRedirects(TMainClass& e);

namespace redirects {
void CopyToFileImage(const TMainClass& e, TFileImage& image);
bool CopyFromFileImage(TMainClass& e, const TFileImage& image);
}  // namespace redirects

}  // namespace stanset
