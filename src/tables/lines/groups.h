// Groups of subscriber lines.
#pragma once

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

struct TGroup {};

int ReadGroups(TMainClass& e);
int WriteGroups(TMainClass& e);
void DecodeGroups(TMainClass& e, TDataStream& d);

}  // namespace stanset
