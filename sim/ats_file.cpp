#include "ats_file.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "bytes.h"

namespace sim {

namespace {

constexpr int kHeader = 200;

// How each section of a file maps onto the exchange's blocks.
enum class Shape { Single, Records, Books, Counted, ProgNumbers, Conferences };
struct Section {
    int type;
    Shape shape;
    int command;   // read command of the blocks
    int address;   // the single block's second byte (-1 none), or the first index
    int countAt;   // identification byte with the record count (-1: fixed)
    int fixed;     // record count when fixed
};
// clang-format off
constexpr Section kSections[] = {
    { 1, Shape::Records,     0x60,    0, 19,  0},
    { 2, Shape::Single,      0x0A,   -1, -1,  1},
    { 4, Shape::Single,      0x09,   -1, -1,  1},
    { 6, Shape::Records,     0x54,    0, 16,  0},
    { 7, Shape::Records,     0x5C,    0, 18,  0},
    { 8, Shape::Records,     0x0C,   -1, -1,  3},
    { 9, Shape::Single,      0x40,    2, -1,  1},
    {10, Shape::ProgNumbers, 0x40,    1, -1,  1},
    {12, Shape::Single,      0x40,    0, -1,  1},
    {13, Shape::Conferences, 0x64,    0, -1,  0},
    {14, Shape::Records,     0x44,    0, 17,  0},
    {15, Shape::Records,     0x50,    0, -1, 20},
    {16, Shape::Records,     0x4C,    0,  9,  0},
    {17, Shape::Records,     0x48,    0,  8,  0},
    {18, Shape::Books,       0x58,    0, -1, 20},
    {19, Shape::Counted,     0x40, 0x13, -1,  1},
};
// clang-format on

// The address of record i of a record list: plain commands count up, others index.
BlockAddress RecordAddress(const Section& s, int i) {
    return s.address < 0 ? BlockAddress{s.command + i, -1} : BlockAddress{s.command, i};
}

int RecordCount(const Section& s, const Bytes& ident) {
    if (s.countAt < 0) return s.fixed;
    const int n = ident[static_cast<std::size_t>(s.countAt)];
    return s.countAt == 17 && n == 0 ? 48 : n;
}

struct Reader {
    const Bytes& f;
    std::size_t at;
    std::size_t end;
    std::uint8_t Byte() {
        if (at >= end) throw std::runtime_error("configuration file: section cut short");
        return f[at++];
    }
    Bytes Take(std::size_t n) {
        if (at + n > end) throw std::runtime_error("configuration file: section cut short");
        Bytes b(f.begin() + static_cast<long>(at), f.begin() + static_cast<long>(at + n));
        at += n;
        return b;
    }
};

bool IsKvt700(const Bytes& ident) { return ident.size() > 5 && ident[5] == 6; }

}  // namespace

ExchangeState LoadAtsFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    const Bytes f{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    auto word = [&f](std::size_t at) {
        if (at + 2 > f.size()) throw std::runtime_error("configuration file: header cut short");
        return stanset::MakeWord(f[at], f[at + 1]);
    };
    if (f.size() < 21 || f[0] != 20) throw std::runtime_error("not a configuration file: " + path);

    ExchangeState st;
    // The file holds the identification without a name: bytes 0-15, an empty name, the counts.
    st.ident.assign(f.begin() + 1, f.begin() + 17);
    st.ident.push_back(0);
    st.ident.insert(st.ident.end(), f.begin() + 17, f.begin() + 21);
    st.ident.resize(st.ident.size() + 16, 0);
    const Bytes counts(f.begin() + 1, f.begin() + 21);

    std::size_t at = 21;
    const std::size_t t = word(at);
    Reader header{f, at + 2, f.size()};
    st.blocks[{0x08, -1}] = header.Take(t);
    at = header.at;
    const std::size_t c = word(at);
    header.at = at + 2;
    const Bytes boards = header.Take(c);
    st.blocks[{0x40, 0x09}] = boards;
    for (std::uint8_t code : boards) st.boards.push_back({code});
    at = header.at;
    if (word(at) != 5) throw std::runtime_error("configuration file: conference parameters");
    header.at = at + 2;
    const Bytes params = header.Take(5);
    st.blocks[{0x40, 0x12}] = params;
    // Not kept in files: an empty billing buffer of a plausible size.
    st.blocks[{0x40, 0x03}] = {0x10, 0x27, 0, 0, 0, 0};

    for (std::size_t p = kHeader; p < f.size();) {
        const std::size_t l = word(p);
        if (p + 2 >= f.size()) throw std::runtime_error("configuration file: section cut short");
        const int type = f[p + 2];
        Reader r{f, p + 3, p + 3 + l};
        if (r.end > f.size()) throw std::runtime_error("configuration file: section cut short");
        p = r.end;
        const Section* s = nullptr;
        for (const Section& k : kSections)
            if (k.type == type) s = &k;
        if (!s) continue;
        const int n = RecordCount(*s, counts);
        switch (s->shape) {
            case Shape::Single: st.blocks[{s->command, s->address}] = r.Take(l); break;
            case Shape::Records:
                for (int i = 0; i < n && r.at < r.end; ++i) st.blocks[RecordAddress(*s, i)] = r.Take(r.Byte());
                break;
            case Shape::Books:
                for (int i = 0; i < n && r.at < r.end; ++i) {
                    st.blocks[{s->command, i}] = r.Take(r.Byte());
                    st.blocks[{s->command, i | 0x20}] = r.Take(r.Byte());
                }
                break;
            case Shape::Counted: st.blocks[{s->command, s->address}] = r.Take(r.Byte()); break;
            case Shape::ProgNumbers: {
                const std::size_t first = IsKvt700(counts) ? std::min<std::size_t>(l, 240) : l;
                st.blocks[{0x40, 0x01}] = r.Take(first);
                if (IsKvt700(counts)) st.blocks[{0x40, 0x11}] = r.Take(l - first);
                break;
            }
            case Shape::Conferences:
                st.conferences.assign(60, {});
                for (int i = 0; i < params[0] && i < 60 && r.at < r.end; ++i) {
                    ConferenceSlot& slot = st.conferences[static_cast<std::size_t>(i)];
                    slot.present = r.Byte();
                    slot.entries = r.Byte();
                    slot.payload = r.Take(static_cast<std::size_t>(slot.entries) * params[2]);
                }
                break;
        }
    }
    if (st.conferences.empty()) st.conferences.assign(60, {});
    return st;
}

void SaveAtsFile(const ExchangeState& st, const std::string& path) {
    auto block = [&st](int command, int address) {
        auto it = st.blocks.find({command, address});
        return it == st.blocks.end() ? Bytes{} : it->second;
    };
    auto put16 = [](Bytes& out, std::size_t v) {
        out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    // The identification without its name, counts moved up to bytes 16-19.
    Bytes counts(st.ident.begin(), st.ident.begin() + std::min<std::size_t>(16, st.ident.size()));
    counts.resize(16, 0);
    std::size_t name = 16;
    while (name < st.ident.size() && st.ident[name] != 0) ++name;
    for (std::size_t k = 0; k < 4; ++k) counts.push_back(name + 1 + k < st.ident.size() ? st.ident[name + 1 + k] : 0);
    counts[0] = counts[1] = counts[2] = counts[3] = 0;
    counts[11] = 0;

    Bytes out{20};
    out.insert(out.end(), counts.begin(), counts.end());
    for (const Bytes& b : {block(0x08, -1), block(0x40, 0x09)}) {
        put16(out, b.size());
        out.insert(out.end(), b.begin(), b.end());
    }
    Bytes params = block(0x40, 0x12);
    params.resize(5, 0);
    put16(out, 5);
    out.insert(out.end(), params.begin(), params.end());
    if (out.size() > kHeader) throw std::runtime_error("the header of " + path + " would be too long");
    out.resize(kHeader, 0);

    for (const Section& s : kSections) {
        Bytes payload;
        auto record = [&payload](const Bytes& b) {
            payload.push_back(static_cast<std::uint8_t>(b.size()));
            payload.insert(payload.end(), b.begin(), b.end());
        };
        const int n = RecordCount(s, counts);
        switch (s.shape) {
            case Shape::Single: payload = block(s.command, s.address); break;
            case Shape::Records:
                for (int i = 0; i < n; ++i) {
                    const BlockAddress a = RecordAddress(s, i);
                    record(block(a.first, a.second));
                }
                break;
            case Shape::Books:
                for (int i = 0; i < n; ++i) {
                    record(block(s.command, i));
                    record(block(s.command, i | 0x20));
                }
                break;
            case Shape::Counted: record(block(s.command, s.address)); break;
            case Shape::ProgNumbers: {
                payload = block(0x40, 0x01);
                const Bytes second = block(0x40, 0x11);
                if (IsKvt700(counts)) payload.insert(payload.end(), second.begin(), second.end());
                break;
            }
            case Shape::Conferences:
                for (int i = 0; i < params[0] && i < static_cast<int>(st.conferences.size()); ++i) {
                    const ConferenceSlot& slot = st.conferences[static_cast<std::size_t>(i)];
                    payload.push_back(slot.present);
                    payload.push_back(slot.entries);
                    payload.insert(payload.end(), slot.payload.begin(), slot.payload.end());
                }
                break;
        }
        if (payload.size() > 0xFFFF) throw std::runtime_error("a section of " + path + " would be too long");
        put16(out, payload.size());
        out.push_back(static_cast<std::uint8_t>(s.type));
        out.insert(out.end(), payload.begin(), payload.end());
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    if (!file) throw std::runtime_error("cannot write " + path);
}

}  // namespace sim
