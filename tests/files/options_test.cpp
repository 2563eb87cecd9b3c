#include "files/options.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "support/recording_ui.h"
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

const std::string kError = "Ошибка";

TEST(Options, AcceptedEntriesSetThePortAndWriteExactlyTwoBytes) {
    struct Case {
        const char* typed;
        int number;
    } cases[] = {
        {"COM1", 1}, {"COM16", 16}, {"COM99", 99}, {"COM01", 1}, {"COM+5", 5},
        {"COM-1", 255},  // only the low byte of the number is kept
    };
    for (const auto& c : cases) {
        for (const bool oldFile : {false, true}) {
            testing::TempDir tmp;
            const fs::path cfg = fs::path(tmp.Path()) / "Stanset_M.cfg";
            if (oldFile) WriteBytes(cfg, "\x07\x01\x02\x03\x04");  // of the wrong size
            testing::RecordingUI ui;
            std::string portName = "COM7";
            EXPECT_EQ(StorePortOption(tmp.Path(), c.typed, portName, ui), TPortOptionResult::Stored) << c.typed;
            EXPECT_EQ(portName, "COM" + std::to_string(c.number));
            EXPECT_TRUE(ui.Messages.empty());
            EXPECT_EQ(ReadBytes(cfg), std::string({static_cast<char>(c.number), '\0'})) << c.typed;
            const TPortOptionFile read = ReadPortOption(tmp.Path());
            EXPECT_EQ(read.State, TPortOptionState::Port);
            EXPECT_EQ(read.Number, c.number);
            EXPECT_EQ(std::distance(fs::directory_iterator(tmp.Path()), fs::directory_iterator()), 1);
        }
    }
}

TEST(Options, RefusedEntriesChangeNothing) {
    const std::string latinM = "Некорректный номер СОM-порта.";
    const std::string cyrillicM = "Некорректный номер СОм-порта.";
    struct Case {
        const char* typed;
        const std::string& message;
    } cases[] = {
        {"COM", latinM},   {"COM123", latinM}, {"", latinM},   {"COM1234567", latinM},
        {"com1", cyrillicM}, {"СОМ1", cyrillicM},  // Cyrillic letters: four characters, wrong prefix
        {"COM0", latinM},  {"COM00", latinM},  {"COM-0", latinM},
        {"COMx", latinM},  {"COM-", latinM},   {"COM+", latinM}, {"COM 1", latinM}, {"COM1 ", latinM},
        {"COM$F", latinM},
    };
    for (const auto& c : cases) {
        testing::TempDir tmp;
        const fs::path cfg = fs::path(tmp.Path()) / "Stanset_M.cfg";
        WriteBytes(cfg, std::string("\x07\x00", 2));
        testing::RecordingUI ui;
        std::string portName = "COM7";
        EXPECT_EQ(StorePortOption(tmp.Path(), c.typed, portName, ui), TPortOptionResult::Refused) << c.typed;
        EXPECT_EQ(portName, "COM7");
        ASSERT_EQ(ui.Messages.size(), 1u) << c.typed;
        EXPECT_EQ(ui.Messages[0].first, c.message) << c.typed;
        EXPECT_EQ(ui.Messages[0].second, kError);
        EXPECT_EQ(ReadBytes(cfg), std::string("\x07\x00", 2));
    }
}

TEST(Options, AFileThatCannotBeWrittenKeepsThePortForThisRun) {
    testing::TempDir tmp;
    const fs::path notAFolder = fs::path(tmp.Path()) / "plain";
    WriteBytes(notAFolder, "x");
    const fs::path cfgIsAFolder = fs::path(tmp.Path()) / "work";
    fs::create_directories(cfgIsAFolder / "Stanset_M.cfg");
    struct Case {
        fs::path workDir;
        std::string message;
    } cases[] = {
        {notAFolder, "Не могу перейти в базовую директорию."},
        {fs::path(tmp.Path()) / "missing", "Не могу перейти в базовую директорию."},
        {cfgIsAFolder, "Не могу создать файл конфигурации.(1)"},
    };
    for (const auto& c : cases) {
        testing::RecordingUI ui;
        std::string portName = "COM7";
        EXPECT_EQ(StorePortOption(c.workDir.string(), "COM3", portName, ui), TPortOptionResult::NotWritten);
        EXPECT_EQ(portName, "COM3");
        ASSERT_EQ(ui.Messages.size(), 1u);
        EXPECT_EQ(ui.Messages[0], std::make_pair(c.message, kError));
    }
    EXPECT_EQ(ReadBytes(notAFolder), "x");
    EXPECT_TRUE(fs::is_directory(cfgIsAFolder / "Stanset_M.cfg"));
}

TEST(Options, ReadingTellsMissingPortAndBadSize) {
    testing::TempDir tmp;
    const fs::path cfg = fs::path(tmp.Path()) / "Stanset_M.cfg";
    EXPECT_EQ(ReadPortOption(tmp.Path()).State, TPortOptionState::Missing);

    ASSERT_TRUE(WriteDefaultPortOption(tmp.Path()));
    EXPECT_EQ(ReadBytes(cfg), "\x01\x01");
    EXPECT_EQ(ReadPortOption(tmp.Path()).Number, 1);

    for (const std::string& bytes : {std::string(), std::string("\x05"), std::string("\x05\x00\x00", 3)}) {
        WriteBytes(cfg, bytes);
        EXPECT_EQ(ReadPortOption(tmp.Path()).State, TPortOptionState::BadSize) << bytes.size();
    }
    WriteBytes(cfg, std::string("\xC8\x00", 2));
    const TPortOptionFile read = ReadPortOption(tmp.Path());
    EXPECT_EQ(read.State, TPortOptionState::Port);
    EXPECT_EQ(PortNameOf(read.Number), "COM200");

    fs::remove(cfg);
    fs::create_directory(cfg);
    EXPECT_EQ(ReadPortOption(tmp.Path()).State, TPortOptionState::BadSize);
}

}  // namespace
}  // namespace stanset
