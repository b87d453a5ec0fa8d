// The game as the engine remembers it: the position before every ply as text, its
// hash key, the move played from it and the score and depth of the engine's own
// search there. The record also knows the draws that end a game (insufficient
// material, fifty moves, threefold repetition) and when the engine should resign.
//
// Index i of every array describes the same ply. Entries above plyCount are left in
// place when moves are taken back; replaying the stored move reuses them.
#pragma once
#include <cstdint>

#include "board/position_record.h"
#include "board/types.h"

namespace driver {

constexpr int MaxGamePly = 2048;  // positions the record can hold

struct GameRecordState {
    // A new game from FEN text; the transposition table is cleared when the start
    // position changes. False (ply 0, old position kept) when the text does not parse.
    bool setPositionFromFen(const char* fen);
    // A new game from a record ("setboard", "edit"); a null record is a failure.
    bool setPositionFromRecord(const board::PositionRecord* record);
    // Appends one ply, applying the move as its letters say. False, and nothing
    // changes, when the record is full.
    bool playMove(board::Move move);
    // Goes back the given number of plies, never before the first position.
    void takeBack(int plies);
    int historyStart() const;            // index of the first key since the last irreversible move
    int engineScoreBefore() const;       // score of the engine's search two plies back, 0 if none
    const char* gameResultText() const;  // a draw result, or null
    bool shouldResign(uint32_t opponentTime) const;   // opponent's clock in ms
    board::Move isRecapture(board::Move move) const;  // the move, or 0
    const board::PositionRecord& current() const { return positions[plyCount]; }

    int32_t plyCount = 0;
    board::PositionRecord positions[MaxGamePly] = {};
    board::HashKey keys[MaxGamePly] = {};
    int32_t scores[MaxGamePly] = {};
    int32_t depths[MaxGamePly] = {};
    board::Move moves[MaxGamePly] = {};
};
extern GameRecordState GameRecord;  // defined in driver/globals.cpp

}  // namespace driver
