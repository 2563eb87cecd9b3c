#include "files/names_list.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace stanset {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

std::string EmptyLines(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "\r\n";
    return s;
}

struct Kind {
    TNameFile file;
    std::string name;
    int created;
};

std::vector<Kind> AllKinds() {
    std::vector<Kind> kinds = {
        {TNameKind::Ports, "port.nms", 150},        {TNameKind::GGS, "ggs.nms", 10},
        {TNameKind::Df, "df.nms", 10},              {TNameKind::Groups, "group.nms", 60},
        {TNameKind::CommonBook, "global_ext_num.nms", 30}, {TNameKind::Naveden, "naveden.nms", 100},
        {TNameKind::Conferences, "conf.nms", 60},
    };
    for (int g = 0; g < 20; ++g)
        kinds.push_back({{TNameKind::GroupBook, g}, "group_ext_num" + std::to_string(g) + ".nms", 20});
    return kinds;
}

class NamesListTest : public ::testing::Test {
protected:
    testing::TempDir tmp_;
    fs::path dat_ = fs::path(tmp_.Path()) / "dat";
};

TEST_F(NamesListTest, FirstStartCreatesEveryFileWithItsEmptyEntries) {
    TNamesList names(tmp_.Path());
    EXPECT_FALSE(names.WriteFailed());
    const auto kinds = AllKinds();
    for (const auto& k : kinds) {
        EXPECT_EQ(ReadBytes(dat_ / k.name), EmptyLines(k.created)) << k.name;
        EXPECT_EQ(names.Count(k.file), k.created) << k.name;
        EXPECT_EQ(names.PathOf(k.file), (dat_ / k.name).string());
    }
    // Nothing else, no temporary file left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dat_), fs::directory_iterator()), 27);
}

TEST_F(NamesListTest, EachKindKeepsItsNamesInItsOwnFile) {
    const auto kinds = AllKinds();
    {
        TNamesList names(tmp_.Path());
        for (const auto& k : kinds) EXPECT_EQ(names.StoreName(k.file, k.created - 1, k.name), 0) << k.name;
    }
    TNamesList again(tmp_.Path());
    for (const auto& k : kinds) {
        EXPECT_EQ(ReadBytes(dat_ / k.name), EmptyLines(k.created - 1) + k.name + "\r\n") << k.name;
        EXPECT_EQ(again.NameOf(k.file, k.created - 1), k.name);
        EXPECT_EQ(again.NameOf(k.file, 0), "");
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dat_), fs::directory_iterator()), 27);
}

TEST_F(NamesListTest, HandEditedFilesAreReadLineByLine) {
    const std::string longLine(200000, 'x');
    struct Case {
        std::string bytes;
        std::vector<std::string> entries;  // the first entries; the rest up to count are empty
        int count;
    } cases[] = {
        {"a\r\nb\r\n", {"a", "b"}, 10},
        {"a\nb\n", {"a", "b"}, 10},                      // LF only
        {"a\r\nb", {"a", "b"}, 10},                      // no final line end
        {"a\nb\r\n\x1a" "c\r\nd\r\n", {"a", "b"}, 10},   // byte 26 ends the file
        {"a\x1a" "b\r\n", {"a"}, 10},
        {"\x1a" "a\r\n", {}, 10},
        {"", {}, 10},
        {"\r\n\n" "c\r\n", {"", "", "c"}, 10},
        {EmptyLines(11) + "l\r\n", {"", "", "", "", "", "", "", "", "", "", "", "l"}, 12},  // longer: all kept
        {longLine + "\r\nb\r\n", {longLine, "b"}, 10},
        {std::string("\0\xff\r\nb", 5), {std::string("\0я", 3), "b"}, 10},  // binary bytes
    };
    for (const auto& c : cases) {
        fs::create_directory(dat_);
        WriteBytes(dat_ / "df.nms", c.bytes);
        TNamesList names(tmp_.Path());
        const std::string what = c.bytes.substr(0, 20);
        EXPECT_FALSE(names.WriteFailed()) << what;
        ASSERT_EQ(names.Count(TNameKind::Df), c.count) << what;
        for (int i = 0; i < c.count; ++i) {
            const std::string expected = i < static_cast<int>(c.entries.size()) ? c.entries[i] : "";
            EXPECT_EQ(names.NameOf(TNameKind::Df, i), expected) << what << " entry " << i;
        }
        EXPECT_EQ(ReadBytes(dat_ / "df.nms"), c.bytes) << "reading leaves the file alone";
    }
}

TEST_F(NamesListTest, AShortenedFileTakesNamesForItsMissingEntriesAndIsWrittenWhole) {
    fs::create_directory(dat_);
    WriteBytes(dat_ / "df.nms", "0\n1\n2\n3\n4\n");
    TNamesList names(tmp_.Path());
    EXPECT_EQ(names.NameOf(TNameKind::Df, 7), "");
    EXPECT_EQ(names.StoreName(TNameKind::Df, 7, "x"), 0);
    EXPECT_EQ(ReadBytes(dat_ / "df.nms"), "0\r\n1\r\n2\r\n3\r\n4\r\n\r\n\r\nx\r\n\r\n\r\n");
    EXPECT_EQ(names.NameOf(TNameKind::Df, 7), "x");
}

