#include "egtb/probe.h"

#include "board/types.h"

namespace egtb {

// No tables are read yet: every position is unknown.
int probeTablebase(int /*side*/) { return board::NoTablebaseInfo; }

}  // namespace egtb
