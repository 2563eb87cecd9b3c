// The common phone book.
#pragma once

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

struct TGlobalExtNum {};

int ReadCommonBook(TMainClass& e);
int WriteCommonBook(TMainClass& e);
void DecodeCommonBook(TMainClass& e, TDataStream& d);

}  // namespace stanset
