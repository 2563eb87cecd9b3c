// A libFuzzer target around one entry; STANSET_FUZZ_ENTRY names it at compile time.
#include <cstdio>
#include <cstdlib>

#include "entries.h"

// The engine and its images are large and made afresh for every input; the default
// quarantine turns that into page faults. A smaller one still catches use after free.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem = stanset::fuzz::STANSET_FUZZ_ENTRY(stanset::fuzz::TInput(data, size));
    if (!problem.empty()) {
        std::fprintf(stderr, "invariant broken: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
