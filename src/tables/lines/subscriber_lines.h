// Subscriber lines (АЛ).
#pragma once

#include <string>

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

struct TAL {
    // Not part of the line block: the program-number table fills it in the ports' own records.
    std::string ProgramNumber;
};

int ReadSubscriberLines(TMainClass& e);
int WriteSubscriberLines(TMainClass& e);
void DecodeSubscriberLines(TMainClass& e, TDataStream& d);

}  // namespace stanset
