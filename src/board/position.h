// The position object: the squares and everything derived from them that make and
// unmake keep current, the save slots of the plies played on it, and the attack
// maps of both sides. Every function that reads or changes a position takes one,
// so that positions can exist side by side: the engine's own (board::Board, made
// in driver/globals.cpp), a book build's, a second search's.
//
// loadRecord copies a record into the squares and state words; the derived state
// (piece lists, counts, material, square sets and pawn key, attack maps, the key) is
// then rebuilt from the squares by rebuildDerivedState, which the evaluation's root
// preparation calls, and kept current by make and unmake from there on.
#pragma once
#include <cstdint>

#include "board/position_record.h"
#include "board/types.h"

namespace board {

struct SquareContent {
    uint8_t piece;   // Empty .. King
    uint8_t colour;  // White, Black, or NoColour for an empty square
};

// What make saves at each ply and unmake restores: everything that cannot be
// reversed step by step.
struct PlySlot {
    Move move;    // the move played at this ply, 0 for a null move
    HashKey key;  // the key before it: the key history of the repetition test
    int castleRights;
    int epSquare;
    int halfmoveClock;
    int materialSum[2];
    int nonPawnMaterial;
    int capturedPiece;
    int captureSquare;
    SquareSet occupiedBy[2];
    SquareContent mover;   // the man that made the move, as it stood on its from-square
    int previousMapLevel;  // the attack-map level the position had before the move
};
constexpr int PlySlots = 64;
// The attack maps are kept by level: the position at the root has level 0, a move
// made into slot p gives level p + 1 (board/attacks.h).
constexpr int MapLevels = PlySlots + 1;

// What a search knows about good moves (board/movegen.h), as the move ordering
// reads it; positions nobody searches read EmptyOrdering.
struct OrderingContext;
extern const OrderingContext EmptyOrdering;

// Work variables of the generators, set at the start of every generation and read
// by the scoring helpers (the quiescence generators share them).
struct MoveGenWork {
    ScoredMove* cursor;
    const int* ownMap;       // attacks of the side to move
    const int* opponentMap;  // attacks of the other side
    int opponentSide;        // the other side (capture lists without current maps)
    Move hashMove;           // the transposition-table move; 0 at the root
    Move killer1;
    Move killer2;
    Move bestMove;  // best move last found at this ply
    int lastTo;     // destination of the move that led here; 64 at the root
};

struct Position {
    // Copies a record into the squares and state words; the derived state is left
    // to rebuildDerivedState.
    void loadRecord(const PositionRecord& record);
    // Rebuilds the derived state from the squares (piece lists, counts, non-pawn
    // material, square sets and pawn key, attack maps, material sums with the
    // piece-square tables as they stand, the key) and empties the ply slots.
    // Returns false when the position cannot be held (a side without exactly one
    // king, or with more than 16 men); it must then not be searched, though nothing
    // was written out of bounds.
    bool rebuildDerivedState(int side);
    // The key of the squares as they stand, with this position's side to move.
    HashKey hashKey() const;
    bool isEmpty(int square) const { return squares[square].colour == NoColour; }
    // Do the derived state and the keys agree with the squares, with one king a
    // side and every word in range? Piece lists count as sets: make and unmake do
    // not keep their order. Asserted in the sanitizer build, called by the tests.
    bool isConsistent() const;

    SquareContent squares[64]{};
    int castleRights = 0;  // 1 white O-O, 2 white O-O-O, 4 black O-O, 8 black O-O-O
    int epSquare = 0;      // en passant target, 0 = none
    int halfmoveClock = 0;
    int castled[2]{};
    int pieceList[2][16]{};  // slot 0 the king, slots 1..menCount the other men
    // For each square with a man, its slot in its side's list (empty squares keep
    // whatever they held): make and unmake find a man's slot without a search.
    int8_t listSlot[64]{};
    int menCount[2]{};
    int pieceCount[16]{};     // by piece + 8 * colour, kings included
    int nonPawnMaterial = 0;  // pieceValue of every knight, bishop, rook and queen
    int materialSum[2]{};     // piece-square entries (base value included) per side
    HashKey key{};
    // The men by side and piece code (pieceSet[c][Pawn] the pawns, [King] the king).
    SquareSet pieceSet[2][8]{};
    SquareSet occupiedBy[2]{};  // every man of a side, king included
    uint32_t pawnKey = 0;    // the pawn structure's key (pawnKeys of board/zobrist.h)
    // The union of the two pawn sets as the evaluation's last pawn-cache probe saw
    // it: refreshed by that probe (eval/pawns.h), not by make. The pawn-ending move
    // ordering reads it as it stands.
    SquareSet allPawns = 0;
    // Both sides' attack maps (board/attacks.h) of the current level.
    int* attackMapOf(int side) { return attackMaps[mapLevel][side]; }
    const int* attackMapOf(int side) const { return attackMaps[mapLevel][side]; }
    bool attackMapsCurrent() const { return mapsCurrent[mapLevel]; }
    // Maps by level. Make starts a level whose maps are out of date: most positions
    // the evaluation scores are never searched on, so the maps are built when
    // something reads them (ensureAttackMaps of board/attacks.h), from the level
    // below when its maps are current. At the enemy king's square a level holds
    // the folded word; unfoldedKingWord keeps the sum before folding.
    int attackMaps[MapLevels][2][64]{};
    int unfoldedKingWord[MapLevels][2]{};
    bool mapsCurrent[MapLevels]{};
    int mapLevel = 0;
    // The piece-square tables of the current root, by colour, piece code and
    // square: built by the evaluation's root preparation (eval/piece_square.h).
    // Make keeps the material sums with them and the move ordering scores moves
    // with them.
    int pieceSquare[2][8][64]{};
    PlySlot slots[PlySlots]{};

    // What the generators use besides the board: the ordering context of the
    // search working on this position, installed by that search, and their work
    // space. A square is marked as an evasion target while its stamp equals the
    // ordering context's node counter.
    const OrderingContext* ordering = &EmptyOrdering;
    MoveGenWork genWork{};
    int64_t evasionMark[64]{};

    // The side to move at the root (make does not change it), and what the driver
    // copies in: the settings' draw value and the tablebases' reach.
    int32_t sideToMove = 0;
    int32_t drawValue = 0;   // DRAW_VALUE from the settings
    int32_t tbMenLimit = 0;  // most men (kings included) the loaded tablebases cover
};

}  // namespace board
