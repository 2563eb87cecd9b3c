#include "tables/features/time_settings.h"

#include <algorithm>

#include "engine/main_class.h"
#include "tables/features/flash.h"

namespace stanset {

// clang-format off
const std::array<TTimeParameter, kTimeParameters> kTimeParameterTable{{
    {"T10", "Продолжительность вызывного сигнала при выполнении заказа или срабатывании будильника (таймера)", 160},
    {"T11", "Время между цифрами при вводе системных номеров", 40},
    {"T12", "Время ожидания набора первой цифры в состоянии \"Готовность\"", 160},
    {"T13", "Продолжительность сигнала \"Системный вызов\" при наличии прежнего соединения", 40},
    {"T14", "Время ожидания действий в состоянии \"Занято\"", 160},
    {"T15", "MAX пауза при наборе первых двух цифр внешнего номера (если межгород, то трех)", 480},
    {"T16", "MAX пауза при наборе третьей (если межгород, то четвертой) и последующих цифр внешнего номера", 40},
    {"T17", "Время ожидания ответа в состоянии \"КПВ\"", 160},
    {"T18", "Время размыкания СЛ (отбой) при выполнении функций управления СЛ", 8},
    {"T19", "Время между занятием СЛ и началом набора при выполнении функций автонабора по СЛ", 16},
    {"T20", "Время ожидания сигнала \"КПВ\" при автодозвоне", 320},
    {"T21", "Время ожидания освобождения абонента при посылке соединения", 240},
    {"T22", "Время ожидания освобождения абонента при возврате соединения", 240},
    {"T23", "Время ожидания ответа абонента при посылке соединения", 240},
    {"T24", "Интервал переключения строк таблиц наведения при входящем вызове от СЛ или домофона", 80},
    {"T25", "MIN время для подсистемы регистрации соединений", 480},
    {"T26", "MAX время приема входящего по СЛ вызова", 480},
    {"T27", "MAX время соединения с СЛ", 24000},
    {"T28", "Интервал автодозвона", 40},
    {"T29", "Время выполнения автодозвона", 9600},
    {"T30", "Тайм-аут для DISA", 48},
    {"T31", "Время удержания замка домофона", 32},
    {"T32", "Время автоматического отключения ГГС", 480},
    {"T33", "Время между занятием СЛ и автонабором", 8},
    {"T34", "Время вызова конференции", 240},
    {"T35", "Длительность пассивной паузы в СЛ", 24},
}};
// clang-format on

namespace {

// Parameter k sits in bytes 2k and 2k + 1 of both blocks, low byte first.
constexpr int kWordBytes = 2;
constexpr int kT34 = 24;
constexpr int kT35 = 25;

// The settings block is a prefix of the parameters: T10-T33, then T34, then T35.
constexpr int kLengthToT33 = 48;
constexpr int kLengthToT34 = 50;
constexpr int kLengthToT35 = 52;

// Defaults word: the step in quarter seconds below, the default in steps in the top nibble.
constexpr std::uint16_t kStepMask = 0x0FFF;
constexpr int kDefaultShift = 12;
constexpr float kStepUnit = 0.25f;
constexpr float kValueUnit = 0.125f;
constexpr double kEighthsPerSecond = 8.0;

TTableVerRWFlags FlagsOf(const TMainClass& e) { return MakeTableVerRWFlags(e.Identity.Model, e.Identity.Version); }

// What this model and firmware write; T34 travels on an RD as soon as T35 does.
int SettingsLength(const TTableVerRWFlags& f) {
    return f.From24_4 ? kLengthToT35 : f.HasQuickConf ? kLengthToT34 : kLengthToT33;
}

// Parameter k of a block; bytes beyond the count read as 0.
std::uint16_t WordAt(const TRawImage& raw, int k) {
    const int held = std::min<int>(raw.Counts[0], raw.Capacity);
    const auto block = raw.Block(0);
    auto at = [&](int i) { return i < held ? block[static_cast<std::size_t>(i)] : std::uint8_t{0}; };
    return MakeWord(at(kWordBytes * k), at(kWordBytes * k + 1));
}

void PutWord(TRawImage& raw, int k, std::uint16_t w) {
    auto block = raw.Block(0);
    SplitWord(w, block[static_cast<std::size_t>(kWordBytes * k)], block[static_cast<std::size_t>(kWordBytes * k + 1)]);
}

// Truncated to whole eighths; what 16 bits cannot hold is clamped, and what is no time at
// all (negative, not a number) is 0.
std::uint16_t ToEighths(float seconds) {
    const double eighths = static_cast<double>(seconds) * kEighthsPerSecond;
    if (!(eighths > 0)) return 0;
    if (eighths >= 0xFFFF) return 0xFFFF;
    return static_cast<std::uint16_t>(eighths);
}

void DecodeDefault(const TRawImage& raw, int k, TTimeSettings& t, bool withDefault) {
    const std::uint16_t w = WordAt(raw, k);
    t.Step[static_cast<std::size_t>(k)] = static_cast<float>(w & kStepMask) * kStepUnit;
    if (withDefault) t.DefaultSteps[static_cast<std::size_t>(k)] = static_cast<std::uint16_t>(w >> kDefaultShift);
}

}  // namespace

bool TimeParameterShown(const TMainClass& e, int k) {
    if (k < 0 || k >= kTimeParameters) return false;
    const TTableVerRWFlags f = FlagsOf(e);
    if (k == kT34) return f.HasQuickConf && e.Identity.Model.find("KVT") != std::string::npos;
    if (k == kT35) return f.From24_4;
    return true;
}

int ReadTimeDefaults(TMainClass& e) { return e.Link.ReadTable(rows::TimeDefaults, e.TimeDefaults, 1); }

int ReadTimeDefaults(TMainClass& e, TUserInteraction& ui) {
    const int r = ReadTimeDefaults(e);
    if (r == kNoLink) ui.Message("Ошибка чтения умолчаний временных установок. Нет связи.", "");
    return r;
}

void DecodeTimeDefaults(TMainClass& e, TDataStream& d) {
    const int count = std::min<int>(e.TimeDefaults.Counts[0], e.TimeDefaults.Capacity);
    for (int k = 0; k < kT34; ++k) DecodeDefault(e.TimeDefaults, k, d.TimeSettings, true);
    if (count > kLengthToT33) DecodeDefault(e.TimeDefaults, kT34, d.TimeSettings, true);
    if (count > kLengthToT34) DecodeDefault(e.TimeDefaults, kT35, d.TimeSettings, FlagsOf(e).From24_4);
}

int ReadTimeSettings(TMainClass& e) { return singleblock::ReadZeroed(e.Link, rows::TimeSettings, e.TimeSettings, 1); }

int WriteTimeSettings(TMainClass& e) {
    const int r = e.Link.WriteTable(rows::TimeSettings, e.TimeSettings, 1);
    return r == kNoLink ? 0 : r < 0 ? r : 1;
}

void DecodeTimeSettings(TMainClass& e, TDataStream& d) {
    const int present = SettingsLength(FlagsOf(e)) / kWordBytes;
    for (int k = 0; k < kTimeParameters; ++k)
        d.TimeSettings.Value[static_cast<std::size_t>(k)] =
            k < present ? static_cast<float>(WordAt(e.TimeSettings, k)) * kValueUnit : 0.0f;
}

void EncodeTimeSettings(TMainClass& e, const TDataStream& d) {
    const int length = SettingsLength(FlagsOf(e));
    for (int k = 0; k < length / kWordBytes; ++k)
        PutWord(e.TimeSettings, k, ToEighths(d.TimeSettings.Value[static_cast<std::size_t>(k)]));
    e.TimeSettings.Counts[0] = static_cast<std::uint16_t>(length);
    e.Changed[kTabTimeSettings] = true;
}

void ResetTimeSettings(TMainClass& e) {
    e.TimeSettings.Clear();
    for (int k = 0; k < kTimeParameters; ++k)
        PutWord(e.TimeSettings, k, kTimeParameterTable[static_cast<std::size_t>(k)].FactoryEighths);
    e.TimeSettings.Counts[0] = kLengthToT35;
}

namespace timesettings {
void CopyToFileImage(const TMainClass& e, TFileImage& image) { singleblock::CopyToFileImage(e.TimeSettings, image); }
bool CopyFromFileImage(TMainClass& e, const TFileImage& image) {
    return singleblock::CopyFromFileImage(e.TimeSettings, image);
}

std::span<const std::uint8_t> DefaultsForHeader(const TMainClass& e) {
    const auto block = e.TimeDefaults.Block(0);
    return block.first(std::min<std::size_t>(e.TimeDefaults.Counts[0], block.size()));
}

bool CopyDefaultsFromHeader(TMainClass& e, std::span<const std::uint8_t> bytes) {
    auto block = e.TimeDefaults.Block(0);
    if (bytes.size() > block.size()) return false;
    std::fill(std::copy(bytes.begin(), bytes.end(), block.begin()), block.end(), 0);
    e.TimeDefaults.Counts[0] = static_cast<std::uint16_t>(bytes.size());
    return true;
}
}  // namespace timesettings

}  // namespace stanset
