// Loudspeaker channels (ГГС).
#pragma once

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

struct TGGS {};

int ReadLoudspeakers(TMainClass& e);
int WriteLoudspeakers(TMainClass& e);
void DecodeLoudspeakers(TMainClass& e, TDataStream& d);

}  // namespace stanset
