// Black and white books.
#pragma once

namespace stanset {

struct TDSBW_ExtNum {};

}  // namespace stanset
