// The transfer and decoding operations of every table, as read-all and write-all call them.
#pragma once

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

int ReadTimeDefaults(TMainClass& e);
void DecodeTimeDefaults(TMainClass& e, TDataStream& d);

int ReadSystemSettings(TMainClass& e);
int ReadTimeSettings(TMainClass& e);
int ReadKeyTables(TMainClass& e);
int ReadIntercoms(TMainClass& e);
int ReadLoudspeakers(TMainClass& e);
int ReadSubscriberLines(TMainClass& e);
int ReadCommonBook(TMainClass& e);
int ReadFlash(TMainClass& e);
int ReadProgramNumbers(TMainClass& e);
int ReadRedirects(TMainClass& e);
int ReadConferences(TMainClass& e);
int ReadDirectionTables(TMainClass& e);
int ReadGroups(TMainClass& e);
int ReadTrunkLines(TMainClass& e);
int ReadGroupBooks(TMainClass& e);
int ReadBWBook(TMainClass& e);

int WriteConferences(TMainClass& e);
int WriteSystemSettings(TMainClass& e);  // 1 sent, 0 no link
int WriteKeyTables(TMainClass& e, TUserInteraction& ui);
int WriteIntercoms(TMainClass& e);
int WriteLoudspeakers(TMainClass& e);
int WriteTimeSettings(TMainClass& e);    // 1 sent, 0 no link
int WriteCommonBook(TMainClass& e);
int WriteFlash(TMainClass& e);
int WriteProgramNumbers(TMainClass& e);
int WriteRedirects(TMainClass& e);
int WriteDirectionTables(TMainClass& e);
int WriteGroups(TMainClass& e);
int WriteSubscriberLines(TMainClass& e);
int WriteTrunkLines(TMainClass& e);
int WriteGroupBooks(TMainClass& e);
int WriteBWBook(TMainClass& e);

void DecodeSystemSettings(TMainClass& e, TDataStream& d);
void DecodeTimeSettings(TMainClass& e, TDataStream& d);
void DecodeKeyTables(TMainClass& e, TDataStream& d);
void DecodeIntercoms(TMainClass& e, TDataStream& d);
void DecodeLoudspeakers(TMainClass& e, TDataStream& d);
void DecodeSubscriberLines(TMainClass& e, TDataStream& d);
void DecodeCommonBook(TMainClass& e, TDataStream& d);
void DecodeProgramNumbers(TMainClass& e, TDataStream& d);
void DecodeRedirects(TMainClass& e, TDataStream& d);
void DecodeConferences(TMainClass& e, TDataStream& d);
void DecodeDirectionTables(TMainClass& e, TDataStream& d);
void DecodeGroups(TMainClass& e, TDataStream& d);
void DecodeTrunkLines(TMainClass& e, TDataStream& d);
void DecodeGroupBooks(TMainClass& e, TDataStream& d);
void DecodeBWBook(TMainClass& e, TDataStream& d);

}  // namespace stanset
