#include "entries.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <vector>

#include "engine/main_class.h"
#include "engine/ports.h"
#include "engine/status.h"
#include "engine/tables.h"
#include "exchange_state.h"
#include "files/config_file.h"
#include "files/names_list.h"
#include "files/options.h"
#include "link/codecs.h"
#include "link/identification.h"
#include "link/status.h"
#include "link/text_encoding.h"

namespace stanset::fuzz {
namespace {

namespace fs = std::filesystem;

// ---- plumbing ---------------------------------------------------------------------------

// Takes the input apart; an exhausted input reads as zeros.
class TReader {
public:
    explicit TReader(TInput input) : in_(input) {}
    std::uint8_t Byte() { return at_ < in_.size() ? in_[at_++] : 0; }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | Byte() << 8); }
    void Fill(std::span<std::uint8_t> dst) {
        const std::size_t n = std::min(dst.size(), in_.size() - at_);
        std::copy_n(in_.begin() + static_cast<long>(at_), n, dst.begin());
        std::fill(dst.begin() + static_cast<long>(n), dst.end(), 0);
        at_ += n;
    }
    // A text of up to max bytes, ended by a 0 byte or the input.
    std::string Text(std::size_t max = 4096) {
        std::string s;
        while (at_ < in_.size() && s.size() < max) {
            const char c = static_cast<char>(in_[at_++]);
            if (c == 0) break;
            s += c;
        }
        return s;
    }
    TInput Rest() const { return in_.subspan(at_); }

private:
    TInput in_;
    std::size_t at_ = 0;
};

// The exchange's side of the line: the input, byte by byte, on a virtual clock, so that a
// dead line costs no real time.
class TFuzzLine : public TByteLine {
public:
    explicit TFuzzLine(TInput input = {}) : in_(input) {}

    void PurgeInput() override {}
    void FlushOutput() override {}
    void WriteByte(std::uint8_t) override { NowMs += 1; }
    int ReadByte() override { return ReadByteWithin(250); }
    int ReadBuffer(std::uint8_t* buf, int n) override {
        int got = 0;
        while (got < n && at_ < in_.size()) buf[got++] = in_[at_++];
        if (got < n) buf[got] = 0, NowMs += 250 + static_cast<unsigned>(n);
        return got;
    }
    int ReadByteWithin(unsigned ms) override {
        if (at_ < in_.size()) return in_[at_++];
        NowMs += ms;
        return -1;
    }
    void Pause(unsigned ms) override { NowMs += ms; }

    unsigned long long NowMs = 0;

private:
    TInput in_;
    std::size_t at_ = 0;
};

class TQuietUI : public TUserInteraction {
public:
    explicit TQuietUI(bool answer = false) : answer_(answer) {}
    void Message(const std::string&, const std::string&) override { ++Messages; }
    bool Ask(const std::string&, const std::string&) override { return answer_; }
    void Progress(int, int) override {}
    void OpenClockWindow(TMainClass&) override {}
    int Messages = 0;

private:
    bool answer_;
};

