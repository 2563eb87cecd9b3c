#include "files/config_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/main_class.h"
#include "engine/status.h"
#include "engine/tables.h"
#include "link/bytes.h"
#include "link/identification.h"

namespace stanset {

namespace fs = std::filesystem;

namespace {

constexpr const char* kMalformed = "Файл конфигурации повреждён или имеет неверный формат.";
// A configuration file holds at most 16 sections of 64 KiB; anything far larger is not one.
constexpr std::uintmax_t kMaxFileSize = 16u << 20;

struct TSectionDef {
    std::uint8_t type;
    bool TDataStream::*selected;
    TTableIndex table;
    TFileImage TFileList::*image;
    void (*toFile)(const TMainClass&, TFileImage&);
    bool (*fromFile)(TMainClass&, const TFileImage&);
    void (*decode)(TMainClass&, TDataStream&);
    const char* caption;  // of the table's selection box
};

// In the order of the types in a file, which is also the order of the copies and decoders.
// clang-format off
const TSectionDef kSections[] = {
    { 1, &TDataStream::SelSTAKeys,      kTabSTAKeys,      &TFileList::STAKeys,      keytables::CopyToFileImage,    keytables::CopyFromFileImage,    DecodeKeyTables, "Таблицы кнопок СТА"},
    { 2, &TDataStream::SelAllSys,       kTabAllSys,       &TFileList::AllSys,       allsys::CopyToFileImage,       allsys::CopyFromFileImage,       DecodeSystemSettings, "Общесистемные установки"},
    { 4, &TDataStream::SelTimeSettings, kTabTimeSettings, &TFileList::TimeSettings, timesettings::CopyToFileImage, timesettings::CopyFromFileImage, DecodeTimeSettings, "Временные установки"},
    { 6, &TDataStream::SelIntercoms,    kTabIntercoms,    &TFileList::Intercoms,    intercoms::CopyToFileImage,    intercoms::CopyFromFileImage,    DecodeIntercoms, "Таблицы домофонов"},
    { 7, &TDataStream::SelGGS,          kTabGGS,          &TFileList::GGS,          ggs::CopyToFileImage,          ggs::CopyFromFileImage,          DecodeLoudspeakers, "Таблицы ГГС"},
    { 8, &TDataStream::SelCommonBook,   kTabCommonBook,   &TFileList::CommonBook,   commonbook::CopyToFileImage,   commonbook::CopyFromFileImage,   DecodeCommonBook, "Общая записная книжка"},
    { 9, &TDataStream::SelFlash,        kTabFlash,        &TFileList::Flash,        flash::CopyToFileImage,        flash::CopyFromFileImage,        nullptr, "Flash установки"},
    {10, &TDataStream::SelProgNumbers,  kTabProgNumbers,  &TFileList::ProgNumbers,  prognumbers::CopyToFileImage,  prognumbers::CopyFromFileImage,  DecodeProgramNumbers, "Программные номера"},
    {12, &TDataStream::SelRedirects,    kTabRedirects,    &TFileList::Redirects,    redirects::CopyToFileImage,    redirects::CopyFromFileImage,    DecodeRedirects, "Таблица переадресаций"},
    {13, &TDataStream::SelQuickConf,    kTabQuickConf,    &TFileList::QuickConf,    conferences::CopyToFileImage,  conferences::CopyFromFileImage,  DecodeConferences, "Быстрый сбор конференции"},
    {14, &TDataStream::SelDirections,   kTabDirections,   &TFileList::Directions,   directions::CopyToFileImage,   directions::CopyFromFileImage,   DecodeDirectionTables, "Таблицы наведения"},
    {15, &TDataStream::SelGroups,       kTabGroups,       &TFileList::Groups,       groups::CopyToFileImage,       groups::CopyFromFileImage,       DecodeGroups, "Установки групп"},
    {16, &TDataStream::SelLines,        kTabLines,        &TFileList::Lines,        lines::CopyToFileImage,        lines::CopyFromFileImage,        DecodeSubscriberLines, "Установки АЛ"},
    {17, &TDataStream::SelTrunks,       kTabTrunks,       &TFileList::Trunks,       trunks::CopyToFileImage,       trunks::CopyFromFileImage,       DecodeTrunkLines, "Установка СЛ"},
    {18, &TDataStream::SelGroupBooks,   kTabGroupBooks,   &TFileList::GroupBooks,   groupbooks::CopyToFileImage,   groupbooks::CopyFromFileImage,   DecodeGroupBooks, "Групповые записные книжки"},
    {19, &TDataStream::SelBWBooks,      kTabBWBooks,      &TFileList::BWBooks,      bwbooks::CopyToFileImage,      bwbooks::CopyFromFileImage,      DecodeBWBook, "Черно-белая книжка"},
};
// clang-format on

bool AnySelected(const TDataStream& d) {
    return std::any_of(std::begin(kSections), std::end(kSections), [&](const TSectionDef& s) { return d.*s.selected; });
}

// Everything a load may change in the engine, to put back when a table of the file turns
// out unusable half way.
struct TEngineSnapshot {
    explicit TEngineSnapshot(const TMainClass& e)
        : identity(e.Identity), reply(e.Reply), timeDefaults(e.TimeDefaults), composition(e.Composition),
          confParams(e.ConfParams), quickConf(e.QuickConf) {
        for (auto image : kImages) images.push_back(e.*image);
    }
    void Restore(TMainClass& e) const {
        e.Identity = identity;
        e.Reply = reply;
        e.TimeDefaults = timeDefaults;
        e.Composition = composition;
        e.ConfParams = confParams;
        e.QuickConf = quickConf;
        for (std::size_t i = 0; i < std::size(kImages); ++i) e.*kImages[i] = images[i];
    }

