// Configuration files (*.ats): a 200-byte header of four blocks, then typed sections that
// hold the tables' raw blocks.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "files/file_image.h"

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

enum TWriteState { wsNone, wsReady, wsCannotCreate, wsDeclined, wsOverwrite };

// The file's identification as the engine would decode a live one, without key and name.
struct TRWFileStatus {
    std::string Model;
    int UnitCount = 0;
    std::string Version;
    std::uint16_t TrunkCount = 0;
    std::uint16_t LineCount = 0;
    std::uint8_t TimeUnit = 0;
    std::string Serial;
    std::string ExchangeName;
    std::uint16_t IntercomBlocks = 0;
    std::uint16_t DirectionCount = 0;
    std::uint16_t GGSBlocks = 0;
    std::uint16_t STACount = 0;
    std::array<bool, 3> UnitFlags{};
};

struct TFileSection {
    std::uint8_t Type = 0;
    std::vector<std::uint8_t> Payload;
};

class TFileList {
public:
    static constexpr int kHeaderSize = 200;
    static constexpr int kIdentLength = 20;

    TFileList();

    // The list of sections of the file being written or read.
    std::vector<TFileSection> Sections;

    std::array<std::uint8_t, 256> IdentImage{};
    std::uint16_t IdentLength = 0;
    std::array<std::uint8_t, 128> TimeDefaultsImage{};
    std::uint16_t TimeDefaultsLength = 0;
    std::array<std::uint8_t, 100> CompositionImage{};
    std::uint16_t CompositionLength = 0;
    std::array<std::uint8_t, 5> ConfParams{};

    TFileImage Flash{255}, STAKeys{65536}, AllSys{100}, QuickConf{3000}, TimeSettings{128}, Intercoms{128},
        GGS{128}, CommonBook{1000}, ProgNumbers{500}, Redirects{500}, Directions{3000}, Groups{3000},
        Lines{128000}, Trunks{128000}, GroupBooks{10000}, BWBooks{1000};

    std::string FileName;
    TWriteState WriteState = wsNone;
    TRWFileStatus Status;

    // Creates FileName when it does not exist (wsReady, the file open) or asks whether to
    // overwrite it (wsOverwrite / wsDeclined, nothing opened).
    TWriteState OpenForWriting(TUserInteraction& ui);
    // Writes the header and the sections of the selected tables; false when the file
    // could not be written completely (the header errors are reported as they occur).
    bool SaveFile(const TDataStream& selection, TUserInteraction& ui);
    void CloseFile();

    // Reads a whole file into the header images and the section list; false with a
    // reason when it is not a configuration file this program can use.
    bool ReadFile(const std::string& path, std::string& reason);
    bool DecodeFileStatus();
    void AddSection(std::uint8_t type, std::span<const std::uint8_t> payload);
    // Copies the last section of the type into image; an absent section empties it.
    // False when the payload is longer than the image.
    bool TakeSection(std::uint8_t type, TFileImage& image) const;
    // The images of the selected tables from the section list; false when one does not fit.
    bool LoadSections(const TDataStream& selection);

private:
    bool WriteAll(const void* data, std::size_t size);
    int fd_ = -1;
};

// Whether the sections last read hold the table (a TTableIndex), so that a file saved with
// some tables only is not taken to hold the others empty.
bool HoldsTable(const TFileList& files, int table);

// Header images from the engine (before a save) and back (after a load).
// False when the engine's blocks do not fit the header.
bool CopyHeaderFromEngine(const TMainClass& e, TFileList& files);

enum class TSaveResult { Saved, NothingSelected, CannotCreate, Declined, WriteFailed };
enum class TLoadResult { Loaded, NothingSelected, CannotOpen, Declined, Malformed };

// What the save and load panels do, with the panel's boxes already in the model's
// selection flags.
TSaveResult SaveConfiguration(TMainClass& e, TDataStream& d, TFileList& files, const std::string& path,
                              TUserInteraction& ui);
TLoadResult LoadConfiguration(TMainClass& e, TDataStream& d, TFileList& files, const std::string& path,
                              TUserInteraction& ui);

}  // namespace stanset
