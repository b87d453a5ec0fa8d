// A deliberately naive chess move generator for checking the engine's: copy-make
// positions, every rule spelled out square by square, legality by asking whether
// the mover's king can be captured. It shares no code or tables with the engine.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct ReferencePosition {
    char squares[64];  // a1 = 0 .. h8 = 63; 'P'..'K' white, 'p'..'k' black, '.' empty
    int side;          // 0 white, 1 black
    bool castle[4];    // white O-O, white O-O-O, black O-O, black O-O-O
    int ep;            // en passant target square, -1 for none
};

// Parses the first four FEN fields; the board must be well formed.
ReferencePosition referenceFromFen(const std::string& fen);
// The four FEN fields of a position.
std::string referenceToFen(const ReferencePosition& position);
// Every legal position one move later, with the move as coordinate text
// (e7e8q style, lower-case promotion letter).
std::vector<std::pair<std::string, ReferencePosition>> referenceChildren(const ReferencePosition& position);
// Is the king of side attacked?
bool referenceKingAttacked(const ReferencePosition& position, int side);
uint64_t referencePerft(const ReferencePosition& position, int depth);

}  // namespace testing_support
