// Program numbers of the subscriber lines.
#pragma once

#include <span>
#include <string>

#include "files/file_image.h"

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

// One row of the program-number editor, as plain text.
struct TProgramNumberRow {
    std::string Number;         // the line's directory number
    std::string Group;          // shown only
    std::string ProgramNumber;  // "" or "1" and one to three digits
    std::string Name;
};

// 0, kNoLink (buffers untouched), kNoBlocks (no lines) or kTimeOut (both buffers zero).
int ReadProgramNumbers(TMainClass& e);
// 0, kNoLink, kNoBlocks or kTimeOut; a refused first block keeps the second from being sent.
int WriteProgramNumbers(TMainClass& e);
// Sets ProgramNumber of every port the blocks have an entry for.
void DecodeProgramNumbers(TMainClass& e, TDataStream& d);
// 0, or -1 when a program number is not "1" followed by at most three digits; the blocks
// and the changed flag are then left as they were.
int EncodeProgramNumbers(TMainClass& e, TDataStream& d);
void ClearProgramNumbers(TMainClass& e);

// The editor's checks before storing: blanks removed, numbers of one character reported
// and emptied, duplicates reported. False when the rows must not be stored.
bool PrepareProgramNumbers(std::span<TProgramNumberRow> rows, TUserInteraction& ui);

// The editor's rows into the model: each name into the port names, each program number
// into the line record of the port with that number. Rows whose number names no line are
// skipped.
void StoreProgramNumbers(const TMainClass& e, TDataStream& d, std::span<const TProgramNumberRow> rows);

namespace prognumbers {
void CopyToFileImage(const TMainClass& e, TFileImage& image);
bool CopyFromFileImage(TMainClass& e, const TFileImage& image);
}  // namespace prognumbers

}  // namespace stanset