    static constexpr TRawImage TMainClass::*kImages[] = {
        &TMainClass::TimeSettings, &TMainClass::AllSys,     &TMainClass::Intercoms,   &TMainClass::GGS,
        &TMainClass::CommonBook,   &TMainClass::GroupBooks, &TMainClass::Redirects,   &TMainClass::Lines,
        &TMainClass::ProgNumbers,  &TMainClass::Flash,      &TMainClass::Directions,  &TMainClass::STAKeys,
        &TMainClass::Groups,       &TMainClass::Trunks,     &TMainClass::BWBooks,
    };
    TStatusAndOptions identity;
    TIdentReply reply;
    TRawImage timeDefaults;
    TCompositionImage composition;
    std::array<std::uint8_t, 5> confParams;
    std::array<TConferenceSlot, TQuickConfCommand::maxRecords> quickConf;
    std::vector<TRawImage> images;
};

}  // namespace

TFileList::TFileList() { Sections.reserve(64); }

TWriteState TFileList::OpenForWriting(TUserInteraction& ui) {
    CloseFile();
    std::error_code ec;
    if (fs::exists(FileName, ec)) {
        WriteState = ui.Ask("Файл уже существует, перезаписать его?", "Предупреждение") ? wsOverwrite : wsDeclined;
        return WriteState;
    }
    fd_ = ::open(FileName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    WriteState = fd_ >= 0 ? wsReady : wsCannotCreate;
    return WriteState;
}

void TFileList::CloseFile() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool TFileList::WriteAll(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t r = ::write(fd_, p, size);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        p += r;
        size -= static_cast<std::size_t>(r);
    }
    return true;
}

void TFileList::AddSection(std::uint8_t type, std::span<const std::uint8_t> payload) {
    std::erase_if(Sections, [type](const TFileSection& s) { return s.Type == type; });
    Sections.push_back({type, {payload.begin(), payload.end()}});
}

bool TFileList::SaveFile(const TDataStream& selection, TUserInteraction& ui) {
    Sections.clear();
    for (const TSectionDef& s : kSections)
        if (selection.*s.selected) AddSection(s.type, (this->*s.image).Payload());

    bool ok = true;
    auto header = [&](const void* data, std::size_t size, const char* message) {
        if (WriteAll(data, size)) return true;
        ui.Message(message, "Ошибка");
        ok = false;
        return false;
    };
    auto word = [](std::uint16_t w) {
        std::array<std::uint8_t, 2> b{};
        SplitWord(w, b[0], b[1]);
        return b;
    };
    if (WriteState == wsReady) {
        const std::uint8_t identLength = kIdentLength;
        if (header(&identLength, 1, "Ошибка записи в файл (длина статуса)."))
            header(IdentImage.data(), kIdentLength, "Ошибка записи в файл (статус).");
        const auto t = word(TimeDefaultsLength);
        header(t.data(), 2, "Ошибка записи в файл (табл. умолч. врем. длина).");
        header(TimeDefaultsImage.data(), TimeDefaultsLength, "Ошибка записи в файл (табл. умолч. врем. массив).");
        const auto c = word(CompositionLength);
        if (header(c.data(), 2, "Ошибка записи в файл (состав АТС)."))
            header(CompositionImage.data(), CompositionLength, "Ошибка записи в файл (состав АТС).");
        const auto five = word(5);
        if (header(five.data(), 2, "Ошибка записи в файл (параметры конференции)."))
            header(ConfParams.data(), ConfParams.size(), "Ошибка записи в файл (параметры конференции).");
    }
    const off_t used = ::lseek(fd_, 0, SEEK_CUR);
    if (used >= 0 && used < kHeaderSize) {
        const std::vector<std::uint8_t> zeros(static_cast<std::size_t>(kHeaderSize - used), 0);
        ok = WriteAll(zeros.data(), zeros.size()) && ok;
    }
    for (const TFileSection& s : Sections) {
        const auto l = word(static_cast<std::uint16_t>(s.Payload.size()));
        const std::uint8_t head[3] = {l[0], l[1], s.Type};
        ok = WriteAll(head, 3) && WriteAll(s.Payload.data(), s.Payload.size()) && ok;
    }
    return ok;
}

bool TFileList::ReadFile(const std::string& path, std::string& reason) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec || size > kMaxFileSize) {
        reason = ec ? "cannot open" : "too large";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        reason = "cannot open";
        return false;
    }
    const std::vector<std::uint8_t> f{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    auto word = [&f](std::size_t at) { return MakeWord(f[at], f[at + 1]); };

    // The header: four blocks in a row, each behind its length.
    if (f.size() < 1 + kIdentLength + 2 || f[0] != kIdentLength) {
        reason = "no identification";
        return false;
    }
    std::fill(IdentImage.begin(), IdentImage.end(), 0);
    std::copy_n(f.begin() + 1, kIdentLength, IdentImage.begin());
    IdentLength = kIdentLength;
    std::size_t at = 1 + kIdentLength;
    const std::size_t t = word(at);
    at += 2;
    if (t > TimeDefaultsImage.size() || at + t + 2 > f.size()) {
        reason = "time-settings defaults";
        return false;
    }
    std::copy_n(f.begin() + static_cast<long>(at), t, TimeDefaultsImage.begin());
    TimeDefaultsLength = static_cast<std::uint16_t>(t);
    at += t;
    const std::size_t c = word(at);
    at += 2;
    if (c > CompositionImage.size() || at + c + 2 > f.size()) {
        reason = "composition";
        return false;
    }
    std::copy_n(f.begin() + static_cast<long>(at), c, CompositionImage.begin());
    CompositionLength = static_cast<std::uint16_t>(c);
    at += c;
    if (word(at) != ConfParams.size() || at + 2 + ConfParams.size() > f.size() ||
        at + 2 + ConfParams.size() > kHeaderSize) {
        reason = "conference parameters";
        return false;
    }
    std::copy_n(f.begin() + static_cast<long>(at) + 2, ConfParams.size(), ConfParams.begin());

    // The sections; the last of a type wins, types no table uses are stepped over.
    Sections.clear();
    for (at = kHeaderSize; at < f.size();) {
        if (at + 3 > f.size()) {
            reason = "section header cut short";
            return false;
        }
        const std::size_t l = word(at);
        const std::uint8_t type = f[at + 2];
        if (at + 3 + l > f.size()) {
            reason = "section cut short";
            return false;
        }
        const bool known = std::any_of(std::begin(kSections), std::end(kSections),
                                       [type](const TSectionDef& s) { return s.type == type; });
        if (known) AddSection(type, std::span<const std::uint8_t>(f.data() + at + 3, l));
        at += 3 + l;
    }
    return true;
}

