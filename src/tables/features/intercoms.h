// Intercoms (домофоны).
#pragma once

namespace stanset {

struct TDf {};

}  // namespace stanset
