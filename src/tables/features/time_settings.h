// Time settings with their defaults and steps.
#pragma once

namespace stanset {

struct TTimeSettings {};

}  // namespace stanset
