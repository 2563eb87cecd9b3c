// The exchange's state to and from a configuration file, read and written here on the
// exchange's side so that a mistake in the client's file code shows up against it.
#pragma once

#include <string>

#include "exchange_state.h"

namespace sim {

// Throws std::runtime_error for a file that cannot be read or is not a configuration file.
ExchangeState LoadAtsFile(const std::string& path);
// Throws std::runtime_error when the file cannot be written.
void SaveAtsFile(const ExchangeState& state, const std::string& path);

}  // namespace sim
