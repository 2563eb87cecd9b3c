// A configuration built without an exchange: what a real one of the chosen model would
// report, with every table in its empty or factory state.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

// The models as the constructor offers them, and the firmware it builds.
inline const std::vector<std::string> kConstructorModels = {"KVT700", "KVT250", "RD32", "RD16"};
inline const std::vector<std::string> kConstructorVersions = {"24.7"};

// Slots of the model's grid (15, 12, 10, 6), or 0 for a model the constructor does not build.
int SlotCount(const std::string& model);
// The boards a slot can hold, the empty slot "" first.
const std::vector<std::string>& BoardsFor(const std::string& model);
// The composition code of a board, 255 for the empty slot, -1 for a board the family lacks.
int BoardCode(const std::string& model, const std::string& board);

void BuildIdentification(TMainClass& e, const std::string& version, const std::string& model);
void BuildTimeDefaults(TMainClass& e);
void BuildComposition(TMainClass& e, const std::vector<std::string>& slots, bool secondUnit);
void BuildConfParams(TMainClass& e, const std::string& model);

struct TConstructorChoice {
    std::string model;                 // one of kConstructorModels
    std::string version = "24.7";
    std::vector<std::string> boards;   // board name per slot, "" empty
    bool secondUnit = false;           // KVT250 only
};

// "Создать АТС". False, with nothing changed, for a model or board the constructor does
// not offer or more boards than slots.
bool CreateConfiguration(TMainClass& e, TDataStream& d, const TConstructorChoice& choice);

}  // namespace stanset
