#include "cli/config_json.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "files/config_file.h"
#include "link/codecs.h"
#include "phonebooks/book_numbers.h"
#include "tables/features/time_settings.h"

namespace stanset::cli {

// clang-format off
const std::array<TCliTable, kTableCount> kCliTables{{
    {"lines",        kTabLines,        &TDataStream::SelLines},
    {"trunks",       kTabTrunks,       &TDataStream::SelTrunks},
    {"groups",       kTabGroups,       &TDataStream::SelGroups},
    {"directions",   kTabDirections,   &TDataStream::SelDirections},
    {"allsys",       kTabAllSys,       &TDataStream::SelAllSys},
    {"intercoms",    kTabIntercoms,    &TDataStream::SelIntercoms},
    {"ggs",          kTabGGS,          &TDataStream::SelGGS},
    {"redirects",    kTabRedirects,    &TDataStream::SelRedirects},
    {"flash",        kTabFlash,        &TDataStream::SelFlash},
    {"commonbook",   kTabCommonBook,   &TDataStream::SelCommonBook},
    {"groupbooks",   kTabGroupBooks,   &TDataStream::SelGroupBooks},
    {"prognumbers",  kTabProgNumbers,  &TDataStream::SelProgNumbers},
    {"conferences",  kTabQuickConf,    &TDataStream::SelQuickConf},
    {"stakeys",      kTabSTAKeys,      &TDataStream::SelSTAKeys},
    {"timesettings", kTabTimeSettings, &TDataStream::SelTimeSettings},
    {"bwbooks",      kTabBWBooks,      &TDataStream::SelBWBooks},
}};
// clang-format on

TSelection AllTables() {
    TSelection all;
    all.fill(true);
    return all;
}

bool ParseTables(const std::string& list, TSelection& selection, std::string& error) {
    TSelection chosen{};
    std::stringstream in(list);
    std::string name;
    bool any = false;
    while (std::getline(in, name, ',')) {
        const auto it = std::find_if(kCliTables.begin(), kCliTables.end(),
                                     [&](const TCliTable& t) { return name == t.name; });
        if (it == kCliTables.end()) {
            error = name.empty() ? "an empty table name in --tables" : "unknown table \"" + name + "\"";
            return false;
        }
        chosen[it->index] = true;
        any = true;
    }
    if (!any || (!list.empty() && list.back() == ',')) {
        error = "an empty table name in --tables";
        return false;
    }
    selection = chosen;
    return true;
}

void ApplySelection(const TSelection& selection, TDataStream& data) {
    for (const TCliTable& t : kCliTables) data.*t.selected = selection[t.index];
}

namespace {

// clang-format off
constexpr const char* kTriggerNames[lines::kTriggerCount] = {
    "SecondJoining_OFF", "DTMF_ON", "RequiresCallSignal_OFF", "Df01", "Df02", "Df03", "Df04", "Redirect_OFF",
    "NonWorry_ON", "GGSUse_OFF", "UsePipeOfOrder_OFF", "InterceptVoidCall_OFF", "AllGGSUse_ON", "SLOutput_OFF",
    "MGOutput_OFF", "MNOutput_OFF", "AutoDialer_OFF", "FAXRegime_ON", "RusSTA_ON", "w_extnum_1th",
    "w_extnum_2th", "w_extnum_3th", "w_extnum_4th", "w_extnum_5th", "b_extnum",
};
// clang-format on

TJson Triggers(const std::array<std::uint8_t, lines::kTriggerCount>& values) {
    TJson out = TJson::object();
    for (int k = 0; k < lines::kTriggerCount; ++k) out[kTriggerNames[k]] = values[static_cast<std::size_t>(k)];
    return out;
}

// A trunk flag array as the numbers of the trunks it marks.
TJson MarkedTrunks(const std::string& model, const std::array<std::uint8_t, lines::kTrunkSlots>& flags) {
    TJson out = TJson::array();
    for (int t = 0; t < lines::kTrunkSlots; ++t) {
        if (!flags[static_cast<std::size_t>(t)]) continue;
        const int number = TrunkIndexToNumber(model, t);
        out.push_back(number > 0 ? number : t);
    }
    return out;
}

std::string TimeText(const TTimeOfDay& t) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour % 100, t.minute % 100, t.second % 100);
    return text;
}

