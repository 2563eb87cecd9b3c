// Time settings with their defaults and steps.
#pragma once

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

struct TTimeSettings {};

int ReadTimeDefaults(TMainClass& e);
void DecodeTimeDefaults(TMainClass& e, TDataStream& d);
int ReadTimeSettings(TMainClass& e);
int WriteTimeSettings(TMainClass& e);
void DecodeTimeSettings(TMainClass& e, TDataStream& d);

}  // namespace stanset
