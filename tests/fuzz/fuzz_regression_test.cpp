// Every seed and every input a fuzz target once failed on, replayed through the same entry
// the target calls: a crash, a leak or a sanitizer report fails the test binary, a broken
// invariant fails the file's case.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "engine/main_class.h"
#include "entries.h"
#include "files/config_file.h"
#include "link/codecs.h"
#include "support/fake_line.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace stanset::fuzz {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> FilesBelow(const fs::path& dir) {
    std::vector<fs::path> files;
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) return files;
    for (const auto& entry : fs::directory_iterator(dir, ec))
        if (entry.is_regular_file() && entry.path().filename().string().front() != '.') files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::uint8_t> Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FuzzInputs : public ::testing::TestWithParam<TTarget> {};

TEST_P(FuzzInputs, ReplayWithoutFault) {
    const TTarget& target = GetParam();
    const fs::path root = STANSET_FUZZ_DIR;
    const auto seeds = FilesBelow(root / "corpus" / target.Name);
    EXPECT_FALSE(seeds.empty()) << "no seeds for " << target.Name;
    auto regressions = FilesBelow(root / "regressions" / target.Name);
    for (const auto& files : {seeds, regressions})
        for (const fs::path& file : files) {
            const auto input = Bytes(file);
            EXPECT_EQ(target.Run(input), "") << file;
        }
}

INSTANTIATE_TEST_SUITE_P(Entries, FuzzInputs, ::testing::ValuesIn(kTargets),
                         [](const auto& info) { return std::string(info.param.Name); });

// The line seeds are what the engine received from the simulated exchanges; replayed on
// the in-memory line they must carry a whole read-all, or the line target starts shallow.
TEST(FuzzLine, RecordedExchangesReplayAsFullReadAll) {
    const auto seeds = FilesBelow(fs::path(STANSET_FUZZ_DIR) / "corpus" / "line");
    int full = 0;
    for (const fs::path& file : seeds) full += LineReadAll(Bytes(file)) == 1;
    EXPECT_GE(full, 4);
}

// A dead line costs the line target no real time: every wait is virtual.
TEST(FuzzLine, DeadLineEndsAtOnce) { EXPECT_EQ(LineReadAll({}), -1); }

// Found by the tables target: intercom blocks longer than the program itself writes do not
// fit the file's intercom section, which used to be saved empty with the save reported done.
TEST(FuzzFindings, ATableTooLargeForItsSectionFailsTheSave) {
    testing::TempDir dir;
    testing::FakeLine line;
    testing::RecordingUI ui;
    TMainClass e(ui, TEngineOptions{dir.Path(), {}, &line});
    TDataStream d;
    for (bool TDataStream::*f : {&TDataStream::SelTimeSettings, &TDataStream::SelAllSys, &TDataStream::SelCommonBook,
                                 &TDataStream::SelRedirects, &TDataStream::SelProgNumbers, &TDataStream::SelFlash,
                                 &TDataStream::SelDirections, &TDataStream::SelTrunks, &TDataStream::SelLines,
                                 &TDataStream::SelGroups, &TDataStream::SelGroupBooks, &TDataStream::SelGGS,
                                 &TDataStream::SelSTAKeys, &TDataStream::SelQuickConf, &TDataStream::SelBWBooks})
        d.*f = false;
    e.Identity.IntercomBlocks = 10;
    e.Intercoms.BlocksRead = 10;
    std::fill(e.Intercoms.Counts.begin(), e.Intercoms.Counts.end(), 64);

    const std::string path = dir.Path() + "/big.ats";
    TFileList files;
    EXPECT_EQ(SaveConfiguration(e, d, files, path, ui), TSaveResult::WriteFailed);
    EXPECT_TRUE(ui.Showed("Ошибка записи в файл (Таблицы домофонов)."));
    EXPECT_FALSE(fs::exists(path));

    // Blocks as the program writes them fit, and save.
    std::fill(e.Intercoms.Counts.begin(), e.Intercoms.Counts.end(), 7);
    EXPECT_EQ(SaveConfiguration(e, d, files, path, ui), TSaveResult::Saved);
}

// Found by the texts target: numbers typed far outside every plan overflowed int.
TEST(FuzzFindings, NumbersFarOutsideThePlansMapToNothing) {
    constexpr int kMax = std::numeric_limits<int>::max(), kMin = std::numeric_limits<int>::min();
    for (const char* model : {"KVT700-1", "RD32"}) {
        EXPECT_EQ(STAIndexToNumber(kMax, model), -1) << model;
        EXPECT_EQ(LineIndexToNumber(model, kMax), -1) << model;
        EXPECT_EQ(TrunkIndexToNumber(model, kMax), -1) << model;
    }
    EXPECT_EQ(NumberToLineIndex(std::to_string(kMin), "KVT700-1"), -1);
    // Inside the plans nothing changes.
    EXPECT_EQ(NumberToLineIndex("201", "KVT700-1"), 2);
    EXPECT_EQ(STAIndexToNumber(1, "RD32"), 200);
}

}  // namespace
}  // namespace stanset::fuzz
