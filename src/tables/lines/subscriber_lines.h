// Subscriber lines (АЛ): one block per line with its triggers, closed trunks, priority,
// loudspeaker channel, direct-call number and group.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;
struct TFileImage;

namespace lines {

constexpr int kTriggerCount = 25;
constexpr int kTrunkSlots = 200;

// The triggers of a line, numbered as the group record numbers them.
enum TTrigger : int {
    SecondJoining_OFF,
    DTMF_ON,
    RequiresCallSignal_OFF,
    Df01,
    Df02,
    Df03,
    Df04,
    Redirect_OFF,
    NonWorry_ON,
    GGSUse_OFF,
    UsePipeOfOrder_OFF,
    InterceptVoidCall_OFF,
    AllGGSUse_ON,
    SLOutput_OFF,
    MGOutput_OFF,
    MNOutput_OFF,
    AutoDialer_OFF,
    FAXRegime_ON,
    RusSTA_ON,
    w_extnum_1th,
    w_extnum_2th,
    w_extnum_3th,
    w_extnum_4th,
    w_extnum_5th,
    b_extnum,
};

// What a trigger's value 1 means, as the editors caption it.
inline constexpr std::array<const char*, kTriggerCount> kTriggerCaptions{
    "Запрет инициирования второго соединения",
    "Разрешение DTMF набора",
    "Запрет сигналов \"Требование соединения\"",
    "Домофон 01",
    "Домофон 02",
    "Домофон 03",
    "Домофон 04",
    "Запрет переадресации",
    "Разрешение включения режима \"Не беспокоить\"",
    "Запрет включения ГГС",
    "Запрет использования заказа соединения",
    "Запрет перехвата неопределенного вызова",
    "Разрешение вызова всех ГГС",
    "Ограничение выхода на все СЛ",
    "Ограничение выхода на междугороднюю связь",
    "Ограничение выхода на международную связь",
    "Запрет использования автодозвона",
    "Режим \"Факс\"",
    "Русификация СТА",
    "Доступ к 1-й секции белой книжки",
    "Доступ ко 2-й секции белой книжки",
    "Доступ к 3-й секции белой книжки",
    "Доступ к 4-й секции белой книжки",
    "Доступ к 5-й секции белой книжки",
    "Доступ к черной книжке",
};

}  // namespace lines

// One subscriber line. Every "Own" flag is 1 where the line's own value applies and 0
// where the line follows its group. The default record is what a cleared block decodes
// to: everything off, everything following group 10.
struct TAL {
    std::array<std::uint8_t, lines::kTriggerCount> Trigger{};
    std::array<std::uint8_t, lines::kTriggerCount> TriggerOwn{};
    std::array<std::uint8_t, lines::kTrunkSlots> SLOff{};     // closed trunks, by trunk index
    std::array<std::uint8_t, lines::kTrunkSlots> SLOffOwn{};
    std::uint8_t Priority = 0;
    std::uint8_t GGSNumber = 0;
    std::int32_t GroupIndex = 0;  // group number - 10; -1 no group
    std::string DirectCall;       // digits; empty = none
    // Not part of the line block: the program-number table fills it in the ports' own records.
    std::string ProgramNumber;

    friend bool operator==(const TAL&, const TAL&) = default;
};

// 1 all lines read, -1 no link, -2 the exchange has no lines, -5 a line failed all its
// attempts (every line's slot is then cleared).
int ReadSubscriberLines(TMainClass& e);
// 1 all lines accepted, -1 no link, -5 a line was refused every time (earlier lines stay written).
int WriteSubscriberLines(TMainClass& e);

// Raw slots -> records 0 .. N-1. Bytes a slot does not hold (beyond its count) read as 0;
// settings the exchange's firmware or model does not carry keep their previous values.
void DecodeSubscriberLines(TMainClass& e, TDataStream& d);
// Records 0 .. N-1 -> raw slots; sets the table's changed flag.
void EncodeSubscriberLines(TMainClass& e, const TDataStream& d);
// All 500 slots empty: count 0, data 0.
void ClearSubscriberLines(TMainClass& e);

// Copies the settings a cross-connection carries from one line to another: triggers with
// their flags, priority, channel, direct call and group; not the closed trunks nor the
// program number.
void CopyLineSettings(TAL& target, const TAL& source);

namespace lines {
// The file section: per line, its count byte and that many bytes.
void CopyToFileImage(const TMainClass& e, TFileImage& image);
// False, with the engine's slots untouched, when a record is cut short or longer than a
// slot; otherwise every slot is cleared and the lines in the image restored (lines the
// image does not reach come out empty).
bool CopyFromFileImage(TMainClass& e, const TFileImage& image);
}  // namespace lines

}  // namespace stanset
