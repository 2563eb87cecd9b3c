// Flash settings: an opaque block carried as it is.
#pragma once

#include "files/file_image.h"
#include "link/link.h"

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

// 0, kNoLink (the buffer untouched), kNoBlocks (no lines), kTimeOut (buffer and length 0).
int ReadFlash(TMainClass& e);
// 0, kNoLink, kNoBlocks or kTimeOut.
int WriteFlash(TMainClass& e);
// All bytes and the length 0: written, that is an empty block.
void ClearFlash(TMainClass& e);

namespace flash {
void CopyToFileImage(const TMainClass& e, TFileImage& image);
bool CopyFromFileImage(TMainClass& e, const TFileImage& image);
}  // namespace flash

// What every one-block table does the same way as the flash block.
namespace singleblock {
// Block 0's payload, as much of it as the file image holds.
void CopyToFileImage(const TRawImage& raw, TFileImage& file);
// The payload becomes block 0 and its length the count; the rest of the block is zeroed.
// False, with the block untouched, when the payload is longer than the block.
bool CopyFromFileImage(TRawImage& raw, const TFileImage& file);
// A read into a zeroed image; a link that fails its check leaves the image as it was.
int ReadZeroed(TLink& link, const TCommandRow& row, TRawImage& raw, int blocks);
}  // namespace singleblock

}  // namespace stanset
