#include "tables/features/conferences.h"

#include <algorithm>

#include "engine/main_class.h"

namespace stanset {

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

void DecodeConferences(TMainClass&, TDataStream&) {}

}  // namespace stanset
