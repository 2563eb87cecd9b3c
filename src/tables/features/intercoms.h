// Intercoms (домофоны): three switches, the port an intercom is attached to, its
// door-opening code and its day and night direction tables.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;
struct TFileImage;

struct TDf {
    std::uint8_t AllALOpening = 0;  // "Разрешение включения замка всем АЛ"
    std::uint8_t ResetInCall = 0;   // "Разрешение отбоя входящего вызова при невозможности его приема"
    std::uint8_t DTMFOpening = 0;   // "Использование тонального набора для открывания"
    std::string DayTable;           // number of the direction table, "" for none
    std::string NightTable;
    std::string LinkPort;           // number of the attached port, "" for none
    std::string OpenCode;           // at most 6 digits
};

// The engine keeps the number of intercoms it holds in e.Intercoms.BlocksRead; the
// exchange's own count is e.Identity.IntercomBlocks. Only the engine's 10 slots are used.

// 0, -1 no link, -2 no intercoms, -5 time-out (all slots then zero).
int ReadIntercoms(TMainClass& e);
// 0, -1 no intercoms (before the link check), -2 no link, -5 a block refused.
int WriteIntercoms(TMainClass& e);
// Also marks the attached ports of the port list as intercom ports.
void DecodeIntercoms(TMainClass& e, TDataStream& d);
// 0, or -1 when a text could not be converted; the bytes of that field keep what they
// held. Sets the changed flag.
int EncodeIntercoms(TMainClass& e, TDataStream& d);
void ClearIntercoms(TMainClass& e);

// Stores one intercom as the editor gives it. 1; -1 the code holds a non-digit (it is
// stored all the same); -2 the code is longer than 6 characters (the old code stays);
// -3 no such intercom (nothing stored).
int StoreIntercom(TDataStream& d, int index, bool allALOpening, bool resetInCall, bool dtmfOpening,
                  const std::string& dayTable, const std::string& nightTable, const std::string& linkPort,
                  const std::string& openCode);

// The door-opening code: packed digits, the digit 0 as nibble A, an odd count closed by a
// 0 nibble. Packing writes at most out.size() bytes and returns the count (0 for a code
// that is not all digits).
std::size_t PackOpenCode(std::string_view code, std::span<std::uint8_t> out);
std::string UnpackOpenCode(std::span<const std::uint8_t> bytes);

// The attached-port byte, the port's 1-based line number (0 = none), to the port's number
// ("" for none or a model without a numbering plan) and back. LinkPortToByte is false for
// a text that names no line this byte can hold.
std::string LinkPortOfByte(std::string_view model, std::uint8_t b);
bool LinkPortToByte(std::string_view model, std::string_view linkPort, std::uint8_t& b);

// Turns the port with this number (a subscriber-line, trunk or system-phone port) into an
// attached port of the given kind; a text that is no number changes nothing.
void MarkAttachedPort(TDataStream& d, std::string_view number, std::uint16_t kind, const char* kindText);

namespace intercoms {
void CopyToFileImage(const TMainClass& e, TFileImage& image);
bool CopyFromFileImage(TMainClass& e, const TFileImage& image);
}  // namespace intercoms

}  // namespace stanset
