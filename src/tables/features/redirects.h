// Redirects, one entry per subscriber-line index.
#pragma once

namespace stanset {

struct RedirectEntry {};

}  // namespace stanset
