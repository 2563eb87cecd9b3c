// Configuration files: the bytes of a saved file, loading it back, and files that are
// not what they claim to be.
#include "files/config_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "files/clearing.h"
#include "files/constructor.h"
#include "support/fake_line.h"
#include "support/sim_engine.h"

namespace stanset {
namespace {

namespace fs = std::filesystem;
using sim::Bytes;
using testing::RecordingUI;
using testing::SimEngine;

Bytes FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const Bytes& b) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

void Put16(Bytes& out, std::size_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

std::string Layout(const Bytes& f) {
    std::string out;
    for (std::size_t at = 200; at + 3 <= f.size();) {
        const std::size_t l = f[at] + 256u * f[at + 1];
        out += std::to_string(f[at + 2]) + ":" + std::to_string(l) + " ";
        at += 3 + l;
    }
    return out;
}

// The file a save must produce, built here from the exchange's own blocks.
Bytes ExpectedFile(const sim::ExchangeState& s, bool kvt700) {
    auto block = [&s](int c, int a) { return s.blocks.count({c, a}) ? s.blocks.at({c, a}) : Bytes{}; };
    Bytes out{20};
    out.insert(out.end(), s.ident.begin(), s.ident.begin() + 16);
    std::size_t name = 16;
    while (s.ident[name] != 0) ++name;
    out.insert(out.end(), s.ident.begin() + static_cast<long>(name) + 1, s.ident.begin() + static_cast<long>(name) + 5);
    for (const Bytes& b : {block(0x08, -1), block(0x40, 0x09)}) {
        Put16(out, b.size());
        out.insert(out.end(), b.begin(), b.end());
    }
    Bytes params = block(0x40, 0x12);
    params.resize(5, 0);
    Put16(out, 5);
    out.insert(out.end(), params.begin(), params.end());
    out.resize(200, 0);

    const Bytes ident(out.begin() + 1, out.begin() + 21);
    auto section = [&out](int type, const Bytes& payload) {
        Put16(out, payload.size());
        out.push_back(static_cast<std::uint8_t>(type));
        out.insert(out.end(), payload.begin(), payload.end());
    };
    auto records = [&](int command, int count, bool plainCommands = false) {
        Bytes p;
        for (int i = 0; i < count; ++i) {
            const Bytes b = plainCommands ? block(command + i, -1) : block(command, i);
            p.push_back(static_cast<std::uint8_t>(b.size()));
            p.insert(p.end(), b.begin(), b.end());
        }
        return p;
    };
    section(1, records(0x60, ident[19]));
    section(2, block(0x0A, -1));
    section(4, block(0x09, -1));
    section(6, records(0x54, ident[16]));
    section(7, records(0x5C, ident[18]));
    section(8, records(0x0C, 3, true));
    section(9, block(0x40, 0x02));
    // The program numbers always take 240 bytes, and the KVT700's second block 60 more.
    Bytes prog = block(0x40, 0x01);
    prog.resize(240, 0);
    if (kvt700) {
        Bytes second = block(0x40, 0x11);
        second.resize(60, 0);
        prog.insert(prog.end(), second.begin(), second.end());
    }
    section(10, prog);
    section(12, block(0x40, 0x00));
    Bytes conf;
    for (int i = 0; i < params[0]; ++i) {
        const auto& c = s.conferences[static_cast<std::size_t>(i)];
        conf.push_back(c.present);
        conf.push_back(c.entries);
        conf.insert(conf.end(), c.payload.begin(), c.payload.end());
    }
    section(13, conf);
    section(14, records(0x44, ident[17] ? ident[17] : 48));
    section(15, records(0x50, 20));
    section(16, records(0x4C, ident[9]));
    section(17, records(0x48, ident[8]));
    Bytes books;
    for (int i = 0; i < 20; ++i)
        for (int half : {0, 0x20}) {
            const Bytes b = block(0x58, i | half);
            books.push_back(static_cast<std::uint8_t>(b.size()));
            books.insert(books.end(), b.begin(), b.end());
        }
    section(18, books);
    const Bytes bw = block(0x40, 0x13);
    Bytes counted{static_cast<std::uint8_t>(bw.size())};
    counted.insert(counted.end(), bw.begin(), bw.end());
    section(19, counted);
    return out;
}

TEST(ConfigFile, ASavedReadHasTheLayoutByteForByte) {
    for (const char* model : {"KVT700-1", "RD16"}) {
        SCOPED_TRACE(model);
        SimEngine x({model, "24,7"});
        ASSERT_EQ(x.ReadAll(), 1);
        TFileList files;
        const std::string path = x.dir.Path() + "/dat/a.ats";
        ASSERT_EQ(SaveConfiguration(*x.engine, *x.data, files, path, x.ui), TSaveResult::Saved);
        const Bytes saved = FileBytes(path);
        Bytes expected = ExpectedFile(x.exchange->State(), std::string(model) == "KVT700-1");
        // The clock and the key are the engine's live ones, not the sample's.
        ASSERT_GT(saved.size(), 12u);
        for (int k : {1, 2, 3, 4, 12}) expected[k] = saved[k];
        EXPECT_EQ(saved[12], x.engine->Link.LinkKey);
        const auto diff = std::mismatch(saved.begin(), saved.end(), expected.begin(), expected.end());
        EXPECT_TRUE(diff.first == saved.end() && diff.second == expected.end())
            << "first difference at offset " << (diff.first - saved.begin()) << " of " << saved.size() << "/"
            << expected.size() << "\n" << Layout(saved) << "\n" << Layout(expected);
    }
}

TEST(ConfigFile, SaveLoadSaveGivesTheSameBytesAndAFreshEngineWritesTheSameExchange) {
    SimEngine first;
    ASSERT_EQ(first.ReadAll(), 1);
    TFileList files;
    const std::string a = first.dir.Path() + "/a.ats", b = first.dir.Path() + "/b.ats";
    ASSERT_EQ(SaveConfiguration(*first.engine, *first.data, files, a, first.ui), TSaveResult::Saved);

    // A second exchange of the same model whose tables are all different.
    sim::ExchangeState other = sim::MakeSample({"KVT700-1", "24,7"});
    for (auto& [address, bytes] : other.blocks)
        if (address.first != 0x40 || address.second == 0x00 || address.second == 0x01) std::fill(bytes.begin(), bytes.end(), 0);
    SimEngine second(other);
    ASSERT_EQ(second.ReadAll(), 1);
    TFileList files2;
    ASSERT_EQ(LoadConfiguration(*second.engine, *second.data, files2, a, second.ui), TLoadResult::Loaded);
    ASSERT_EQ(SaveConfiguration(*second.engine, *second.data, files2, b, second.ui), TSaveResult::Saved);
    EXPECT_EQ(FileBytes(a), FileBytes(b));

    ASSERT_EQ(second.WriteAll(), 1);
    const auto want = first.exchange->State(), got = second.exchange->State();
    for (const auto& [address, bytes] : want.blocks) {
        if (address == sim::BlockAddress{0x40, 0x03} || address == sim::BlockAddress{0x40, 0x09} ||
            address == sim::BlockAddress{0x08, -1} || address == sim::BlockAddress{0x40, 0x12})
            continue;  // read-only blocks
        EXPECT_EQ(got.blocks.at(address), bytes) << std::hex << address.first << " " << address.second;
    }
    for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(got.conferences[i].payload, want.conferences[i].payload) << i;
}

class ConfigFileFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(x.ReadAll(), 1);
        ASSERT_EQ(SaveConfiguration(*x.engine, *x.data, files, path, x.ui), TSaveResult::Saved);
        good = FileBytes(path);
    }
    std::size_t SectionAt(std::uint8_t type) const {
        for (std::size_t at = 200; at + 3 <= good.size();) {
            if (good[at + 2] == type) return at;
            at += 3 + good[at] + 256u * good[at + 1];
        }
        return 0;
    }
    SimEngine x;
    TFileList files;
    std::string path = x.dir.Path() + "/c.ats";
    Bytes good;
};

