// Group phone books.
#pragma once

namespace stanset {

struct TGroupExternNum {};

}  // namespace stanset
