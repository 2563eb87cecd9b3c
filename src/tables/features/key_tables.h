// System-phone (СТА) key tables: 48 keys per phone and the phone a console serves.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;
struct TFileImage;

struct TSTAButtonTable {
    std::array<std::string, 255> KeyText;  // as the user writes them; "" = empty key
    std::uint16_t KeyCount = 0;            // keys in use; 48 once decoded or edited
    std::int32_t ConsoleBinding = -1;      // system phone this table serves as a console
};

inline constexpr int kKeysPerTable = 48;

// The phones are e.Identity.STACount: all of them (up to the engine's 150 slots) are read
// and written, the model holds the first 45.

// 0, -1 no link, -2 no system phones, -4 preamble refused, -5 time-out (all slots then
// clear). Slots are cleared only once the preamble is accepted.
int ReadKeyTables(TMainClass& e);
// 0, -1 no link, -4 preamble refused, -5 a block refused; with no system phones it says so
// and sends nothing.
int WriteKeyTables(TMainClass& e, TUserInteraction& ui);
void DecodeKeyTables(TMainClass& e, TDataStream& d);
// 0, or -1 when a key text could not be encoded (the text of a value read from the
// exchange that the editor would refuse); such a key keeps its value when that value
// still shows the same text, else it is written empty. Sets the changed flag.
int EncodeKeyTables(TMainClass& e, TDataStream& d);
void ClearKeyTables(TMainClass& e);

// A key's 16-bit value (value byte low, kind byte high) and its text.
std::string KeyValueToText(std::uint16_t v);
// 0x0000 for a text of no recognised shape; throws EConvertError where a digit is missing.
std::uint16_t KeyTextToValue(std::string_view text);

inline constexpr const char* kKeyTextRefused = "Некорректное значение клавиши.";
inline constexpr const char* kKeyTextRefusedCaption = "Ошибка";
inline constexpr const char* kKeyTextNotice = "Введены ошибочные данные! Обработка прекрашена";
inline constexpr const char* kKeyTextNoticeCaption = "Сообшение";

struct TKeyTextCheck {
    bool Accepted = true;
    bool Notice = false;  // kKeyTextNotice is shown before the refusal
};

// Whether the editor takes a key text on this model (blanks are removed first).
TKeyTextCheck CheckKeyText(std::string_view model, std::string_view text);
// The same, with the notice and the refusal shown as the editor shows them.
bool AcceptKeyText(std::string_view model, std::string_view text, TUserInteraction& ui);

namespace keytables {
void CopyToFileImage(const TMainClass& e, TFileImage& image);
bool CopyFromFileImage(TMainClass& e, const TFileImage& image);
}  // namespace keytables

}  // namespace stanset
