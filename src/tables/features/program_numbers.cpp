#include "tables/features/program_numbers.h"

#include <algorithm>

#include "engine/main_class.h"

namespace stanset {

namespace {
int ProgramNumberBlocks(const TMainClass& e) {
    if (e.Identity.LineCount == 0) return 0;
    return e.Identity.Model.find("KVT700") != std::string::npos ? 2 : 1;
}
}  // namespace

int ReadProgramNumbers(TMainClass& e) { return e.Link.ReadTable(rows::ProgNumbers, e.ProgNumbers, ProgramNumberBlocks(e)); }

int WriteProgramNumbers(TMainClass& e) { return e.Link.WriteTable(rows::ProgNumbers, e.ProgNumbers, ProgramNumberBlocks(e)); }

void DecodeProgramNumbers(TMainClass&, TDataStream&) {}

}  // namespace stanset
