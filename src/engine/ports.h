// The exchange's boards (its composition) and the ports they offer.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/link.h"
#include "tables/lines/subscriber_lines.h"
#include "tables/lines/trunk_lines.h"

namespace stanset {

struct TDataStream;

// One board of the composition as the composition window shows it.
struct TATSConfig {
    std::string BoardName;
    std::string FactoryNumber;
    std::string SoftVersion;
    std::string FirmwareDate;
};

enum TPortKind : std::uint16_t {
    kPortEmpty = 0,
    kPortIntercomJack = 1,  // an intercom port of a board
    kPortLine = 10,
    kPortTrunk = 11,
    kPortIntercom = 12,     // an intercom is attached
    kPortGGS = 13,          // a loudspeaker channel is attached
    kPortSTA = 14,
};

struct TPort {
    std::int32_t Number = 0;
    std::string KindText;
    std::uint16_t LineIndex = 0;
    std::uint16_t Kind = kPortEmpty;
    std::uint16_t Board = 0;
    TAL Line;
    TSL Trunk;
};

using TPortPtr = std::shared_ptr<TPort>;

// The raw composition as read: the board list and one record per slot.
struct TCompositionImage {
    static constexpr int kMaxBoards = 255;
    TRawImage BoardList{1, kMaxBoards};  // count = number of slots reported
    std::array<TBoardRecord, kMaxBoards> Boards{};
};

// Fills the model's composition from the image; 1 when a board record's code differed
// from the board list, else 0.
int DecodeComposition(const std::string& model, const TCompositionImage& image, TDataStream& data);

// Rebuilds data.Ports from the composition.
int BuildPortList(const std::string& model, TDataStream& data);

// The first system-phone, subscriber-line or trunk port with this number, or null.
TPortPtr* FindPort(TDataStream& data, int number);

}  // namespace stanset
