// The built-in sample exchanges: identification, the set and shape of every block, and
// that the packed content walks cleanly the way the table decoders will read it.
#include "exchange_state.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace sim {
namespace {

struct Shape {
    std::string model;
    std::uint8_t code;
    bool kvt;
    int lines, trunks, intercoms, directions, loudspeakers, phones;
};

// Names the case in test output instead of a dump of its bytes.
void PrintTo(const Shape& s, std::ostream* os) { *os << s.model; }

const Shape kShapes[] = {
    {"KVT700-1", 6, true, 150, 75, 4, 50, 6, 45},
    {"KVT250", 4, true, 120, 60, 4, 50, 6, 36},
    {"RD32", 8, false, 80, 20, 2, 50, 2, 40},
    {"RD16", 7, false, 48, 12, 2, 20, 2, 24},
};

const std::string kFirmwares[] = {"23,7", "23,8", "24,3", "24,4", "24,7"};

int VersionValue(const std::string& fw) {
    const auto comma = fw.find(',');
    return std::stoi(fw.substr(0, comma)) * 100 + std::stoi(fw.substr(comma + 1));
}

// Offset of the 20 count bytes: right after the name's terminating 0.
std::size_t CountsAt(const Bytes& ident) {
    std::size_t p = 16;
    while (p < ident.size() && ident[p] != 0) ++p;
    return p + 1;
}

std::size_t Capacity(BlockAddress a) {
    switch (a.first) {
    case 0x08: case 0x0A: return 100;
    case 0x54: case 0x5C: return 64;
    case 0x4C: return 128;
    case 0x40: return a.second == 0x12 ? 5 : a.second == 0x03 ? 100 : 255;
    default: return 255;
    }
}

// Phone-book entries of a block: a 0 byte is an empty entry; otherwise up to `room`
// bytes, closed by a 0 unless full. Packed characters never use nibble 0 except as the
// filler that ends an odd-length entry.
std::vector<std::size_t> BookEntries(const Bytes& block, std::size_t room) {
    std::vector<std::size_t> lengths;
    std::size_t p = 0;
    while (p < block.size()) {
        if (block[p] == 0) {
            lengths.push_back(0);
            ++p;
            continue;
        }
        std::size_t n = 0;
        bool filler = false;
        while (p < block.size() && block[p] != 0 && n < room && !filler) {
            EXPECT_NE(block[p] >> 4, 0) << "byte " << p;
            filler = (block[p] & 0x0F) == 0;
            ++n;
            ++p;
        }
        if (n < room) {
            EXPECT_LT(p, block.size()) << "entry without its terminator";
            if (p < block.size()) {
                EXPECT_EQ(block[p++], 0) << "filler inside an entry";
            }
        }
        lengths.push_back(n);
    }
    return lengths;
}

class SamplesShape : public testing::TestWithParam<std::tuple<Shape, std::string>> {
protected:
    const Shape& shape() const { return std::get<0>(GetParam()); }
    const std::string& firmware() const { return std::get<1>(GetParam()); }
    bool atLeast(int v) const { return VersionValue(firmware()) >= v; }
    ExchangeState Make() const { return MakeSample({shape().model, firmware()}); }
};

TEST_P(SamplesShape, IdentificationStatesModelFirmwareAndCounts) {
    const Shape& s = shape();
    const Bytes id = Make().ident;
    ASSERT_GE(id.size(), 37u);
    EXPECT_LE(id.size(), 255u);
    EXPECT_EQ(id[4], 0) << "one unit";
    EXPECT_EQ(id[5], s.code);
    const int v = VersionValue(firmware());
    EXPECT_EQ(id[7], v / 1000);
    EXPECT_EQ(id[6], (v / 100 % 10) << 4 | v % 100);
    EXPECT_EQ(id[8], s.trunks);
    EXPECT_EQ(id[9], s.lines);
    EXPECT_TRUE(id[13] == 6 || id[13] == 0);
    const std::size_t c = CountsAt(id);
    ASSERT_EQ(id.size(), c + 20) << "name, its 0, then exactly the 20 count bytes";
    EXPECT_GT(c, 17u) << "the sample has a name";
    EXPECT_EQ(id[c + 0], s.intercoms);
    EXPECT_EQ(id[c + 1], s.directions);
    EXPECT_EQ(id[c + 2], s.loudspeakers);
    EXPECT_EQ(id[c + 3], s.phones);
}

TEST_P(SamplesShape, EveryTableHasExactlyItsBlocksWithinCapacity) {
    const Shape& s = shape();
    const ExchangeState st = Make();
    std::set<BlockAddress> expected = {
        {0x40, 0x03}, {0x40, 0x09}, {0x08, -1}, {0x09, -1}, {0x0A, -1}, {0x0C, -1}, {0x0D, -1},
        {0x0E, -1}, {0x40, 0x00}, {0x40, 0x01}, {0x40, 0x02}};
    if (s.kvt) expected.insert({0x40, 0x12});
    if (s.model == "KVT700-1") expected.insert({0x40, 0x11});
    if (atLeast(2404)) expected.insert({0x40, 0x13});
    const auto add = [&](int cmd, int n) { for (int i = 0; i < n; ++i) expected.insert({cmd, i}); };
    add(0x44, s.directions);
    add(0x48, s.trunks);
    add(0x4C, s.lines);
    add(0x50, 20);
    add(0x54, s.intercoms);
    add(0x5C, s.loudspeakers);
    add(0x60, s.phones);
    for (int g = 0; g < 20; ++g) expected.insert({0x58, g}), expected.insert({0x58, g | 0x20});

    std::set<BlockAddress> actual;
    for (const auto& [address, block] : st.blocks) {
        actual.insert(address);
        EXPECT_LE(block.size(), Capacity(address)) << std::hex << address.first << " " << address.second;
    }
    EXPECT_EQ(actual, expected);
}

TEST_P(SamplesShape, BlockLengthsFollowModelAndFirmware) {
    const Shape& s = shape();
    const ExchangeState st = Make();
    const auto len = [&](int cmd, int sub) { return st.blocks.at({cmd, sub}).size(); };

    const std::size_t line = s.kvt ? (atLeast(2404) ? 33 : 31) : (atLeast(2404) ? 19 : 17);
    for (int i = 0; i < s.lines; ++i) EXPECT_EQ(len(0x4C, i), line) << "line " << i;
    for (int t = 0; t < s.trunks; ++t) EXPECT_EQ(len(0x48, t), 12u) << "trunk " << t;
    for (int i = 0; i < s.loudspeakers; ++i) EXPECT_EQ(len(0x5C, i), 2u);
    for (int i = 0; i < s.intercoms; ++i) {
        EXPECT_GE(len(0x54, i), 4u);
        EXPECT_LE(len(0x54, i), 7u);
    }
    int consoles = 0;
    for (int k = 0; k < s.phones; ++k) {
        EXPECT_TRUE(len(0x60, k) == 96 || len(0x60, k) == 97) << "key table " << k;
        consoles += len(0x60, k) == 97;
    }
    EXPECT_GE(consoles, 1);

    const std::size_t time = atLeast(2404) ? 52 : s.kvt ? 50 : 48;
    EXPECT_EQ(len(0x08, -1), time);
    EXPECT_EQ(len(0x09, -1), time);
    EXPECT_EQ(len(0x0A, -1), 5u);
    EXPECT_EQ(len(0x40, 0x00), static_cast<std::size_t>(s.lines));
    EXPECT_EQ(len(0x40, 0x01), s.kvt ? 240u : 2u * s.lines);
    if (s.model == "KVT700-1") {
        EXPECT_EQ(len(0x40, 0x11), 60u);
    }
    if (s.kvt) {
        EXPECT_EQ(len(0x40, 0x12), 5u);
    }
    EXPECT_GE(len(0x40, 0x03), 6u);
    EXPECT_GT(len(0x40, 0x02), 0u);
}

TEST_P(SamplesShape, BoardListAndRecordsAgree) {
    const ExchangeState st = Make();
    const Bytes& list = st.blocks.at({0x40, 0x09});
    ASSERT_EQ(st.boards.size(), list.size());
    int clear = 0;
    for (std::size_t j = 0; j < list.size(); ++j) {
        const Bytes& r = st.boards[j];
        ASSERT_FALSE(r.empty());
        EXPECT_LE(r.size(), 12u);
        EXPECT_EQ(r[0], list[j]) << "slot " << j;
        // Only a record of 7 bytes carries details; an empty slot must carry none.
        if (list[j] == 255)
            EXPECT_EQ(r.size(), 1u) << "slot " << j;
        else
            EXPECT_TRUE(r.size() == 1 || r.size() == 7) << "slot " << j;
        clear += list[j] == 255;
    }
    EXPECT_GE(clear, 1);
}

TEST_P(SamplesShape, PhoneBooksHoldWholeEntries) {
    const ExchangeState st = Make();
    for (int cmd : {0x0C, 0x0D, 0x0E})
        EXPECT_EQ(BookEntries(st.blocks.at({cmd, -1}), 8).size(), 10u) << std::hex << cmd;
    std::size_t numbers = 0;
    for (int g = 0; g < 20; ++g)
        for (int half : {0, 0x20}) {
            const auto entries = BookEntries(st.blocks.at({0x58, g | half}), 8);
            EXPECT_EQ(entries.size(), 10u) << "group book " << g << " half " << half;
            for (std::size_t n : entries) numbers += n > 0;
        }
    EXPECT_GT(numbers, 0u);
    if (atLeast(2404)) {
        EXPECT_EQ(BookEntries(st.blocks.at({0x40, 0x13}), 4).size(), 60u);
    }
}

// Walks a group block field by field; its length must end exactly where the fields do.
TEST_P(SamplesShape, GroupBlocksAreWellFormed) {
    const Shape& s = shape();
    const ExchangeState st = Make();
    int withMembers = 0;
    for (int g = 0; g < 20; ++g) {
        const Bytes& b = st.blocks.at({0x50, g});
        ASSERT_GE(b.size(), 12u);
        std::size_t p = 10;
        int calls = 0;
        for (; calls < 5 && b.at(p) != 0; ++calls, ++p) EXPECT_LE(b[p], s.lines);
        if (calls < 5) ++p;
        for (int n = 0; n < 5 && b.at(p) != 0; ++n, ++p) {
            EXPECT_GE(b[p], 1);
            EXPECT_LE(b[p], 20);
        }
        ++p;
        if (s.kvt) p += 5;
        EXPECT_LE(b.at(p), s.directions);
        EXPECT_LE(b.at(p + 1), s.directions);
        p += 2;
        if (s.kvt) p += 2;
        if (atLeast(2404)) ++p;
        EXPECT_EQ(b.size(), p) << "group " << g;
        withMembers += calls > 0;
    }
    EXPECT_GE(withMembers, 5);
}

TEST_P(SamplesShape, ReferencesStayInsideTheExchange) {
    const Shape& s = shape();
    const ExchangeState st = Make();
    const auto& blk = st.blocks;
    for (int i = 0; i < s.lines; ++i) {
        const Bytes& b = blk.at({0x4C, i});
        EXPECT_TRUE(b[10] < 20 || b[10] == 0xFF) << "line " << i;
        EXPECT_LE(b[6], 9);
        EXPECT_LT(b[7], s.loudspeakers);
    }
    for (int t = 0; t < s.trunks; ++t) {
        const Bytes& b = blk.at({0x48, t});
        EXPECT_LE(b[2], s.directions);
        EXPECT_LE(b[3], s.directions);
        EXPECT_LE(b[5], 3);
        if (b[11] != 0) {   // blocking goes both ways
            ASSERT_LE(b[11], s.trunks);
            EXPECT_EQ(blk.at({0x48, b[11] - 1})[11], t + 1);
        }
    }
    for (int i = 0; i < s.directions; ++i) {
        const Bytes& b = blk.at({0x44, i});
        EXPECT_LE(b.size(), 20u);
        int rows = 0, run = 0;
        for (std::uint8_t e : b) {
            EXPECT_LE(e, s.lines);
            if (e == 0 || ++run == 5) ++rows, run = 0;
        }
        EXPECT_LE(rows + (run > 0), 4) << "table " << i;
    }
    for (int i = 0; i < s.intercoms; ++i) {
        const Bytes& b = blk.at({0x54, i});
        EXPECT_LE(b[1], s.directions);
        EXPECT_LE(b[2], s.directions);
        EXPECT_GE(b[3], 1);
        EXPECT_LE(b[3], s.lines);
    }
    for (int i = 0; i < s.loudspeakers; ++i) {
        EXPECT_GE(blk.at({0x5C, i})[0], 1);
        EXPECT_LE(blk.at({0x5C, i})[0], s.lines);
    }
    int redirected = 0;
    const Bytes& redirects = blk.at({0x40, 0x00});
    for (std::size_t i = 0; i < redirects.size(); ++i) {
        EXPECT_LT(redirects[i], s.lines);
        redirected += redirects[i] != i;
    }
    EXPECT_GE(redirected, 2);
    for (int k = 0; k < s.phones; ++k) {
        const Bytes& b = blk.at({0x60, k});
        if (b.size() == 97) {
            EXPECT_GE(b[96], 1);
            EXPECT_LE(b[96], s.phones);
            EXPECT_NE(b[96], k + 1) << "a console serves another phone";
        }
    }
}

// Time values stay within what the editor can step to: one step up to ten steps.
TEST_P(SamplesShape, TimeValuesSitWithinTheirSteps) {
    const ExchangeState st = Make();
    const Bytes& defaults = st.blocks.at({0x08, -1});
    const Bytes& values = st.blocks.at({0x09, -1});
    for (std::size_t k = 0; 2 * k + 1 < values.size(); ++k) {
        const int step8 = ((defaults[2 * k] | (defaults[2 * k + 1] & 0x0F) << 8)) * 2;   // eighths of a second
        const int value = values[2 * k] | values[2 * k + 1] << 8;
        EXPECT_GE(value, step8) << "T" << 10 + k;
        EXPECT_LE(value, 10 * step8) << "T" << 10 + k;
    }
}

TEST_P(SamplesShape, ConferencesOnlyOnKvt) {
    const Shape& s = shape();
    const ExchangeState st = Make();
    if (!s.kvt) {
        EXPECT_TRUE(st.conferences.empty());
        return;
    }
    const Bytes& params = st.blocks.at({0x40, 0x12});
    ASSERT_EQ(st.conferences.size(), 60u);
    ASSERT_LE(params[0], 60);
    EXPECT_EQ(params[2], 1) << "one byte per member";
    int present = 0;
    for (std::size_t r = 0; r < st.conferences.size(); ++r) {
        const ConferenceSlot& c = st.conferences[r];
        if (!c.present) {
            EXPECT_TRUE(c.payload.empty());
            continue;
        }
        ++present;
        EXPECT_LT(r, params[0]) << "a present record beyond the exchange's count";
        EXPECT_EQ(c.payload.size(), c.entries * params[2]);
        EXPECT_LE(c.entries, params[1]);
        for (std::uint8_t m : c.payload) {
            EXPECT_GE(m, 1);
            EXPECT_LE(m, s.lines);
        }
    }
    if (s.model == "KVT700-1") {
        EXPECT_EQ(present, 10);
        for (int r = 0; r < 10; ++r) EXPECT_GT(st.conferences[r].entries, 0) << r;
    } else {
        EXPECT_GT(present, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, SamplesShape,
                         testing::Combine(testing::ValuesIn(kShapes), testing::ValuesIn(kFirmwares)),
                         [](const auto& info) {
                             std::string name = std::get<0>(info.param).model + "_" + std::get<1>(info.param);
                             for (char& ch : name)
                                 if (ch == '-' || ch == ',') ch = '_';
                             return name;
                         });

TEST(Samples, DefaultIsKvt700OnCurrentFirmware) {
    const ExchangeState st = MakeSample({});
    EXPECT_EQ(st.ident[5], 6);
    EXPECT_EQ(st.ident[7], 2);
    EXPECT_EQ(st.ident[6], 0x47);
}

TEST(Samples, FirmwareTextSetsVersionBytes) {
    struct Case { const char* fw; std::uint8_t b7, b6; };
    const Case cases[] = {{"23,8", 2, 0x38}, {"24,10", 2, 0x4A}, {"24,04", 2, 0x44}, {"31,0", 3, 0x10}};
    for (const Case& c : cases) {
        const Bytes id = MakeSample({"RD16", c.fw}).ident;
        EXPECT_EQ(id[7], c.b7) << c.fw;
        EXPECT_EQ(id[6], c.b6) << c.fw;
    }
}

TEST(Samples, RefusesWhatItCannotBuild) {
    const SampleOptions bad[] = {
        {"KVT900", "24,7"}, {"", "24,7"}, {"kvt250", "24,7"}, {"RD900", "24,7"},
        {"KVT250", ""}, {"KVT250", "24"}, {"KVT250", "24,16"}, {"KVT250", "9,8"},
        {"KVT250", "24,123"}, {"KVT250", "2x,4"}, {"KVT250", ",4"},
    };
    for (const SampleOptions& o : bad)
        EXPECT_THROW(MakeSample(o), std::invalid_argument) << o.model << " " << o.firmware;
}

}  // namespace
}  // namespace sim
