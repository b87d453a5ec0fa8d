// The textual side of the board: the 96-byte position snapshot that the game record
// keeps for every ply, FEN in both directions and coordinate move text.
// Text results live in buffers owned by each conversion and are overwritten by its
// next call; callers copy what they keep.
#pragma once
#include <cstddef>
#include <cstdint>

#include "board/types.h"

namespace board {

// One byte per square: 'P'..'K' white, 'p'..'k' black, ' ' empty. Records are copied
// and compared as raw 96-byte blocks, so the layout is fixed and checked below.
struct PositionRecord {
    char squares[64];
    int32_t whiteKingside;
    int32_t whiteQueenside;
    int32_t blackKingside;
    int32_t blackQueenside;
    int32_t sideToMove;      // 0 white, 1 black
    int32_t epSquare;        // 0 when no en passant capture is possible
    int16_t whiteCastled;
    int16_t blackCastled;
    int32_t halfmoveClock;
};
static_assert(sizeof(PositionRecord) == 96);
static_assert(offsetof(PositionRecord, whiteKingside) == 64);
static_assert(offsetof(PositionRecord, sideToMove) == 80);
static_assert(offsetof(PositionRecord, epSquare) == 84);
static_assert(offsetof(PositionRecord, whiteCastled) == 88);
static_assert(offsetof(PositionRecord, blackCastled) == 90);
static_assert(offsetof(PositionRecord, halfmoveClock) == 92);

inline constexpr const char* StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

// Parses the board, side, castling and en passant fields; null when the board or the
// side is malformed. The returned record is shared and overwritten by every call.
PositionRecord* parseFen(const char* text);
// The four-field FEN of a record.
const char* formatFen(const PositionRecord& record);
// e2e4, e7e8Q: only bits 0-14 of the move are read.
const char* moveToText(Move move);
// 'N', 'B', 'R', 'Q' for promotion fields 2..5, else 0.
char promotionLetter(Move move);
// "e4" -> 28; -1 when the text does not start with a square.
int parseSquare(const char* text);
// Coordinate text to from | to << 6 | promotion << 12, no flags; 0 when malformed.
Move parseMoveText(const char* text);

}  // namespace board
