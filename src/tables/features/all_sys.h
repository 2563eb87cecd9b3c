// System-wide settings.
#pragma once

namespace stanset {

struct TAllSys {};

}  // namespace stanset
