// Trunk lines (СЛ): the record of one trunk.
#pragma once

namespace stanset {

// Settings of one trunk line; its fields come with the trunk codec.
struct TSL {};

}  // namespace stanset
