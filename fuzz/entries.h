// One entry per kind of outside input. The libFuzzer targets and the regression test call
// the very same functions, so an input that once crashed a target is replayed exactly.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace stanset {
class TMainClass;
}

namespace stanset::fuzz {

using TInput = std::span<const std::uint8_t>;

// Each entry takes one input and returns what went wrong beyond a crash (an invariant
// broken, a table lost), or an empty text. Crashes, hangs and leaks speak for themselves.

// Byte 0 picks the identity the engine held before (a sample model), whether it held one
// and the answer to the model question; the rest is the *.ats file.
std::string AtsLoader(TInput input);
// Byte 0 picks the table, byte 1 the exchange identity and the count mode; the rest fills
// the table's raw images (see entries.cpp). Decodes, encodes, decodes again, and checks
// that the table's file section loads and saves back unchanged.
std::string Tables(TInput input);
// Identification reply, billing buffer, board list and board records.
std::string Identification(TInput input);
// The exchange's answers, byte after byte, to a read-all and (when that succeeds) a
// write-all; an exhausted input is a dead line.
std::string Line(TInput input);
// The read-all part of Line: ReadAll's result.
int LineReadAll(TInput input);
// Names files, the options file and the typed port name.
std::string WorkFiles(TInput input);
// Key texts, packed digits, versions, numbers and text encodings.
std::string Texts(TInput input);

// The sample exchanges whose identities the entries take on, by index (model, firmware).
inline constexpr std::pair<const char*, const char*> kSampleExchanges[] = {
    {"KVT700-1", "24,7"}, {"KVT250", "24,7"}, {"RD16", "24,7"}, {"RD32", "24,7"},
    {"KVT700-1", "24,3"}, {"KVT700-1", "23,8"}, {"RD32", "24,4"}, {"KVT250", "23,7"},
};

// Inputs of Tables, one per table, holding the images of an engine that has read sample
// exchange `sample` (for the seed corpus).
std::vector<std::vector<std::uint8_t>> TableSeeds(const TMainClass& e, std::uint8_t sample);

struct TTarget {
    const char* Name;  // the folder below fuzz/corpus and fuzz/regressions
    std::string (*Run)(TInput);
};

inline constexpr TTarget kTargets[] = {
    {"ats_loader", AtsLoader}, {"tables", Tables}, {"identification", Identification},
    {"line", Line},            {"work_files", WorkFiles}, {"texts", Texts},
};

}  // namespace stanset::fuzz
