// The terms added to material and pawn structure: per-piece mobility, attacked
// and overloaded men, pins, outposts, rooks on files and ranks, king safety, the
// passed-pawn race and the king's pawn shelter.
//
// Every term reads the two attack maps the evaluation has just built. While side c
// is scored, O(a) is c's attack word on square a and E(a) the other side's: for a
// man of c they are its defenders and attackers. Words compare as signed integers,
// cheapest attacker kinds highest, so "E(a) > 0x100001" reads "attacked by more
// than one bishop, or by something cheaper than a bishop".
#pragma once
#include <cstdint>

#include "board/position.h"

namespace eval {

// Positional score of the pieces of side minus that of the other side.
int pieceTerms(const board::Position& pos, int side);

// One side's piece terms taken apart: the term of the man on each square, the
// side-wide penalties, and the total (their sum), for talvo-tools and tests.
struct PieceTermsTrace {
    int term[64] = {};
    int mobility = 0;
    int hanging = 0;
    int overload = 0;
    int blockedCentre = 0;
    int total = 0;
};
PieceTermsTrace tracePieceTerms(const board::Position& pos, int colour);
// Passed pawns that the enemy king can no longer catch, and in the late endgame the
// pull of passed pawns away from the others; from the side to move's view.
int passedPawnTerm(const board::Position& pos, int sideToMove);
// The same race test for positions with kings and pawns only.
int pawnRaceTerm(const board::Position& pos, int sideToMove);
// Pawn shield and open files around both kings, fading out towards the endgame.
int kingShelterTerm(const board::Position& pos, int sideToMove);
// The shelter of one king on square kingSquare for colour.
int shelterScore(const board::Position& pos, int kingSquare, int colour);

// Shelter values depend only on the king squares, castling rights and pawns, so
// they are cached under a key made of exactly those.
struct KingShelterCacheState {
    static constexpr int Entries = 1024;
    static constexpr int32_t Unusable = 32000;
    struct Entry {
        uint32_t key;
        int32_t value;
    };
    Entry entries[Entries];

    KingShelterCacheState() { empty(); }
    void empty();
};
extern KingShelterCacheState KingShelterCache;  // defined in driver/globals.cpp

// The shelter cache of the search that runs on this thread, as for the pawn evaluator.
inline constinit thread_local KingShelterCacheState* ThreadKingShelterCache = &KingShelterCache;

}  // namespace eval
