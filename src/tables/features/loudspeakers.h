// Loudspeaker channels (ГГС): the port a channel is attached to and its one switch.
#pragma once

#include <cstdint>
#include <string>

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;
struct TFileImage;

struct TGGS {
    std::uint8_t AutoOff = 0;  // "Запрет автоматического отключения ГГС"
    std::string LinkPort;      // number of the attached port, "" for none
};

// The channels are e.Identity.GGSBlocks; only the engine's 10 slots are used.

// 0, -1 no link, -2 no channels, -5 time-out (all slots then clear).
int ReadLoudspeakers(TMainClass& e);
// 0, -1 no channels (before the link check), -2 no link, -5 a block refused.
int WriteLoudspeakers(TMainClass& e);
// Also marks the attached ports of the port list as loudspeaker ports. On a model of
// neither the KVT family nor RD16/RD32 the records are left as they were.
void DecodeLoudspeakers(TMainClass& e, TDataStream& d);
// 0, or -1 when a LinkPort names no line (that slot is left as it was). Sets the changed flag.
int EncodeLoudspeakers(TMainClass& e, TDataStream& d);
// Stores the editor's values unchanged; an index outside the records stores nothing.
void StoreLoudspeaker(TDataStream& d, int index, bool autoOff, const std::string& linkPort);
void ClearLoudspeakers(TMainClass& e);

namespace ggs {
void CopyToFileImage(const TMainClass& e, TFileImage& image);
bool CopyFromFileImage(TMainClass& e, const TFileImage& image);
}  // namespace ggs

}  // namespace stanset
