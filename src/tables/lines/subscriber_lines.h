// Subscriber lines (АЛ): the record of one line.
#pragma once

namespace stanset {

// Settings of one subscriber line; its fields come with the line codec.
struct TAL {};

}  // namespace stanset
