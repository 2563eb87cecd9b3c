// Transfers of the tables whose codecs have not arrived yet: their raw images move over
// their rows of the command table, and their decoders leave the model as it is.
#include <algorithm>

#include "engine/main_class.h"
#include "engine/tables.h"

namespace stanset {

namespace {

int LinesPresent(const TMainClass& e, int blocks) { return e.Identity.LineCount > 0 ? blocks : 0; }
int ProgramNumberBlocks(const TMainClass& e) {
    return LinesPresent(e, e.Identity.Model.find("KVT700") != std::string::npos ? 2 : 1);
}

// The single-block system-wide and time settings report 1 when sent and 0 without a link.
int WriteSettings(TMainClass& e, const TCommandRow& row, const TRawImage& image) {
    const int r = e.Link.WriteTable(row, image, 1);
    return r == kNoLink ? 0 : r < 0 ? r : 1;
}

}  // namespace

int ReadTimeDefaults(TMainClass& e) { return e.Link.ReadTable(rows::TimeDefaults, e.TimeDefaults, 1); }
int ReadSystemSettings(TMainClass& e) { return e.Link.ReadTable(rows::AllSys, e.AllSys, 1); }
int ReadTimeSettings(TMainClass& e) { return e.Link.ReadTable(rows::TimeSettings, e.TimeSettings, 1); }
int ReadKeyTables(TMainClass& e) { return e.Link.ReadTable(rows::STAKeys, e.STAKeys, e.Identity.STACount); }
int ReadIntercoms(TMainClass& e) { return e.Link.ReadTable(rows::Intercoms, e.Intercoms, e.Identity.IntercomBlocks); }
int ReadLoudspeakers(TMainClass& e) { return e.Link.ReadTable(rows::GGS, e.GGS, e.Identity.GGSBlocks); }
int ReadSubscriberLines(TMainClass& e) { return e.Link.ReadTable(rows::Lines, e.Lines, e.Identity.LineCount); }
int ReadCommonBook(TMainClass& e) { return e.Link.ReadTable(rows::CommonBook, e.CommonBook, 3); }
int ReadFlash(TMainClass& e) { return e.Link.ReadTable(rows::Flash, e.Flash, LinesPresent(e, 1)); }
int ReadProgramNumbers(TMainClass& e) { return e.Link.ReadTable(rows::ProgNumbers, e.ProgNumbers, ProgramNumberBlocks(e)); }
int ReadRedirects(TMainClass& e) { return e.Link.ReadTable(rows::Redirects, e.Redirects, LinesPresent(e, 1)); }
int ReadDirectionTables(TMainClass& e) { return e.Link.ReadTable(rows::Directions, e.Directions, e.Identity.DirectionCount); }
int ReadGroups(TMainClass& e) { return e.Link.ReadTable(rows::Groups, e.Groups, 20); }
int ReadTrunkLines(TMainClass& e) { return e.Link.ReadTable(rows::Trunks, e.Trunks, e.Identity.TrunkCount); }
int ReadGroupBooks(TMainClass& e) { return e.Link.ReadTable(rows::GroupBooks, e.GroupBooks, 40); }
int ReadBWBook(TMainClass& e) { return e.Link.ReadTable(rows::BWBooks, e.BWBooks, 1); }

int ReadConferences(TMainClass& e) {
    const int records = std::min<int>(e.ConfParams[0], TQuickConfCommand::maxRecords);
    if (records == 0) return kNoBlocks;
    if (e.Link.CheckLink() < 0) return kNoLink;
    for (int i = 0; i < records; ++i) {
        if (e.Link.ReadConference(i, e.ConfParams[2], e.QuickConf[i]) < 0) {
            e.QuickConf.fill(TConferenceSlot{});
            return kTimeOut;
        }
    }
    return 0;
}

int WriteConferences(TMainClass& e) {
    const int records = std::min<int>(e.ConfParams[0], TQuickConfCommand::maxRecords);
    if (records == 0) return kNoBlocks;
    if (e.Link.CheckLink() < 0) return kNoLink;
    for (int i = 0; i < records; ++i)
        if (e.Link.WriteConference(i, e.ConfParams[2], e.QuickConf[i]) < 0) return kTimeOut;
    return 0;
}

int WriteSystemSettings(TMainClass& e) { return WriteSettings(e, rows::AllSys, e.AllSys); }
int WriteTimeSettings(TMainClass& e) { return WriteSettings(e, rows::TimeSettings, e.TimeSettings); }

int WriteKeyTables(TMainClass& e, TUserInteraction& ui) {
    if (e.Identity.STACount == 0) {
        ui.Message("Макс. кол-во СТА = 0 (1)", "");
        return 0;
    }
    return e.Link.WriteTable(rows::STAKeys, e.STAKeys, e.Identity.STACount);
}

int WriteIntercoms(TMainClass& e) { return e.Link.WriteTable(rows::Intercoms, e.Intercoms, e.Identity.IntercomBlocks); }
int WriteLoudspeakers(TMainClass& e) { return e.Link.WriteTable(rows::GGS, e.GGS, e.Identity.GGSBlocks); }
int WriteCommonBook(TMainClass& e) { return e.Link.WriteTable(rows::CommonBook, e.CommonBook, 3); }
int WriteFlash(TMainClass& e) { return e.Link.WriteTable(rows::Flash, e.Flash, LinesPresent(e, 1)); }
int WriteProgramNumbers(TMainClass& e) { return e.Link.WriteTable(rows::ProgNumbers, e.ProgNumbers, ProgramNumberBlocks(e)); }
int WriteRedirects(TMainClass& e) { return e.Link.WriteTable(rows::Redirects, e.Redirects, LinesPresent(e, 1)); }
int WriteDirectionTables(TMainClass& e) { return e.Link.WriteTable(rows::Directions, e.Directions, e.Identity.DirectionCount); }
int WriteGroups(TMainClass& e) { return e.Link.WriteTable(rows::Groups, e.Groups, 20); }
int WriteSubscriberLines(TMainClass& e) { return e.Link.WriteTable(rows::Lines, e.Lines, e.Identity.LineCount); }
int WriteTrunkLines(TMainClass& e) { return e.Link.WriteTable(rows::Trunks, e.Trunks, e.Identity.TrunkCount); }
int WriteGroupBooks(TMainClass& e) { return e.Link.WriteTable(rows::GroupBooks, e.GroupBooks, 40); }
int WriteBWBook(TMainClass& e) { return e.Link.WriteTable(rows::BWBooks, e.BWBooks, 1); }

void DecodeTimeDefaults(TMainClass&, TDataStream&) {}
void DecodeSystemSettings(TMainClass&, TDataStream&) {}
void DecodeTimeSettings(TMainClass&, TDataStream&) {}
void DecodeKeyTables(TMainClass&, TDataStream&) {}
void DecodeIntercoms(TMainClass&, TDataStream&) {}
void DecodeLoudspeakers(TMainClass&, TDataStream&) {}
void DecodeSubscriberLines(TMainClass&, TDataStream&) {}
void DecodeCommonBook(TMainClass&, TDataStream&) {}
void DecodeProgramNumbers(TMainClass&, TDataStream&) {}
void DecodeRedirects(TMainClass&, TDataStream&) {}
void DecodeConferences(TMainClass&, TDataStream&) {}
void DecodeDirectionTables(TMainClass&, TDataStream&) {}
void DecodeGroups(TMainClass&, TDataStream&) {}
void DecodeTrunkLines(TMainClass&, TDataStream&) {}
void DecodeGroupBooks(TMainClass&, TDataStream&) {}
void DecodeBWBook(TMainClass&, TDataStream&) {}

}  // namespace stanset