bool TFileList::DecodeFileStatus() {
    const auto& b = IdentImage;
    const std::string model = ModelForDeviceCode(b[5]);
    if (model.empty()) return false;
    TRWFileStatus s;
    s.Model = model;
    s.UnitCount = 1 + TestBit(b[4], 1) + TestBit(b[4], 2);
    s.Version = std::to_string(b[7]) + std::to_string(b[6] >> 4) + "," + std::to_string(b[6] & 0x0F);
    s.TrunkCount = b[8];
    s.LineCount = b[9];
    s.TimeUnit = b[13] ? b[13] : 6;
    s.Serial = std::to_string(MakeWord(b[14], b[15]));
    s.IntercomBlocks = b[16];
    s.DirectionCount = b[17] ? b[17] : 48;
    s.GGSBlocks = b[18];
    s.STACount = b[19];
    for (int bit = 0; bit < 3; ++bit) s.UnitFlags[bit] = TestBit(b[4], bit);
    Status = s;
    return true;
}

bool TFileList::TakeSection(std::uint8_t type, TFileImage& image) const {
    for (auto it = Sections.rbegin(); it != Sections.rend(); ++it)
        if (it->Type == type) return image.Assign(it->Payload);
    std::fill(image.Bytes.begin(), image.Bytes.end(), 0);
    image.Length = 0;
    return true;
}

