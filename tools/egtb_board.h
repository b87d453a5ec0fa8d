// A small chess board for the tablebase tools: a handful of men given by their
// squares, attacks worked out from fixed tables and the occupancy, nothing shared
// with the engine's own board. The index checker uses it to tell legal placements
// from illegal ones; the generator plays moves and takes them back on it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace egtb_tools {

// Men of a table: the white king, white's men in name order, the black king, black's
// men in name order; piece codes as the engine's (1 pawn .. 6 king).
struct Material {
    int table = 0;  // number in the table list
    int count = 0;
    int whiteCount = 0;  // white men besides the king
    int colour[5]{};
    int piece[5]{};
    int blackKing() const { return whiteCount + 1; }
    bool hasPawns(int side) const;
};

// The table of that name (0 when it is not one of the 110), and its men.
int tableNumber(const std::string& name);
Material materialOf(int table);

void initBoardTables();
inline uint64_t bit(int square) { return uint64_t(1) << square; }
// True when a man (piece, colour) on from attacks to, with occ the occupied squares.
bool attacks(int piece, int colour, int from, int to, uint64_t occ);
// Squares a man moves to without capturing or captures on, pawns excepted.
uint64_t pieceTargets(int piece, int from, uint64_t occ);
// Is side's king attacked, men standing on squares[]? skip: a man to leave out
// (taken by the move being tried), or -1.
bool kingAttacked(const Material& m, const int* squares, int side, int skip = -1);
// Every man on its own square, pawns on ranks 2-7, side not to move not in check.
bool isLegal(const Material& m, const int* squares, int sideToMove);
// En passant target for sideToMove when the other side's pawn `man` could just have
// stepped two squares and a pawn of sideToMove stands beside it; 64 otherwise.
int enPassantTarget(const Material& m, const int* squares, int sideToMove, int man);

// FEN of a placement (men of the material on those squares), for messages.
std::string fenOf(const Material& m, const int* squares, int sideToMove, int epSquare = 64);

}  // namespace egtb_tools
