// The one program option: the number of the serial port, kept in the two-byte file
// Stanset_M.cfg in the working folder.
#pragma once

#include <cstdint>
#include <string>

namespace stanset {

class TUserInteraction;

enum class TPortOptionResult {
    Stored,      // port name changed and written; the window closes
    Refused,     // not a port name; everything unchanged, the window stays open
    NotWritten,  // port name changed for this run only (the person was told); the window closes
};

// Accepts the text typed or picked in the options window ("COM1" ... "COM99"), sets
// portName and writes the options file below workDir (empty: the current directory).
// Refusals and failures are shown through ui.
TPortOptionResult StorePortOption(const std::string& workDir, const std::string& typed, std::string& portName,
                                  TUserInteraction& ui);

enum class TPortOptionState { Missing, Port, BadSize };

struct TPortOptionFile {
    TPortOptionState State = TPortOptionState::Missing;
    std::uint8_t Number = 0;  // the port number, for State Port
};

// What the options file below workDir holds. A file that exists but cannot be read counts
// as one of the wrong size.
TPortOptionFile ReadPortOption(const std::string& workDir);

// The file the engine creates when there is none: port 1.
bool WriteDefaultPortOption(const std::string& workDir);

// "COM" followed by the decimal number.
std::string PortNameOf(std::uint8_t number);

}  // namespace stanset
