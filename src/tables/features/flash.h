// Flash settings: an opaque block carried as it is.
#pragma once

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

int ReadFlash(TMainClass& e);
int WriteFlash(TMainClass& e);

}  // namespace stanset
