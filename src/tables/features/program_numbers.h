// Program numbers of the subscriber lines.
#pragma once

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

int ReadProgramNumbers(TMainClass& e);
int WriteProgramNumbers(TMainClass& e);
void DecodeProgramNumbers(TMainClass& e, TDataStream& d);

}  // namespace stanset