bool TFileList::LoadSections(const TDataStream& selection) {
    for (const TSectionDef& s : kSections)
        if (selection.*s.selected && !TakeSection(s.type, this->*s.image)) return false;
    return true;
}

bool HoldsTable(const TFileList& files, int table) {
    for (const TSectionDef& s : kSections)
        if (s.table == table)
            return std::any_of(files.Sections.begin(), files.Sections.end(),
                               [&](const TFileSection& f) { return f.Type == s.type; });
    return false;
}

bool CopyHeaderFromEngine(const TMainClass& e, TFileList& files) {
    const std::size_t t = e.TimeDefaults.Counts[0];
    const std::size_t c = e.Composition.BoardList.Counts[0];
    if (t > files.TimeDefaultsImage.size() || c > files.CompositionImage.size() ||
        32 + t + c > TFileList::kHeaderSize)
        return false;
    std::fill(files.IdentImage.begin(), files.IdentImage.end(), 0);
    std::copy_n(e.Reply.Buffer.begin(), TFileList::kIdentLength, files.IdentImage.begin());
    files.IdentLength = TFileList::kIdentLength;
    std::copy_n(e.TimeDefaults.Bytes.begin(), t, files.TimeDefaultsImage.begin());
    files.TimeDefaultsLength = static_cast<std::uint16_t>(t);
    std::copy_n(e.Composition.BoardList.Bytes.begin(), c, files.CompositionImage.begin());
    files.CompositionLength = static_cast<std::uint16_t>(c);
    files.ConfParams = e.ConfParams;
    return true;
}

TSaveResult SaveConfiguration(TMainClass& e, TDataStream& d, TFileList& files, const std::string& path,
                              TUserInteraction& ui) {
    if (!AnySelected(d)) {
        ui.Message("Не выбрано ни одной таблицы.", "Уведомление");
        return TSaveResult::NothingSelected;
    }
    if (!CopyHeaderFromEngine(e, files)) {
        ui.Message("Ошибка записи в файл (состав АТС).", "Ошибка");
        return TSaveResult::WriteFailed;
    }
    // A table too large for its section would be saved empty and the save called a success.
    for (const TSectionDef& s : kSections) {
        if (!(d.*s.selected)) continue;
        s.toFile(e, files.*s.image);
        if ((files.*s.image).Refused) {
            ui.Message(std::string("Ошибка записи в файл (") + s.caption + ").", "Ошибка");
            return TSaveResult::WriteFailed;
        }
    }
    files.FileName = path;
    TWriteState state = files.OpenForWriting(ui);
    if (state == wsDeclined) return TSaveResult::Declined;
    if (state == wsOverwrite) {
        // The old file is kept as the one backup of the working folder.
        const fs::path backup = fs::path(e.Identity.WorkDir) / "ats.bak";
        std::error_code ec;
        fs::remove(backup, ec);
        fs::rename(path, backup, ec);
        if (ec) {
            ec.clear();
            fs::copy_file(path, backup, fs::copy_options::overwrite_existing, ec);
            if (!ec) fs::remove(path, ec);
        }
        state = ec ? wsCannotCreate : files.OpenForWriting(ui);
    }
    if (state != wsReady) {
        ui.Message("Невозможно создать файл", "Ошибка");
        return TSaveResult::CannotCreate;
    }
    const bool ok = files.SaveFile(d, ui);
    files.CloseFile();
    return ok ? TSaveResult::Saved : TSaveResult::WriteFailed;
}

