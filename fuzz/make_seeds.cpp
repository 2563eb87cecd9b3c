// Writes the seed corpus of every fuzz target from the built-in sample exchanges: the
// engine reads and writes each sample over the simulator, the bytes it received become a
// line seed, its images table seeds, its saved file a loader seed.
//   fuzz_make_seeds OUT_DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/main_class.h"
#include "entries.h"
#include "files/config_file.h"
#include "link/comm_port.h"
#include "simulator.h"

namespace {

namespace fs = std::filesystem;
using namespace stanset;
using Bytes = std::vector<std::uint8_t>;

class TQuiet : public TUserInteraction {
public:
    void Message(const std::string&, const std::string&) override {}
    bool Ask(const std::string&, const std::string&) override { return false; }
    void Progress(int, int) override {}
    void OpenClockWindow(TMainClass&) override {}
};

// A real port on the simulator that keeps every byte the engine received.
class TRecordingLine : public TByteLine {
public:
    explicit TRecordingLine(const std::string& device) {
        port_.Open(device);
        port_.PurgeInput();
    }
    void PurgeInput() override { port_.PurgeInput(); }
    void FlushOutput() override { port_.FlushOutput(); }
    void WriteByte(std::uint8_t b) override { port_.WriteByte(b); }
    int ReadByte() override { return Keep(port_.ReadByte()); }
    int ReadBuffer(std::uint8_t* buf, int n) override {
        const int got = port_.ReadBuffer(buf, n);
        Received.insert(Received.end(), buf, buf + got);
        return got;
    }
    int ReadByteWithin(unsigned ms) override { return Keep(port_.ReadByteWithin(ms)); }
    void Pause(unsigned ms) override { port_.Pause(ms); }

