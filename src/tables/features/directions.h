// Direction tables.
#pragma once

namespace stanset {

struct DirectionTables {};

}  // namespace stanset