TEST_F(ConfigFileFixture, SectionsLastOfATypeWinsUnknownTypesAreSkippedMissingOnesClear) {
    // Only the common book, then an unknown type, then a second common book.
    const std::size_t book = SectionAt(8);
    const std::size_t length = 3 + good[book] + 256u * good[book + 1];
    Bytes f(good.begin(), good.begin() + 200);
    Bytes second(good.begin() + static_cast<long>(book), good.begin() + static_cast<long>(book + length));
    second[3 + 1] ^= 0x01;  // one byte of the first block differs
    f.insert(f.end(), good.begin() + static_cast<long>(book), good.begin() + static_cast<long>(book + length));
    f.insert(f.end(), {2, 0, 0x33, 0xAA, 0xBB});
    f.insert(f.end(), second.begin(), second.end());
    WriteBytes(path, f);
    ASSERT_EQ(LoadConfiguration(*x.engine, *x.data, files, path, x.ui), TLoadResult::Loaded);
    EXPECT_EQ(x.engine->CommonBook.Block(0)[0], second[4]);
    EXPECT_TRUE(std::all_of(x.engine->Lines.Counts.begin(), x.engine->Lines.Counts.end(), [](auto n) { return n == 0; }))
        << "lines had no section: cleared";
    EXPECT_TRUE(x.engine->Changed[kTabLines]);
    EXPECT_TRUE(x.engine->Ready);
}