TLoadResult LoadConfiguration(TMainClass& e, TDataStream& d, TFileList& files, const std::string& path,
                              TUserInteraction& ui) {
    if (!AnySelected(d)) {
        ui.Message("Не отмечено ни одной таблицы.", "");
        return TLoadResult::NothingSelected;
    }
    std::string reason;
    if (!files.ReadFile(path, reason)) {
        if (reason == "cannot open") {
            ui.Message("Не смогли открыть файл.", "Ошибка");
            return TLoadResult::CannotOpen;
        }
        ui.Message(kMalformed, "Ошибка");
        return TLoadResult::Malformed;
    }
    if (!files.DecodeFileStatus()) {
        ui.Message("Ошибка чтения кода устройства", "");
        return TLoadResult::Malformed;
    }
    if (files.Status.Model != e.Identity.Model && e.Identified &&
        !ui.Ask("Тип АТС и тип файла не совпадают(файл будет прочитан полностью, отсутствующие в файле таблицы "
                "будут очищены). Будем читать файл?",
                "Предупреждение"))
        return TLoadResult::Declined;
    if (files.TimeDefaultsLength > e.TimeDefaults.Capacity || !files.LoadSections(d)) {
        ui.Message(kMalformed, "Ошибка");
        return TLoadResult::Malformed;
    }

    // The file's identity first: the tables are read back with its counts.
    const TEngineSnapshot before(e);
    std::fill(e.Reply.Buffer.begin(), e.Reply.Buffer.end(), 0);
    std::copy_n(files.IdentImage.begin(), TFileList::kIdentLength, e.Reply.Buffer.begin());
    e.Reply.Length = TFileList::kIdentLength;
    e.Reply.FixedLength = TFileList::kIdentLength;
    DecodeIdentification(e.Reply, e.Identity, false);
    e.Identity.ExchangeName.clear();  // a file holds no name; the previous exchange's would mislead
    e.TimeDefaults.Clear();
    std::copy_n(files.TimeDefaultsImage.begin(), files.TimeDefaultsLength, e.TimeDefaults.Bytes.begin());
    e.TimeDefaults.Counts[0] = files.TimeDefaultsLength;
    e.Composition = TCompositionImage{};  // board details belong to an exchange, not to a file
    std::copy_n(files.CompositionImage.begin(), files.CompositionLength, e.Composition.BoardList.Bytes.begin());
    e.Composition.BoardList.Counts[0] = files.CompositionLength;
    e.ConfParams = files.ConfParams;
    for (const TSectionDef& s : kSections) {
        if (d.*s.selected && !s.fromFile(e, files.*s.image)) {
            before.Restore(e);
            ui.Message(kMalformed, "Ошибка");
            return TLoadResult::Malformed;
        }
    }

    // Only a file that was taken marks its tables for writing.
    for (const TSectionDef& s : kSections) e.Changed[s.table] = d.*s.selected;
    e.VersionFlags = std::make_shared<TTableVerRWFlags>(MakeTableVerRWFlags(e.Identity.Model, e.Identity.Version));
    DecodeStatus(e, d, false, false, ui);
    DecodeTimeDefaults(e, d);
    DecodeComposition(e.Identity.Model, e.Composition, d);
    BuildPortList(e.Identity.Model, d);
    for (const TSectionDef& s : kSections)
        if (d.*s.selected && s.decode) s.decode(e, d);
    e.Ready = true;
    return TLoadResult::Loaded;
}

}  // namespace stanset
