// Groups of subscriber lines.
#pragma once

namespace stanset {

struct TGroup {};

}  // namespace stanset