// Counts above the engine's slots are not among these: the slots that exist are loaded.
TEST_F(ConfigFileFixture, MalformedFilesAreRefusedAndNothingIsLoaded) {
    const std::size_t lines = SectionAt(16);
    struct Case {
        const char* what;
        Bytes file;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}});
    cases.push_back({"not a header", Bytes(good.begin() + 1, good.end())});
    Bytes code = good;
    code[1 + 5] = 12;
    cases.push_back({"unknown device code", code});
    Bytes defaults = good;
    defaults[21] = 200;  // the defaults would run past the header
    cases.push_back({"header too long", defaults});
    {
        // Defaults of 110 bytes fit the file's header but not the engine's 100.
        const std::size_t t = good[21] + 256u * good[22];
        Bytes wide(good.begin(), good.begin() + 21);
        Put16(wide, 110);
        wide.insert(wide.end(), good.begin() + 23, good.begin() + 23 + static_cast<long>(t));
        wide.resize(23 + 110, 0);
        const std::size_t rest = 23 + t;  // composition and conference parameters as they were
        const std::size_t c = good[rest] + 256u * good[rest + 1];
        wide.insert(wide.end(), good.begin() + static_cast<long>(rest), good.begin() + static_cast<long>(rest + 2 + c + 7));
        ASSERT_LE(wide.size(), 200u);
        wide.resize(200, 0);
        wide.insert(wide.end(), good.begin() + 200, good.end());
        cases.push_back({"defaults wider than the engine holds", wide});
    }
    cases.push_back({"cut short", Bytes(good.begin(), good.end() - 7)});
    Bytes slot = good;
    slot[lines + 3] = 200;  // a line block longer than its slot
    cases.push_back({"record longer than its slot", slot});

    const auto linesBefore = x.engine->Lines.Bytes;
    const auto modelBefore = x.engine->Identity.Model;
    const auto changedBefore = x.engine->Changed;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(path, c.file);
        x.ui.Messages.clear();
        EXPECT_NE(LoadConfiguration(*x.engine, *x.data, files, path, x.ui), TLoadResult::Loaded);
        EXPECT_EQ(x.ui.Messages.size(), 1u);
        EXPECT_EQ(x.engine->Lines.Bytes, linesBefore);
        EXPECT_EQ(x.engine->Identity.Model, modelBefore);
        EXPECT_EQ(x.engine->Changed, changedBefore);  // nothing marked for writing either
    }
}

TEST_F(ConfigFileFixture, OverwriteKeepsTheOldFileAsBackupOrLeavesEverything) {
    const std::string backup = x.dir.Path() + "/ats.bak";
    WriteBytes(path, {1, 2, 3});
    x.ui.Answer = false;
    EXPECT_EQ(SaveConfiguration(*x.engine, *x.data, files, path, x.ui), TSaveResult::Declined);
    EXPECT_EQ(FileBytes(path), (Bytes{1, 2, 3}));
    EXPECT_FALSE(fs::exists(backup));

    x.ui.Answer = true;
    EXPECT_EQ(SaveConfiguration(*x.engine, *x.data, files, path, x.ui), TSaveResult::Saved);
    EXPECT_EQ(FileBytes(backup), (Bytes{1, 2, 3}));
    EXPECT_EQ(FileBytes(path), good);
    ASSERT_EQ(x.ui.Questions.size(), 2u);
    EXPECT_EQ(x.ui.Questions[0], "Файл уже существует, перезаписать его?");
}

TEST_F(ConfigFileFixture, AnotherModelIsQuestionedOnlyAfterARead) {
    const std::string rd = x.dir.Path() + "/rd.ats";
    SimEngine y({"RD16", "24,7"});
    ASSERT_EQ(y.ReadAll(), 1);
    TFileList yf;
    ASSERT_EQ(SaveConfiguration(*y.engine, *y.data, yf, rd, y.ui), TSaveResult::Saved);

    x.ui.Answer = false;
    EXPECT_EQ(LoadConfiguration(*x.engine, *x.data, files, rd, x.ui), TLoadResult::Declined);
    EXPECT_EQ(x.engine->Identity.Model, "KVT700-1");
    EXPECT_EQ(x.engine->Changed, decltype(x.engine->Changed){});  // a declined file marks nothing

    // A fresh engine that has read nothing switches without asking.
    testing::TempDir dir;
    RecordingUI ui;
    testing::FakeLine line;
    TMainClass fresh(ui, {.workDir = dir.Path(), .device = {}, .line = &line});
    auto data = std::make_shared<TDataStream>();
    EXPECT_EQ(LoadConfiguration(fresh, *data, files, rd, ui), TLoadResult::Loaded);
    EXPECT_TRUE(ui.Questions.empty());
    EXPECT_EQ(fresh.Identity.Model, "RD16");
    EXPECT_EQ(data->Status.Model, "RD16");
    EXPECT_FALSE(data->Ports.empty());
}

