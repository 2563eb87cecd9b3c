// Loudspeaker channels (ГГС).
#pragma once

namespace stanset {

struct TGGS {};

}  // namespace stanset
