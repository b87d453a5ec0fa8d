// Root search and iterative deepening.
#pragma once

namespace search {

// Ply limit of a mate search, set by the root once a mate has been found; 64 means
// an ordinary search. The evaluation stops valuing positions at this ply.
constexpr int NoMateLimit = 64;
extern int mateLimit;

}  // namespace search
