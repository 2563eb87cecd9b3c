// Black and white books.
#pragma once

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

struct TDSBW_ExtNum {};

int ReadBWBook(TMainClass& e);
int WriteBWBook(TMainClass& e);
void DecodeBWBook(TMainClass& e, TDataStream& d);

}  // namespace stanset