TEST_F(NamesListTest, CyrillicNamesAreWindows1251OnDisk) {
    {
        TNamesList names(tmp_.Path());
        EXPECT_EQ(names.StoreName(TNameKind::Df, 3, "Вход Ёж"), 0);
        EXPECT_EQ(names.StoreName(TNameKind::Df, 4, "日本"), 0);          // not in Windows-1251
        EXPECT_EQ(names.StoreName(TNameKind::Df, 5, "a\r\nb\x1a" "c"), 0);  // would split the file
        EXPECT_EQ(names.NameOf(TNameKind::Df, 3), "Вход Ёж");
    }
    EXPECT_EQ(ReadBytes(dat_ / "df.nms"), EmptyLines(3) + "\xC2\xF5\xEE\xE4 \xA8\xE6\r\n??\r\na  b c\r\n" + EmptyLines(4));
    TNamesList again(tmp_.Path());
    EXPECT_EQ(again.Count(TNameKind::Df), 10);
    EXPECT_EQ(again.NameOf(TNameKind::Df, 3), "Вход Ёж");
    EXPECT_EQ(again.NameOf(TNameKind::Df, 5), "a  b c");
}

TEST_F(NamesListTest, IndicesOutOfRangeReadEmptyAndStoreNothing) {
    TNamesList names(tmp_.Path());
    const std::string ports = ReadBytes(dat_ / "port.nms");
    const std::string book0 = ReadBytes(dat_ / "group_ext_num0.nms");
    struct Case {
        TNameFile file;
        int index;
    } cases[] = {
        {TNameKind::Ports, -1}, {TNameKind::Ports, 150}, {TNameKind::Ports, INT_MAX}, {TNameKind::Ports, INT_MIN},
        {{TNameKind::GroupBook, 0}, 20}, {{TNameKind::GroupBook, 20}, 0}, {{TNameKind::GroupBook, -1}, 0},
        {static_cast<TNameKind>(99), 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(names.NameOf(c.file, c.index), "") << c.index;
        EXPECT_EQ(names.StoreName(c.file, c.index, "x"), -1) << c.index;
        EXPECT_FALSE(names.WriteFailed());
    }
    EXPECT_EQ(names.Count(TNameKind::Ports), 150);
    EXPECT_EQ(names.Count({TNameKind::GroupBook, 20}), 0);
    EXPECT_EQ(ReadBytes(dat_ / "port.nms"), ports);
    EXPECT_EQ(ReadBytes(dat_ / "group_ext_num0.nms"), book0);
}

TEST_F(NamesListTest, AFolderThatCannotBeWrittenSetsTheFlagAndKeepsTheName) {
    WriteBytes(dat_, "not a folder");
    TNamesList names(tmp_.Path());
    EXPECT_TRUE(names.WriteFailed());
    EXPECT_EQ(names.Count(TNameKind::Ports), 150);
    EXPECT_EQ(names.StoreName(TNameKind::Ports, 2, "Бухгалтерия"), -1);
    EXPECT_TRUE(names.WriteFailed());
    EXPECT_EQ(names.NameOf(TNameKind::Ports, 2), "Бухгалтерия");
    EXPECT_EQ(ReadBytes(dat_), "not a folder");
}

TEST_F(NamesListTest, AFileThatCannotBeReadLeavesItsKindEmptyAndTheFileAlone) {
    fs::create_directories(dat_ / "df.nms");
    ASSERT_EQ(::mkfifo((dat_ / "ggs.nms").c_str(), 0644), 0);  // must not stall the start
    TNamesList names(tmp_.Path());
    EXPECT_TRUE(names.WriteFailed());
    for (TNameKind kind : {TNameKind::Df, TNameKind::GGS}) {
        EXPECT_EQ(names.Count(kind), 0);
        EXPECT_EQ(names.StoreName(kind, 0, "x"), -1);
    }
    EXPECT_TRUE(fs::is_directory(dat_ / "df.nms"));
    EXPECT_TRUE(fs::is_fifo(dat_ / "ggs.nms"));
    // The failure at the start does not taint a later good store.
    EXPECT_EQ(names.StoreName(TNameKind::Groups, 0, "y"), 0);
    EXPECT_FALSE(names.WriteFailed());
}

TEST_F(NamesListTest, NoFolderGivenMeansTheCurrentOne) {
    const fs::path before = fs::current_path();
    fs::current_path(tmp_.Path());
    TNamesList names;
    fs::current_path(before);
    EXPECT_EQ(fs::path(names.BaseFolder()), fs::path(tmp_.Path()));
    EXPECT_EQ(names.StoreName(TNameKind::Conferences, 1, "c"), 0);
    EXPECT_EQ(ReadBytes(dat_ / "conf.nms"), "\r\nc\r\n" + EmptyLines(58));
}

}  // namespace
}  // namespace stanset
