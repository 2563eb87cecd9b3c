#include "ats_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "support/temp_dir.h"

namespace sim {
namespace {

Bytes FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SimulatorAtsFile, SamplesSurviveAFileAndBack) {
    for (const char* model : {"KVT700-1", "KVT250", "RD16", "RD32"}) {
        SCOPED_TRACE(model);
        stanset::testing::TempDir dir;
        const std::string first = dir.Path() + "/a.ats", second = dir.Path() + "/b.ats";
        const ExchangeState sample = MakeSample({model, "24,7"});
        SaveAtsFile(sample, first);
        const ExchangeState back = LoadAtsFile(first);
        SaveAtsFile(back, second);
        EXPECT_EQ(FileBytes(first), FileBytes(second));

        // Everything but what a file does not carry: name, billing, board details.
        for (const auto& [address, bytes] : sample.blocks) {
            if (address == BlockAddress{0x40, 0x03}) continue;
            ASSERT_TRUE(back.blocks.count(address)) << address.first << " " << address.second;
            EXPECT_EQ(back.blocks.at(address), bytes) << address.first << " " << address.second;
        }
        for (std::size_t i = 0; i < sample.conferences.size(); ++i)
            EXPECT_EQ(back.conferences[i].payload, sample.conferences[i].payload) << i;
        const Bytes file = FileBytes(first);
        EXPECT_EQ(file[0], 20);
        EXPECT_EQ(file[1 + 5], sample.ident[5]);
    }
}

TEST(SimulatorAtsFile, RefusesWhatIsNotAConfigurationFile) {
    stanset::testing::TempDir dir;
    const std::string path = dir.Path() + "/x.ats";
    for (const Bytes& content : {Bytes{}, Bytes{19, 1, 2}, Bytes(30, 20)}) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(content.data()),
                                                    static_cast<std::streamsize>(content.size()));
        EXPECT_THROW(LoadAtsFile(path), std::runtime_error);
    }
    EXPECT_THROW(LoadAtsFile(dir.Path() + "/none.ats"), std::runtime_error);
}

}  // namespace
}  // namespace sim