// One working folder per process, removed at its end; each entry has a folder of its own
// below it so that one entry's files never steer another's.
class TWorkRoot {
public:
    TWorkRoot() {
        fs::path base = fs::temp_directory_path();
        std::error_code ec;
        if (!std::getenv("TMPDIR") && fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0)
            base = "/dev/shm";
        std::string pattern = (base / "stanset-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TWorkRoot() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    TWorkRoot(const TWorkRoot&) = delete;
    TWorkRoot& operator=(const TWorkRoot&) = delete;

    std::string Folder(const char* entry) const {
        const fs::path p = fs::path(path_) / entry;
        std::error_code ec;
        fs::create_directories(p / "dat", ec);
        return p.string();
    }

private:
    std::string path_;
};

const std::string& WorkDir(const char* entry) {
    static TWorkRoot root;
    // Entries are few and fixed; the folders are made once.
    static std::vector<std::pair<std::string, std::string>> folders;
    for (const auto& f : folders)
        if (f.first == entry) return f.second;
    folders.emplace_back(entry, root.Folder(entry));
    return folders.back().second;
}

void WriteFile(const std::string& path, TInput bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The model is large: under the sanitizers, fresh memory for it on every input costs more
// than the input itself. Two models (the most an entry holds at once) live in static
// storage and are built afresh in place.
std::shared_ptr<TDataStream> FreshModel() {
    constexpr int kSlots = 2;
    alignas(TDataStream) static unsigned char storage[kSlots][sizeof(TDataStream)];
    static bool used[kSlots] = {};
    for (int i = 0; i < kSlots; ++i) {
        if (used[i]) continue;
        used[i] = true;
        return {new (storage[i]) TDataStream(), [i](TDataStream* d) {
                    d->~TDataStream();
                    used[i] = false;
                }};
    }
    return std::make_shared<TDataStream>();
}

// An engine on an in-memory line in the entry's folder: no serial port is ever opened.
struct TBench {
    explicit TBench(const char* entry, TInput lineBytes = {}, bool answer = false)
        : ui(answer), line(lineBytes), engine(ui, TEngineOptions{WorkDir(entry), {}, &line}) {}
    TQuietUI ui;
    TFuzzLine line;
    TMainClass engine;
    std::shared_ptr<TDataStream> data = FreshModel();
};

// ---- the identities of the built-in sample exchanges -------------------------------------

struct TSampleIdentity {
    TIdentReply Reply;
    TStatusAndOptions Identity;
    TCompositionImage Composition;
    TRawImage TimeDefaults{1, 100};
    std::array<std::uint8_t, 5> ConfParams{};
};

std::vector<TSampleIdentity> MakeSampleIdentities() {
    std::vector<TSampleIdentity> out;
    for (const auto& [model, firmware] : kSampleExchanges) {
        const sim::ExchangeState s = sim::MakeSample({model, firmware});
        TSampleIdentity id;
        // As a live reply with link key 0, so the XOR leaves it as it is.
        const std::size_t n = std::min<std::size_t>(s.ident.size(), id.Reply.Buffer.size());
        std::copy_n(s.ident.begin(), n, id.Reply.Buffer.begin());
        id.Reply.Buffer[11] = 0;
        id.Reply.Length = static_cast<std::uint16_t>(n);
        DecodeIdentification(id.Reply, id.Identity, true);
        auto block = [&s](int c, int a) {
            const auto it = s.blocks.find({c, a});
            return it == s.blocks.end() ? sim::Bytes{} : it->second;
        };
        const sim::Bytes list = block(0x40, 0x09);
        const std::size_t boards = std::min<std::size_t>(list.size(), TCompositionImage::kMaxBoards);
        std::copy_n(list.begin(), boards, id.Composition.BoardList.Bytes.begin());
        id.Composition.BoardList.Counts[0] = static_cast<std::uint16_t>(boards);
        for (std::size_t j = 0; j < boards && j < s.boards.size(); ++j) {
            auto& rec = id.Composition.Boards[j];
            rec.Count = static_cast<std::uint8_t>(std::min(s.boards[j].size(), rec.Data.size()));
            std::copy_n(s.boards[j].begin(), rec.Count, rec.Data.begin());
        }
        const sim::Bytes defaults = block(0x08, -1);
        const std::size_t t = std::min<std::size_t>(defaults.size(), 100);
        std::copy_n(defaults.begin(), t, id.TimeDefaults.Bytes.begin());
        id.TimeDefaults.Counts[0] = static_cast<std::uint16_t>(t);
        const sim::Bytes params = block(0x40, 0x12);
        std::copy_n(params.begin(), std::min(params.size(), id.ConfParams.size()), id.ConfParams.begin());
        out.push_back(std::move(id));
    }
    return out;
}

const TSampleIdentity& SampleIdentity(std::uint8_t pick) {
    static const std::vector<TSampleIdentity> samples = MakeSampleIdentities();
    return samples[pick % samples.size()];
}

// The engine as a read-all of that exchange leaves it before the tables.
void Adopt(TBench& b, const TSampleIdentity& s) {
    TMainClass& e = b.engine;
    TDataStream& d = *b.data;
    const std::string workDir = e.Identity.WorkDir;
    e.Reply = s.Reply;
    e.Identity = s.Identity;
    e.Identity.WorkDir = workDir;
    e.Link.LinkKey = 0;
    e.Identified = true;
    e.Composition = s.Composition;
    e.TimeDefaults = s.TimeDefaults;
    e.ConfParams = s.ConfParams;
    e.VersionFlags = std::make_shared<TTableVerRWFlags>(MakeTableVerRWFlags(e.Identity.Model, e.Identity.Version));
    DecodeStatus(e, d, false, false, b.ui);
    DecodeTimeDefaults(e, d);
    DecodeComposition(e.Identity.Model, e.Composition, d);
    BuildPortList(e.Identity.Model, d);
}

// ---- tables -----------------------------------------------------------------------------

struct TTableCase {
    const char* Name;
    std::vector<TRawImage TMainClass::*> Images;  // empty: the quick conferences
    TFileImage TFileList::*File;
    void (*ToFile)(const TMainClass&, TFileImage&);
    bool (*FromFile)(TMainClass&, const TFileImage&);
    void (*Decode)(TMainClass&, TDataStream&);
    void (*Encode)(TMainClass&, TDataStream&);
};

template <auto F>
void Enc(TMainClass& e, TDataStream& d) {
    F(e, d);
}

void DecodeTimes(TMainClass& e, TDataStream& d) {
    DecodeTimeDefaults(e, d);
    DecodeTimeSettings(e, d);
}

// clang-format off
const TTableCase kTableCases[] = {
    {"subscriber lines", {&TMainClass::Lines},       &TFileList::Lines,       lines::CopyToFileImage,       lines::CopyFromFileImage,       DecodeSubscriberLines, Enc<EncodeSubscriberLines>},
    {"trunk lines",      {&TMainClass::Trunks},      &TFileList::Trunks,      trunks::CopyToFileImage,      trunks::CopyFromFileImage,      DecodeTrunkLines,      Enc<EncodeTrunkLines>},
    {"groups",           {&TMainClass::Groups},      &TFileList::Groups,      groups::CopyToFileImage,      groups::CopyFromFileImage,      DecodeGroups,          Enc<EncodeGroups>},
    {"direction tables", {&TMainClass::Directions},  &TFileList::Directions,  directions::CopyToFileImage,  directions::CopyFromFileImage,  DecodeDirectionTables, Enc<EncodeDirectionTables>},
    {"system-wide",      {&TMainClass::AllSys},      &TFileList::AllSys,      allsys::CopyToFileImage,      allsys::CopyFromFileImage,      DecodeSystemSettings,  Enc<EncodeSystemSettings>},
    {"intercoms",        {&TMainClass::Intercoms},   &TFileList::Intercoms,   intercoms::CopyToFileImage,   intercoms::CopyFromFileImage,   DecodeIntercoms,       Enc<EncodeIntercoms>},
    {"loudspeakers",     {&TMainClass::GGS},         &TFileList::GGS,         ggs::CopyToFileImage,         ggs::CopyFromFileImage,         DecodeLoudspeakers,    Enc<EncodeLoudspeakers>},
    {"redirects",        {&TMainClass::Redirects},   &TFileList::Redirects,   redirects::CopyToFileImage,   redirects::CopyFromFileImage,   DecodeRedirects,       Enc<EncodeRedirects>},
    {"flash",            {&TMainClass::Flash},       &TFileList::Flash,       flash::CopyToFileImage,       flash::CopyFromFileImage,       nullptr,               nullptr},
    {"common book",      {&TMainClass::CommonBook},  &TFileList::CommonBook,  commonbook::CopyToFileImage,  commonbook::CopyFromFileImage,  DecodeCommonBook,      Enc<EncodeCommonBook>},
    {"group books",      {&TMainClass::GroupBooks},  &TFileList::GroupBooks,  groupbooks::CopyToFileImage,  groupbooks::CopyFromFileImage,  DecodeGroupBooks,      Enc<EncodeGroupBooks>},
    {"program numbers",  {&TMainClass::ProgNumbers}, &TFileList::ProgNumbers, prognumbers::CopyToFileImage, prognumbers::CopyFromFileImage, DecodeProgramNumbers,  Enc<EncodeProgramNumbers>},
    {"quick conferences",{},                         &TFileList::QuickConf,   conferences::CopyToFileImage, conferences::CopyFromFileImage, DecodeConferences,     Enc<EncodeConferences>},
    {"key tables",       {&TMainClass::STAKeys},     &TFileList::STAKeys,     keytables::CopyToFileImage,   keytables::CopyFromFileImage,   DecodeKeyTables,       Enc<EncodeKeyTables>},
    {"time settings",    {&TMainClass::TimeDefaults, &TMainClass::TimeSettings},
                                                     &TFileList::TimeSettings,timesettings::CopyToFileImage,timesettings::CopyFromFileImage,DecodeTimes,           Enc<EncodeTimeSettings>},
    {"black and white books", {&TMainClass::BWBooks},&TFileList::BWBooks,     bwbooks::CopyToFileImage,     bwbooks::CopyFromFileImage,     DecodeBWBook,          Enc<EncodeBWBook>},
};
// clang-format on

void FillTable(TMainClass& e, const TTableCase& t, bool explicitCounts, TReader& r) {
    if (t.Images.empty()) {
        r.Fill(e.ConfParams);
        for (TConferenceSlot& s : e.QuickConf) {
            s.Present = r.Byte();
            s.Entries = r.Byte();
            r.Fill(s.Data);
        }
        return;
    }
    for (auto image : t.Images) {
        TRawImage& raw = e.*image;
        for (auto& c : raw.Counts)
            c = static_cast<std::uint16_t>(explicitCounts ? r.Word() % (raw.Capacity + 1) : raw.Capacity);
        raw.BlocksRead = raw.BlockCount();
    }
    for (auto image : t.Images) r.Fill((e.*image).Bytes);
}

const TFileList& FileImages() {
    static const TFileList files;
    return files;
}

}  // namespace

std::vector<std::vector<std::uint8_t>> TableSeeds(const TMainClass& e, std::uint8_t sample) {
    std::vector<std::vector<std::uint8_t>> seeds;
    for (std::size_t t = 0; t < std::size(kTableCases); ++t) {
        const TTableCase& c = kTableCases[t];
        // Explicit counts, then the images, as FillTable takes them.
        std::vector<std::uint8_t> in{static_cast<std::uint8_t>(t), static_cast<std::uint8_t>(0x10 | sample)};
        if (c.Images.empty()) {
            in.insert(in.end(), e.ConfParams.begin(), e.ConfParams.end());
            for (const TConferenceSlot& s : e.QuickConf) {
                in.push_back(s.Present);
                in.push_back(s.Entries);
                in.insert(in.end(), s.Data.begin(), s.Data.end());
            }
        } else {
            for (auto image : c.Images)
                for (std::uint16_t n : (e.*image).Counts) {
                    in.push_back(static_cast<std::uint8_t>(n));
                    in.push_back(static_cast<std::uint8_t>(n >> 8));
                }
            for (auto image : c.Images) in.insert(in.end(), (e.*image).Bytes.begin(), (e.*image).Bytes.end());
        }
        // Trailing zeros are what an exhausted input reads as anyway.
        while (!in.empty() && in.back() == 0) in.pop_back();
        seeds.push_back(std::move(in));
    }
    return seeds;
}

// ---- the entries -------------------------------------------------------------------------

std::string AtsLoader(TInput input) {
    if (input.empty()) return {};
    const std::uint8_t pick = input[0];
    const std::string& dir = WorkDir("ats_loader");
    const std::string in = dir + "/in.ats", out1 = dir + "/out1.ats", out2 = dir + "/out2.ats";
    WriteFile(in, input.subspan(1));

    TBench first("ats_loader", {}, pick & 0x40);
    if (pick & 0x80) Adopt(first, SampleIdentity(pick));
    TFileList files;
    if (LoadConfiguration(first.engine, *first.data, files, in, first.ui) != TLoadResult::Loaded) return {};

    // What was loaded must save, load again and save the same bytes: nothing lost on the way.
    std::error_code ec;
    fs::remove(out1, ec);
    fs::remove(out2, ec);
    TFileList save1;
    if (SaveConfiguration(first.engine, *first.data, save1, out1, first.ui) != TSaveResult::Saved)
        return "a loaded file could not be saved";
    TBench second("ats_loader");
    TFileList files2;
    if (LoadConfiguration(second.engine, *second.data, files2, out1, second.ui) != TLoadResult::Loaded)
        return "a saved file could not be loaded";
    TFileList save2;
    if (SaveConfiguration(second.engine, *second.data, save2, out2, second.ui) != TSaveResult::Saved)
        return "a reloaded file could not be saved";
    if (ReadWholeFile(out1) != ReadWholeFile(out2)) return "a file saved, loaded and saved again changed";
    return {};
}

std::string Tables(TInput input) {
    TReader r(input);
    const TTableCase& t = kTableCases[r.Byte() % std::size(kTableCases)];
    const std::uint8_t mode = r.Byte();
    TBench b("tables");
    Adopt(b, SampleIdentity(mode & 0x0F));
    TMainClass& e = b.engine;
    TDataStream& d = *b.data;
    FillTable(e, t, mode & 0x10, r);

    if (t.Decode) t.Decode(e, d);
    if (t.Encode) t.Encode(e, d);
    if (t.Decode) t.Decode(e, d);

    // Saved and loaded back, the section must come out as it went in. A table too large
    // for its section is refused, and the save says so.
    TFileImage saved = FileImages().*t.File, again = saved;
    t.ToFile(e, saved);
    if (saved.Refused) return {};
    if (!t.FromFile(e, saved)) return std::string(t.Name) + ": a saved section is refused on loading";
    t.ToFile(e, again);
    if (!std::ranges::equal(saved.Payload(), again.Payload()))
        return std::string(t.Name) + ": a section changed between loading and saving";
    if (t.Decode) t.Decode(e, d);
    return {};
}

std::string Identification(TInput input) {
    TReader r(input);
    TBench b("identification");
    TMainClass& e = b.engine;
    TDataStream& d = *b.data;

    TIdentReply reply;
    reply.Length = r.Byte();
    r.Fill(std::span(reply.Buffer).first(reply.Length));
    TIdentReply asFile = reply;
    TStatusAndOptions identity = e.Identity, fileIdentity;
    const bool live = DecodeIdentification(reply, identity, true);
    DecodeIdentification(asFile, fileIdentity, false);

    e.Billing.Clear();
    e.Billing.Counts[0] = static_cast<std::uint16_t>(r.Byte() % (e.Billing.Capacity + 1));
    r.Fill(e.Billing.Block(0).first(e.Billing.Counts[0]));

    TCompositionImage& c = e.Composition;
    c.BoardList.Counts[0] = r.Byte();
    r.Fill(c.BoardList.Block(0).first(c.BoardList.Counts[0]));
    for (int j = 0; j < c.BoardList.Counts[0]; ++j) {
        c.Boards[j].Count = static_cast<std::uint8_t>(r.Byte() % (TLink::kBoardCapacity + 1));
        r.Fill(std::span(c.Boards[j].Data).first(c.Boards[j].Count));
    }

    const std::string model = live ? identity.Model : SampleIdentity(r.Byte()).Identity.Model;
    if (live) {
        e.Reply = reply;
        e.Identity = identity;
        DecodeStatus(e, d, true, true, b.ui);
        ExchangeClockSeconds(e);
        e.VersionFlags = std::make_shared<TTableVerRWFlags>(MakeTableVerRWFlags(identity.Model, identity.Version));
    }
    DecodeComposition(model, c, d);
    BuildPortList(model, d);
    for (int k = 0; k < 4; ++k) FindPort(d, r.Word());
    return {};
}

std::string Line(TInput input) {
    TBench b("line", input);
    if (b.engine.ReadAll(b.ui, b.data) == 1) b.engine.WriteAll(b.ui, b.data);
    return {};
}

int LineReadAll(TInput input) {
    TBench b("line", input);
    return b.engine.ReadAll(b.ui, b.data);
}

std::string WorkFiles(TInput input) {
    TReader r(input);
    const std::uint8_t pick = r.Byte();
    const std::string& dir = WorkDir("work_files");
    switch (pick % 3) {
        case 0: {
            // One names file replaced by the input; every other file as a new one is.
            static const std::vector<TNameFile> kFiles = [] {
                std::vector<TNameFile> f{TNameKind::Ports,  TNameKind::GGS,        TNameKind::Df,
                                         TNameKind::Groups, TNameKind::CommonBook, TNameKind::Naveden,
                                         TNameKind::Conferences};
                for (int g = 0; g < TNamesList::kGroupBooks; ++g) f.emplace_back(TNameKind::GroupBook, g);
                return f;
            }();
            // Where each file lives, and its bytes as a new file has them.
            static const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> fresh = [&dir] {
                const TNamesList created(dir);
                std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
                for (const TNameFile& f : kFiles)
                    files.emplace_back(created.PathOf(f), ReadWholeFile(created.PathOf(f)));
                return files;
            }();
            const std::size_t k = (pick >> 2) % kFiles.size();
            const TNameFile file = kFiles[k];
            const std::uint16_t index = r.Word();
            const std::string name = r.Text(300);
            WriteFile(fresh[k].first, r.Rest());
            std::string problem;
            {
                TNamesList names(dir);
                for (const TNameFile& f : kFiles)
                    for (int i = -1; i <= names.Count(f); ++i) names.NameOf(f, i);
                const int at = index % (names.Count(file) + 2);
                if (names.StoreName(file, at, name) == 0) {
                    // What was stored is what the next start reads.
                    const TNamesList again(dir);
                    if (again.Count(file) != names.Count(file)) problem = "a stored name changed the count of names";
                    else if (again.NameOf(file, at) != Cp1251ToUtf8(Utf8ToCp1251(names.NameOf(file, at))))
                        problem = "a stored name reads back differently";
                }
            }
            WriteFile(fresh[k].first, fresh[k].second);
            return problem;
        }
        case 1: {
            const TInput bytes = r.Rest().first(std::min<std::size_t>(r.Rest().size(), 8));
            WriteFile(dir + "/Stanset_M.cfg", bytes);
            const TPortOptionFile option = ReadPortOption(dir);
            if (option.State == TPortOptionState::Port) PortNameOf(option.Number);
            if ((option.State == TPortOptionState::Port) != (bytes.size() == 2))
                return "the options file was taken at the wrong size";
            TBench b("work_files");
            return {};
        }
        default: {
            TQuietUI ui;
            std::string port = "COM1";
            const std::string typed = r.Text(64);
            const TPortOptionResult result = StorePortOption(dir, typed, port, ui);
            if (result == TPortOptionResult::Stored) {
                const TPortOptionFile option = ReadPortOption(dir);
                if (option.State != TPortOptionState::Port || PortNameOf(option.Number) != port)
                    return "a stored port name reads back differently";
            }
            return {};
        }
    }
}

std::string Texts(TInput input) {
    TReader r(input);
    const std::uint8_t pick = r.Byte();
    static constexpr const char* kModels[] = {"KVT700-1", "KVT250", "RD16", "RD32", "RD900", "B", ""};
    const std::string_view model = kModels[(pick >> 4) % std::size(kModels)];
    switch (pick & 7) {
        case 0: {
            const std::string text = r.Text();
            std::uint8_t value = 0xA5, kind = 0x5A;
            try {
                StrToWord1(text, value, kind);
            } catch (const EConvertError&) {
                if (value != 0xA5 || kind != 0x5A) return "StrToWord1 changed its outputs before refusing";
            }
            const TKeyTextCheck check = CheckKeyText(model, text);
            std::string typed;
            for (char c : text)
                if (c != ' ') typed += c;
            try {
                const std::uint16_t v = KeyTextToValue(text);
                // A key the editor takes shows as it was typed.
                const bool plan = model.starts_with("KVT") || model.starts_with("RD1") || model.starts_with("RD3");
                if (plan && check.Accepted && !typed.empty() && KeyValueToText(v) != typed)
                    return "a key typed as " + typed + " shows as " + KeyValueToText(v);
            } catch (const EConvertError&) {
            }
            return {};
        }
        case 1: {
            const std::uint16_t v = r.Word();
            try {
                KeyTextToValue(KeyValueToText(v));
            } catch (const EConvertError&) {
            }
            return {};
        }
        case 2: {
            const bool swap = pick & 0x80;
            std::uint8_t out[24];
            const std::size_t room = r.Byte() % (sizeof out + 1);
            const std::string text = r.Text(64);
            const std::size_t n = TextToBcd(text, std::span(out, room), swap);
            if (n > room) return "TextToBcd reported more than it may write";
            const bool digits =
                !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
            if (digits && !swap && (text.size() + 1) / 2 <= room && BcdToText(std::span(out, n), 0) != text)
                return "packed digits read back differently";
            BcdToText(r.Rest(), pick >> 4 & 3);
            return {};
        }
        case 3: {
            const std::string a = r.Text(64), b = r.Text(64);
            const int ab = CompareVersions(a, b), ba = CompareVersions(b, a);
            if (ab >= 0 && ba >= 0 && ab != 2 - ba) return "version order not antisymmetric";
            if (ab >= 0 && CompareVersions(a, a) != 1) return "a version differs from itself";
            MakeTableVerRWFlags(std::string(model), a);
            return {};
        }
        case 4: {
            const std::string text = r.Text(64);
            for (auto f : {NumberToLineIndex, NumberToTrunkIndex}) {
                try {
                    f(text, model);
                } catch (const EConvertError&) {
                }
            }
            try {
                const int n = StrToInt(text);
                GetLogSTA(model, n);
                STAIndexToNumber(n, model);
                LineIndexToNumber(model, n);
                TrunkIndexToNumber(model, n);
            } catch (const EConvertError&) {
            }
            return {};
        }
        case 5: {
            const std::string bytes = r.Text();
            const std::string utf8 = Cp1251ToUtf8(bytes);
            if (Utf8ToCp1251(utf8).size() != bytes.size()) return "a Windows-1251 text changed length on its way back";
            Utf8ToCp1251(bytes);
            return {};
        }
        default: {
            TMonthTable months;
            r.Fill(months);
            std::uint64_t seconds = 0;
            for (int k = 0; k < 8; ++k) seconds = seconds << 8 | r.Byte();
            SecondsToDateTime(months, seconds);
            SecondsToTime(seconds);
            const TDateTime t = SecondsToDateTime(seconds % (1ull << 32));
            if (DateTimeToSeconds(t) != seconds % (1ull << 32)) return "a moment does not read back";
            DateTimeToSeconds(months, static_cast<int>(r.Word()) - 30000, r.Byte() - 100, r.Byte() - 100,
                              r.Byte() - 100, r.Byte() - 100, r.Byte() - 100);
            return {};
        }
    }
}

}  // namespace stanset::fuzz