    Bytes Received;

private:
    int Keep(int b) {
        if (b >= 0) Received.push_back(static_cast<std::uint8_t>(b));
        return b;
    }
    TCommPort port_;
};

Bytes ReadAllBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Put(const fs::path& dir, const std::string& name, const Bytes& bytes) {
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes Text(std::uint8_t pick, std::string_view text) {
    Bytes b{pick};
    b.insert(b.end(), text.begin(), text.end());
    return b;
}

std::string Label(std::size_t sample) {
    std::string s = std::string(fuzz::kSampleExchanges[sample].first) + "_" + fuzz::kSampleExchanges[sample].second;
    for (char& c : s)
        if (c == ',' || c == '-') c = '_';
    return s;
}

// Read-all and write-all of one sample: the line, table and loader seeds.
void FromExchange(const fs::path& out, std::size_t sample, const fs::path& work) {
    const auto& [model, firmware] = fuzz::kSampleExchanges[sample];
    const sim::ExchangeState state = sim::MakeSample({model, firmware});
    sim::Simulator exchange(state);
    exchange.Start();
    TQuiet ui;
    TRecordingLine line(exchange.SlavePath());
    TMainClass engine(ui, TEngineOptions{work.string(), {}, &line});
    auto data = std::make_shared<TDataStream>();
    const int read = engine.ReadAll(ui, data);
    const int wrote = read == 1 ? engine.WriteAll(ui, data) : 0;
    exchange.Stop();
    std::printf("%-14s read-all %d, write-all %d, %zu bytes received\n", Label(sample).c_str(), read, wrote,
                line.Received.size());
    Put(out / "line", Label(sample), line.Received);
    // Identification reply (key 0), billing buffer, board list and board records.
    Bytes ident{static_cast<std::uint8_t>(state.ident.size())};
    ident.insert(ident.end(), state.ident.begin(), state.ident.end());
    ident[1 + 11] = 0;
    auto block = [&state](int c, int a) { return state.blocks.count({c, a}) ? state.blocks.at({c, a}) : Bytes{}; };
    const Bytes billing = block(0x40, 0x03), boards = block(0x40, 0x09);
    ident.push_back(static_cast<std::uint8_t>(billing.size()));
    ident.insert(ident.end(), billing.begin(), billing.end());
    ident.push_back(static_cast<std::uint8_t>(boards.size()));
    ident.insert(ident.end(), boards.begin(), boards.end());
    for (std::size_t j = 0; j < boards.size(); ++j) {
        const Bytes rec = j < state.boards.size() ? state.boards[j] : Bytes{};
        ident.push_back(static_cast<std::uint8_t>(rec.size()));
        ident.insert(ident.end(), rec.begin(), rec.end());
    }
    Put(out / "identification", Label(sample), ident);

    if (read != 1) return;

    const auto tables = fuzz::TableSeeds(engine, static_cast<std::uint8_t>(sample));
    for (std::size_t t = 0; t < tables.size(); ++t) Put(out / "tables", Label(sample) + "_" + std::to_string(t), tables[t]);

    const fs::path file = work / (Label(sample) + ".ats");
    TFileList files;
    fs::remove(file);
    if (SaveConfiguration(engine, *data, files, file.string(), ui) != TSaveResult::Saved) return;
    Bytes seed{0x00};
    const Bytes bytes = ReadAllBytes(file);
    seed.insert(seed.end(), bytes.begin(), bytes.end());
    Put(out / "ats_loader", Label(sample), seed);
    // The same file over an engine that held another exchange, and the model question answered.
    seed[0] = static_cast<std::uint8_t>(0xC0 | ((sample + 1) % std::size(fuzz::kSampleExchanges)));
    Put(out / "ats_loader", Label(sample) + "_over_other", seed);

    // A few key texts the decoder produced.
    int keys = 0;
    for (const auto& table : data->STAButtons)
        for (const std::string& text : table.KeyText)
            if (!text.empty() && keys < 6) Put(out / "texts", "key_" + Label(sample) + "_" + std::to_string(keys++), Text(0, text));
}

void HandWritten(const fs::path& out) {
    const fs::path names = out / "work_files", texts = out / "texts";
    // Names files: Windows-1251 text, both line ends, a last line without one, byte 26.
    Put(names, "names_port", Text(0x00, std::string("\x01\x00") + "\xc1\xf3\xf5\xe3\xe0\xeb\xf2\xe5\xf0\xe8\xff\0"
                                         "\xc8\xe2\xe0\xed\xee\xe2\r\n\xd1\xea\xeb\xe0\xe4\r\nReception\n\r\nlast"));
    Put(names, "names_group", Text(0x0C, std::string("\x03\x00Sales\0") + "one\r\ntwo\r\n\x1a" "after the end"));
    Put(names, "names_book", Text(0x24, std::string("\x13\x00x\0") + std::string(40, '\n')));
    Put(names, "options_good", {0x01, 0x03, 0x01});
    Put(names, "options_short", {0x01, 0x07});
    Put(names, "options_long", {0x01, 0x02, 0x01, 0x00});
    Put(names, "typed_com3", Text(0x02, "COM3"));
    Put(names, "typed_com99", Text(0x02, "COM99"));
    Put(names, "typed_com100", Text(0x02, "COM100"));
    Put(names, "typed_lower", Text(0x02, "com 1"));

    Put(texts, "key_value", {0x01, 0x34, 0x12});
    Put(texts, "bcd", Text(0x02, std::string("\x0a") + "0123456789"));
    Put(texts, "bcd_swap", Text(0x82, std::string("\x04") + "8005"));
    Put(texts, "versions", Text(0x03, std::string("24,7") + '\0' + "23,8"));
    Put(texts, "versions_odd", Text(0x03, std::string("24,07") + '\0' + "24,"));
    Put(texts, "number_kvt", Text(0x04, "201"));
    Put(texts, "number_rd", Text(0x24, "-17"));
    Put(texts, "cp1251", Text(0x05, "\xc0\xe1\xe2\x98\xff"));
    Put(texts, "date", {0x06, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31, 0, 0, 0, 0, 0x2a, 0x10, 0x33, 0x44});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
        return 2;
    }
    const fs::path out = argv[1];
    std::string pattern = (fs::temp_directory_path() / "stanset-seeds-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return 1;
    const fs::path work = pattern;
    for (std::size_t s = 0; s < std::size(fuzz::kSampleExchanges); ++s) FromExchange(out, s, work);
    HandWritten(out);
    fs::remove_all(work);
    return 0;
}