std::string Hex(std::span<const std::uint8_t> bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

class TDumper {
public:
    TDumper(const TMainClass& e, const TDataStream& d) : e_(e), d_(d), model_(e.Identity.Model) {}

    void AddName(TJson& record, TNameFile file, int index) const {
        if (!d_.NamesList) return;
        const std::string name = d_.NamesList->NameOf(file, index);
        if (!name.empty()) record["Name"] = name;
    }
    // Lines and trunks share the port names, by line index.
    void AddPortName(TJson& record, int number) const {
        int line = -1;
        try {
            line = NumberToLineIndex(std::to_string(number), model_) - 1;
        } catch (const EConvertError&) {
        }
        if (line >= 0) AddName(record, TNameFile(TNameKind::Ports), line);
    }
    const TPort* PortOf(int number) const {
        for (const TPortPtr& p : d_.Ports)
            if (p && p->Number == number) return p.get();
        return nullptr;
    }

    TJson Lines() const {
        TJson out = TJson::array();
        const int n = std::min<int>(e_.Identity.LineCount, static_cast<int>(d_.Lines.size()));
        for (int i = 0; i < n; ++i) {
            const TAL& l = d_.Lines[static_cast<std::size_t>(i)];
            const int number = LineIndexToNumber(model_, i);
            TJson r;
            r["Number"] = number;
            AddPortName(r, number);
            r["Trigger"] = Triggers(l.Trigger);
            r["TriggerOwn"] = Triggers(l.TriggerOwn);
            r["SLOff"] = MarkedTrunks(model_, l.SLOff);
            r["SLOffOwn"] = MarkedTrunks(model_, l.SLOffOwn);
            r["Priority"] = l.Priority;
            r["GGSNumber"] = l.GGSNumber;
            r["GroupIndex"] = l.GroupIndex;
            r["DirectCall"] = l.DirectCall;
            // The program number lives in the port's own line record.
            const TPort* port = PortOf(number);
            r["ProgramNumber"] = port ? port->Line.ProgramNumber : l.ProgramNumber;
            out.push_back(std::move(r));
        }
        return out;
    }

    TJson Trunks() const {
        TJson out = TJson::array();
        const int n = std::min<int>(e_.Identity.TrunkCount, static_cast<int>(d_.Trunks.size()));
        for (int t = 0; t < n; ++t) {
            const TSL& s = d_.Trunks[static_cast<std::size_t>(t)];
            const int number = TrunkIndexToNumber(model_, t);
            TJson r;
            r["Number"] = number;
            AddPortName(r, number);
            r["Dir01"] = s.Dir01;
            r["Dir02"] = s.Dir02;
            r["Dir03"] = s.Dir03;
            r["Dir04"] = s.Dir04;
            r["Dir05"] = s.Dir05;
            r["OutgoingCall"] = s.OutgoingCall;
            r["Dir9"] = s.Dir9;
            r["AutoOFFSL"] = s.AutoOFFSL;
            r["FAX"] = s.FAX;
            r["TarINCall"] = s.TarINCall;
            r["ToneDial"] = s.ToneDial;
            r["ReplacementSignal"] = s.ReplacementSignal;
            r["RetreatInCall"] = s.RetreatInCall;
            r["DISA"] = s.DISA;
            r["NotInterCityTar"] = s.NotInterCityTar;
            r["OFFDISAForRetreatSignal"] = s.OFFDISAForRetreatSignal;
            r["SignalToSLForDISA"] = s.SignalToSLForDISA;
            r["ActivePauseAfter8"] = s.ActivePauseAfter8;
            r["DayTable"] = s.DayTable;
            r["NightTable"] = s.NightTable;
            r["MGDigit"] = s.MGDigit;
            r["SLType"] = s.SLType;
            r["AutoDial"] = s.AutoDial;
            r["BlockedWith"] = s.BlockedWith;
            out.push_back(std::move(r));
        }
        return out;
    }

    TJson Groups() const {
        TJson out = TJson::array();
        for (int g = 0; g < groups::kSlots; ++g) {
            const TGroup& s = d_.Groups[static_cast<std::size_t>(g)];
            TJson r;
            r["Number"] = groups::kFirstNumber + g;
            AddName(r, TNameFile(TNameKind::Groups), g);
            r["Trigger"] = Triggers(s.Trigger);
            r["Priority"] = s.Priority;
            r["GGSNumber"] = s.GGSNumber;
            r["DirectCall"] = s.DirectCall;
            r["CallString"] = s.CallString;
            r["CallStringCount"] = s.CallStringCount;
            r["DayTable"] = s.DayTable;
            r["NightTable"] = s.NightTable;
            r["Intercept"] = s.Intercept;
            r["InterceptCount"] = s.InterceptCount;
            r["SLOff"] = MarkedTrunks(model_, s.SLOff);
            out.push_back(std::move(r));
        }
        return out;
    }

    TJson Directions() const {
        TJson out = TJson::array();
        const int n = std::min<int>(e_.Identity.DirectionCount, DirectionTables::kTables);
        for (int i = 0; i < n; ++i) {
            TJson r;
            r["Number"] = i + 1;
            AddName(r, TNameFile(TNameKind::Naveden), i);
            r["Rows"] = d_.Directions.Tables[static_cast<std::size_t>(i)];
            out.push_back(std::move(r));
        }
        return out;
    }

    TJson AllSys() const {
        const TAllSys& a = d_.AllSys;
        TJson r;
        r["UniformTrunkLoad"] = a.UniformTrunkLoad;
        r["IncomingBilling"] = a.IncomingBilling;
        r["ToneDialling"] = a.ToneDialling;
        r["NoLocalOutgoingBilling"] = a.NoLocalOutgoingBilling;
        r["NoPhoneProgramming"] = a.NoPhoneProgramming;
        r["AutoEraseBilling"] = a.AutoEraseBilling;
        r["DisaTrunkSignal"] = a.DisaTrunkSignal;
        r["ZeroTrunkPrefix"] = a.ZeroTrunkPrefix;
        r["DayModeStart"] = TimeText(a.DayModeStart);
        r["NightModeStart"] = TimeText(a.NightModeStart);
        return r;
    }

    TJson Intercoms() const {
        TJson out = TJson::array();
        const int n = std::min<int>(d_.IntercomCount, static_cast<int>(d_.Intercoms.size()));
        for (int i = 0; i < n; ++i) {
            const TDf& f = d_.Intercoms[static_cast<std::size_t>(i)];
            TJson r;
            r["Number"] = i + 1;
            AddName(r, TNameFile(TNameKind::Df), i);
            r["AllALOpening"] = f.AllALOpening;
            r["ResetInCall"] = f.ResetInCall;
            r["DTMFOpening"] = f.DTMFOpening;
            r["DayTable"] = f.DayTable;
            r["NightTable"] = f.NightTable;
            r["LinkPort"] = f.LinkPort;
            r["OpenCode"] = f.OpenCode;
            out.push_back(std::move(r));
        }
        return out;
    }

    TJson GGS() const {
        TJson out = TJson::array();
        const int n = std::min<int>(d_.GGSCount, static_cast<int>(d_.GGS.size()));
        for (int i = 0; i < n; ++i) {
            const TGGS& g = d_.GGS[static_cast<std::size_t>(i)];
            TJson r;
            r["Number"] = i + 1;
            AddName(r, TNameFile(TNameKind::GGS), i);
            r["AutoOff"] = g.AutoOff;
            r["LinkPort"] = g.LinkPort;
            out.push_back(std::move(r));
        }
        return out;
    }

    TJson Redirects() const {
        TJson out = TJson::array();
        const int n = std::min<int>(d_.RedirectCount, static_cast<int>(d_.Redirects.size()));
        for (int i = 0; i < n; ++i) {
            const RedirectEntry& x = d_.Redirects[static_cast<std::size_t>(i)];
            TJson r;
            r["Number"] = LineIndexToNumber(model_, i);
            r["State"] = x.State;
            r["Target"] = x.Target;
            out.push_back(std::move(r));
        }
        return out;
    }

    TJson Flash() const {
        const auto payload = e_.Flash.Payload(0);
        TJson r;
        r["Length"] = payload.size();
        r["Bytes"] = Hex(payload);
        return r;
    }

    static TJson BookEntries(const std::array<std::string, 100>& numbers, int count, const TNamesList* names,
                             TNameFile comments) {
        TJson out = TJson::array();
        for (int i = 0; i < std::clamp(count, 0, 100); ++i) {
            TJson r;
            r["Entry"] = BookEntryCode(i);
            r["Number"] = numbers[static_cast<std::size_t>(i)];
            if (names) {
                const std::string comment = names->NameOf(comments, i);
                if (!comment.empty()) r["Comment"] = comment;
            }
            out.push_back(std::move(r));
        }
        return out;
    }

    TJson CommonBook() const {
        TJson r;
        if (!d_.CommonBook) return r;
        r["Count"] = d_.CommonBook->Count;
        r["Numbers"] = BookEntries(d_.CommonBook->Numbers, d_.CommonBook->Count, d_.NamesList.get(),
                                   TNameFile(TNameKind::CommonBook));
        return r;
    }

    TJson GroupBooks() const {
        TJson out = TJson::array();
        for (int g = 0; g < kGroupBooks; ++g) {
            const TGroupExternNum& b = d_.GroupBooks[static_cast<std::size_t>(g)];
            TJson r;
            r["Number"] = kFirstBookGroup + g;
            r["Count"] = b.Count;
            r["Numbers"] = BookEntries(b.Numbers, b.Count, d_.NamesList.get(), TNameFile(TNameKind::GroupBook, g));
            out.push_back(std::move(r));
        }
        return out;
    }

    TJson ProgNumbers() const {
        TJson out = TJson::array();
        const int n = std::min<int>(e_.Identity.LineCount, static_cast<int>(d_.Lines.size()));
        for (int i = 0; i < n; ++i) {
            const int number = LineIndexToNumber(model_, i);
            const TPort* port = PortOf(number);
            if (!port) continue;
            TJson r;
            r["Number"] = number;
            AddPortName(r, number);
            r["ProgramNumber"] = port->Line.ProgramNumber;
            out.push_back(std::move(r));
        }
        return out;
    }

    TJson Conferences() const {
        TJson out = TJson::array();
        for (std::size_t i = 0; i < d_.Conferences.size(); ++i) {
            const ConferenceRecord& c = d_.Conferences[i];
            TJson r;
            r["Number"] = i + 1;
            AddName(r, TNameFile(TNameKind::Conferences), static_cast<int>(i));
            const int members = std::clamp<int>(c.MemberCount, 0, static_cast<int>(c.Member.size()));
            r["MemberCount"] = c.MemberCount;
            r["Member"] = std::vector<std::int32_t>(c.Member.begin(), c.Member.begin() + members);
            out.push_back(std::move(r));
        }
        return out;
    }

    TJson STAKeys() const {
        TJson out = TJson::array();
        const int n = std::min<int>(e_.Identity.STACount, static_cast<int>(d_.STAButtons.size()));
        for (int i = 0; i < n; ++i) {
            const TSTAButtonTable& t = d_.STAButtons[static_cast<std::size_t>(i)];
            TJson r;
            r["Number"] = i + 1;
            r["ConsoleBinding"] = t.ConsoleBinding;
            r["KeyCount"] = t.KeyCount;
            const int keys = std::clamp<int>(t.KeyCount, 0, static_cast<int>(t.KeyText.size()));
            r["KeyText"] = std::vector<std::string>(t.KeyText.begin(), t.KeyText.begin() + keys);
            out.push_back(std::move(r));
        }
        return out;
    }

    TJson TimeSettings() const {
        TJson out = TJson::array();
        const TTimeSettings& s = d_.TimeSettings;
        for (int k = 0; k < kTimeParameters; ++k) {
            const auto i = static_cast<std::size_t>(k);
            TJson r;
            r["Parameter"] = kTimeParameterTable[i].Label;
            r["Value"] = s.Value[i];
            r["Step"] = s.Step[i];
            r["DefaultSteps"] = s.DefaultSteps[i];
            out.push_back(std::move(r));
        }
        return out;
    }

    TJson BWBooks() const {
        TJson out = TJson::array();
        const int n = std::clamp<int>(d_.BWBook.Count, 0, kBWEntries);
        for (int i = 0; i < n; ++i) {
            const int section = i / kBWSectionEntries;
            TJson r;
            r["Entry"] = i;
            r["Section"] = section + 1 < kBWSections ? "white " + std::to_string(section + 1) : std::string("black");
            r["Number"] = d_.BWBook.Numbers[static_cast<std::size_t>(i)];
            out.push_back(std::move(r));
        }
        return out;
    }

    TJson Table(TTableIndex table) const {
        switch (table) {
            case kTabLines: return Lines();
            case kTabTrunks: return Trunks();
            case kTabGroups: return Groups();
            case kTabDirections: return Directions();
            case kTabAllSys: return AllSys();
            case kTabIntercoms: return Intercoms();
            case kTabGGS: return GGS();
            case kTabRedirects: return Redirects();
            case kTabFlash: return Flash();
            case kTabCommonBook: return CommonBook();
            case kTabGroupBooks: return GroupBooks();
            case kTabProgNumbers: return ProgNumbers();
            case kTabQuickConf: return Conferences();
            case kTabSTAKeys: return STAKeys();
            case kTabTimeSettings: return TimeSettings();
            case kTabBWBooks: return BWBooks();
            case kTableCount: break;
        }
        return {};
    }

private:
    const TMainClass& e_;
    const TDataStream& d_;
    const std::string& model_;
};

// ---- differences ---------------------------------------------------------------------

// A record in a list is known by its entry label or its number, else by its place.
std::string RecordKey(const TJson& record, std::size_t index) {
    if (record.is_object()) {
        for (const char* key : {"Entry", "Number", "Parameter"}) {
            const auto it = record.find(key);
            if (it != record.end()) return it->is_string() ? it->get<std::string>() : it->dump();
        }
    }
    return "#" + std::to_string(index);
}

bool IsRecordList(const TJson& v) {
    return v.is_array() && !v.empty() && std::all_of(v.begin(), v.end(), [](const TJson& x) { return x.is_object(); });
}

std::string ValueText(const TJson* v) {
    if (!v) return "(none)";
    // A record that came or went is named, not spelled out; its fields are the news.
    if (v->is_object()) return "(record)";
    if (v->is_string()) {
        const auto& s = v->get_ref<const std::string&>();
        return s.empty() ? "\"\"" : s;
    }
    return v->dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Where a value sits: "lines 205 Trigger.DTMF_ON". A table or a record is followed by a
// space, a field inside a field by a dot.
struct TPath {
    std::string text;
    bool spaced = true;
    TPath Field(const std::string& name) const { return {text + (spaced ? " " : ".") + name, false}; }
    TPath Record(const std::string& key) const { return {text + " " + key, true}; }
    TPath Place(std::size_t i) const { return {text + "[" + std::to_string(i) + "]", false}; }
};

void Diff(const TPath& path, const TJson* a, const TJson* b, std::vector<std::string>& out);

void DiffObjects(const TPath& path, const TJson& a, const TJson& b, std::vector<std::string>& out) {
    for (auto it = a.begin(); it != a.end(); ++it) {
        const auto other = b.find(it.key());
        Diff(path.Field(it.key()), &it.value(), other == b.end() ? nullptr : &*other, out);
    }
    for (auto it = b.begin(); it != b.end(); ++it)
        if (a.find(it.key()) == a.end()) Diff(path.Field(it.key()), nullptr, &it.value(), out);
}

void DiffRecords(const TPath& path, const TJson& a, const TJson& b, std::vector<std::string>& out) {
    std::vector<std::pair<std::string, const TJson*>> left, right;
    for (std::size_t i = 0; i < a.size(); ++i) left.emplace_back(RecordKey(a[i], i), &a[i]);
    for (std::size_t i = 0; i < b.size(); ++i) right.emplace_back(RecordKey(b[i], i), &b[i]);
    auto find = [](const auto& list, const std::string& key) -> const TJson* {
        for (const auto& [k, v] : list)
            if (k == key) return v;
        return nullptr;
    };
    for (const auto& [key, v] : left) Diff(path.Record(key), v, find(right, key), out);
    for (const auto& [key, v] : right)
        if (!find(left, key)) Diff(path.Record(key), nullptr, v, out);
}

void Diff(const TPath& path, const TJson* a, const TJson* b, std::vector<std::string>& out) {
    if (a && b && *a == *b) return;
    if (a && b && a->is_object() && b->is_object()) return DiffObjects(path, *a, *b, out);
    if (a && b && a->is_array() && b->is_array()) {
        if (IsRecordList(*a) || IsRecordList(*b)) return DiffRecords(path, *a, *b, out);
        // Lists of equal length compare place by place; anything else as a whole.
        if (a->size() == b->size()) {
            for (std::size_t i = 0; i < a->size(); ++i) Diff(path.Place(i), &(*a)[i], &(*b)[i], out);
            return;
        }
    }
    out.push_back(path.text + ": " + ValueText(a) + " -> " + ValueText(b));
}

}  // namespace

TJson IdentityJson(const TRWFileStatus& s) {
    TJson r;
    r["Model"] = s.Model;
    r["UnitCount"] = s.UnitCount;
    r["Version"] = s.Version;
    r["TrunkCount"] = s.TrunkCount;
    r["LineCount"] = s.LineCount;
    r["TimeUnit"] = s.TimeUnit;
    r["Serial"] = s.Serial;
    r["ExchangeName"] = s.ExchangeName;
    r["IntercomBlocks"] = s.IntercomBlocks;
    r["DirectionCount"] = s.DirectionCount;
    r["GGSBlocks"] = s.GGSBlocks;
    r["STACount"] = s.STACount;
    r["UnitFlags"] = s.UnitFlags;
    return r;
}

TJson DumpConfiguration(const TMainClass& engine, const TDataStream& data, const TRWFileStatus& status,
                        const TSelection& selection) {
    const TDumper dumper(engine, data);
    TJson out;
    out["identity"] = IdentityJson(status);
    for (const TCliTable& t : kCliTables)
        if (selection[t.index]) out[t.name] = dumper.Table(t.index);
    return out;
}

std::vector<std::string> DiffConfigurations(const TJson& before, const TJson& after) {
    std::vector<std::string> out;
    // A table only one side holds is one line, not all its records.
    for (auto it = before.begin(); it != before.end(); ++it) {
        const auto other = after.find(it.key());
        if (other == after.end()) out.push_back(it.key() + ": (table) -> (none)");
        else Diff({it.key()}, &it.value(), &*other, out);
    }
    for (auto it = after.begin(); it != after.end(); ++it)
        if (before.find(it.key()) == before.end()) out.push_back(it.key() + ": (none) -> (table)");
    return out;
}

}  // namespace stanset::cli
