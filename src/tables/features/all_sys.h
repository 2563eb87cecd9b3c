// System-wide settings.
#pragma once

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

struct TAllSys {};

int ReadSystemSettings(TMainClass& e);
int WriteSystemSettings(TMainClass& e);
void DecodeSystemSettings(TMainClass& e, TDataStream& d);

}  // namespace stanset
