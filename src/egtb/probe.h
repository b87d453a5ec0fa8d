// Endgame tablebase probe: the exact value of a position with few men, from the
// side to move's point of view, or NoTablebaseInfo when no table answers.
#pragma once

namespace egtb {

// Score in the engine's scale (mate scores counted from this position), 0 for a
// draw, or NoTablebaseInfo (99999).
int probeTablebase(int side);

}  // namespace egtb
