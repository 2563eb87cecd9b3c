// The common phone book.
#pragma once

namespace stanset {

struct TGlobalExtNum {};

}  // namespace stanset
