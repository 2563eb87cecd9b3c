// Group phone books.
#pragma once

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

struct TGroupExternNum {};

int ReadGroupBooks(TMainClass& e);
int WriteGroupBooks(TMainClass& e);
void DecodeGroupBooks(TMainClass& e, TDataStream& d);

}  // namespace stanset
