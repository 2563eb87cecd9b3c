// Engine start-up: the folder, the options file and the port, and the clock command when
// the exchange never acknowledges it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/clock.h"
#include "engine/main_class.h"
#include "support/fake_line.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace stanset {
namespace {

namespace fs = std::filesystem;
using testing::FakeLine;
using testing::RecordingUI;
using testing::TempDir;

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(EngineStartUp, OptionsFileCases) {
    struct Case {
        const char* name;
        const char* contents;  // nullptr: no file
        const char* message;
    } cases[] = {
        {"missing", nullptr, "Исключение! Непонятная ошибка при открытии СОМ-порта.  Проверьте номер СОМ-порта. (1)"},
        {"two bytes", "\x07\x01", "Исключение! Непонятная ошибка при открытии СОМ-порта. Проверьте номер СОМ-порта."},
        {"three bytes", "\x07\x01\x01", "Ошибочный формат файла(размер!=2)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path cfg = fs::path(dir.Path()) / "Stanset_M.cfg";
        if (c.contents) std::ofstream(cfg, std::ios::binary) << c.contents;
        RecordingUI ui;
        TMainClass engine(ui, {dir.Path(), "/dev/stanset-no-such-port"});
        EXPECT_TRUE(fs::is_directory(fs::path(dir.Path()) / "dat"));
        EXPECT_TRUE(ui.Showed(c.message));
        EXPECT_FALSE(engine.Ready);
        EXPECT_FALSE(engine.Port.IsOpen());
        if (!c.contents) {
            EXPECT_EQ(ReadFile(cfg), std::string("\x01\x01", 2));
        }
    }
}

TEST(EngineStartUp, WithoutAnOpenPortAReadOrWriteIsNoLink) {
    TempDir dir;
    RecordingUI ui;
    TMainClass engine(ui, {dir.Path(), "/dev/stanset-no-such-port"});
    auto data = std::make_shared<TDataStream>();
    EXPECT_EQ(engine.ReadAll(ui, data), -1);
    EXPECT_EQ(engine.WriteAll(ui, data), -1);
    engine.Shutdown(ui);
}

TEST(EngineStartUp, PortNameComesFromTheFirstByte) {
    TempDir dir;
    std::ofstream(fs::path(dir.Path()) / "Stanset_M.cfg", std::ios::binary) << "\x0C\x01";
    RecordingUI ui;
    FakeLine line;
    TMainClass engine(ui, {.workDir = dir.Path(), .device = {}, .line = &line});
    EXPECT_EQ(engine.Identity.PortName, "COM12");
    EXPECT_EQ(engine.Identity.WorkDir, dir.Path());
    EXPECT_TRUE(ui.Messages.empty());
}

// Plays an exchange that identifies itself but refuses every clock command.
TEST(EngineClock, NeverAcknowledgedIsAFailure) {
    TempDir dir;
    RecordingUI ui;
    FakeLine line;
    int clockBytes = 0, clockCommands = 0;
    line.OnWrite = [&](FakeLine& l, std::uint8_t b) {
        if (clockBytes > 0) {
            if (--clockBytes == 0) l.Pending.push_back(1);
        } else if (b == 0x85) {
            clockBytes = 6;
            ++clockCommands;
        } else if (b == 0x00) {
            l.Pending.push_back(0);
        } else if (b == 0x01) {
            l.Pending = {21, 0, 0, 0, 0, 0, 6, 0x47, 2, 75, 150, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0, 0};
        }
    };
    TMainClass engine(ui, {.workDir = dir.Path(), .device = {}, .line = &line});
    EXPECT_FALSE(SetClock(engine, {2021, 5, 6, 7, 8, 9}));
    EXPECT_EQ(clockCommands, 11);
}

}  // namespace
}  // namespace stanset