TEST(ConfigConstructor, SynthesisedBlocksOfEachModel) {
    struct Case {
        const char* model;
        std::vector<std::string> slots;
        bool secondUnit;
        const char* engineModel;
        Bytes composition;
        int lines, trunks;
    } cases[] = {
        {"KVT700", {"LB71", "TT14", "", "LBQ619"}, false, "KVT700-1",
         {1, 2, 255, 11, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255}, 150, 75},
        {"KVT250", {"LB71", "", "", "", "", "", "", "TQ86"}, true, "KVT250",
         {1, 255, 255, 255, 255, 255, 255, 255, 255, 10, 255, 255, 255, 255, 255, 7, 6}, 120, 60},
        {"RD16", {"LB28", "TQ05"}, false, "RD16", {1, 7, 255, 255, 255, 255}, 48, 12},
        {"RD32", {}, false, "RD32", Bytes(10, 255), 80, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        testing::TempDir dir;
        RecordingUI ui;
        testing::FakeLine line;
        TMainClass e(ui, {.workDir = dir.Path(), .device = {}, .line = &line});
        auto d = std::make_shared<TDataStream>();
        ASSERT_TRUE(CreateConfiguration(e, *d, {c.model, "24.7", c.slots, c.secondUnit}));
        EXPECT_EQ(e.Identity.Model, c.engineModel);
        EXPECT_EQ(e.Identity.Version, "24,7");
        EXPECT_EQ(e.Identity.LineCount, c.lines);
        EXPECT_EQ(e.Identity.TrunkCount, c.trunks);
        EXPECT_EQ(e.Identity.TimeUnit, 4);
        EXPECT_EQ(e.Reply.FixedLength, 20);
        const auto list = e.Composition.BoardList.Payload(0);
        EXPECT_EQ(Bytes(list.begin(), list.end()), c.composition);
        EXPECT_EQ(e.TimeDefaults.Counts[0], 52);
        EXPECT_EQ(e.TimeDefaults.Bytes[0], 0x14);
        EXPECT_EQ(e.TimeDefaults.Bytes[51], 0x60);
        EXPECT_TRUE(e.Ready);
        EXPECT_FALSE(e.Identified);
        EXPECT_TRUE(ui.Messages.empty());
    }
}

TEST(ConfigConstructor, RefusesWhatItDoesNotOffer) {
    testing::TempDir dir;
    RecordingUI ui;
    testing::FakeLine line;
    TMainClass e(ui, {.workDir = dir.Path(), .device = {}, .line = &line});
    auto d = std::make_shared<TDataStream>();
    EXPECT_FALSE(CreateConfiguration(e, *d, {"KVT999", "24.7", {}, false}));
    EXPECT_FALSE(CreateConfiguration(e, *d, {"RD16", "24.7", {"LB71"}, false}));
    EXPECT_FALSE(CreateConfiguration(e, *d, {"RD16", "24.7", std::vector<std::string>(7, "LB28"), false}));
    EXPECT_TRUE(e.Identity.Model.empty());
}

TEST(ConfigClearing, ClearsTickedAvailableTablesAndMarksThemChanged) {
    SimEngine x({"KVT250", "24,3"});
    ASSERT_EQ(x.ReadAll(), 1);
    std::array<bool, kTableCount> ticked{};
    ticked[kTabLines] = ticked[kTabBWBooks] = ticked[kTabRedirects] = true;
    const auto bwBefore = x.engine->BWBooks.Bytes;
    const auto trunksBefore = x.engine->Trunks.Bytes;
    ClearTables(*x.engine, *x.data, ticked);
    EXPECT_TRUE(x.engine->Changed[kTabLines]);
    EXPECT_TRUE(x.engine->Changed[kTabRedirects]);
    EXPECT_FALSE(x.engine->Changed[kTabBWBooks]) << "no black and white books before 24,4";
    EXPECT_FALSE(x.engine->Changed[kTabTrunks]);
    EXPECT_EQ(x.engine->BWBooks.Bytes, bwBefore);
    EXPECT_EQ(x.engine->Trunks.Bytes, trunksBefore);
    EXPECT_FALSE(ClearableTables(*x.engine)[kTabBWBooks]);
    // Every line is redirected to itself.
    const auto redirects = x.engine->Redirects.Payload(0);
    for (std::size_t i = 0; i < redirects.size(); ++i) EXPECT_EQ(redirects[i], i) << i;
}

}  // namespace
}  // namespace stanset
