#include "driver/game_record.h"

#include <cstring>

#include "board/board.h"
#include "board/record_rules.h"
#include "search/transposition.h"

namespace driver {

using board::Board;
using board::Move;
using board::PositionRecord;
using search::TransTable;

namespace {

// Starting a game: 0 when there is no record, 1 when it equals the stored start
// position (nothing is reloaded), 2 when the record became the new start.
int startFrom(GameRecordState& game, const PositionRecord* record) {
    game.plyCount = 0;
    if (!record) return 0;
    if (std::memcmp(record, &game.positions[0], sizeof(PositionRecord)) == 0) return 1;
    game.positions[0] = *record;
    Board.loadRecord(game.positions[0]);
    game.keys[0] = Board.hashKey();
    game.scores[0] = board::NoScore;
    game.depths[0] = 0;
    game.moves[0] = board::NoMove;
    return 2;
}

}  // namespace

bool GameRecordState::setPositionFromFen(const char* fen) {
    int started = startFrom(*this, board::parseFen(fen));
    if (started == 2) TransTable.clear();
    return started != 0;
}

bool GameRecordState::setPositionFromRecord(const PositionRecord* record) {
    return startFrom(*this, record) != 0;
}

bool GameRecordState::playMove(Move move) {
    // The last slot of the arrays holds the final position; nothing may follow it.
    if (move == board::NoMove || plyCount < 0 || plyCount >= MaxGamePly - 1) return false;

    // The position after a stored move is still there when that move is replayed.
    if (move == moves[plyCount]) {
        ++plyCount;
        return true;
    }
    moves[plyCount] = move;
    positions[plyCount + 1] = positions[plyCount];
    ++plyCount;

    // The letters follow the move as the game's rules say (board/record_rules.h).
    board::playOnRecord(positions[plyCount], move);
    Board.loadRecord(positions[plyCount]);
    keys[plyCount] = Board.hashKey();
    scores[plyCount] = board::NoScore;
    depths[plyCount] = 0;
    moves[plyCount] = board::NoMove;
    return true;
}

void GameRecordState::takeBack(int plies) {
    if (plies > 0) plyCount = plies >= plyCount ? 0 : plyCount - plies;
}

int GameRecordState::historyStart() const {
    int start = plyCount - positions[plyCount].halfmoveClock;
    return start < 0 ? 0 : start;
}

int GameRecordState::engineScoreBefore() const {
    if (plyCount < 2) return 0;
    int score = scores[plyCount - 2];
    return score == board::NoScore ? 0 : score;
}

const char* GameRecordState::gameResultText() const {
    const PositionRecord& p = positions[plyCount];
    int minors = 0;
    bool heavyOrPawn = false;
    for (char c : p.squares) {
        if (c != 0 && std::strchr("PQRpqr", c)) heavyOrPawn = true;
        if (c != 0 && std::strchr("BNbn", c)) ++minors;
    }
    // King and minor against king and minor stays a game.
    if (!heavyOrPawn && minors <= 1) return "1/2-1/2 {insufficient material}";
    if (p.halfmoveClock >= 100) return "1/2-1/2 {the 50 move rule}";

    // Only positions since the last irreversible move can repeat this one; the
    // ply that made it irreversible is still compared.
    int seen = 0;
    for (int i = plyCount; i >= 0; --i) {
        if (keys[i] == keys[plyCount]) ++seen;
        if (positions[i].halfmoveClock == 0) break;
    }
    if (seen >= 3) return "1/2-1/2 {Draw by repetition}";
    return nullptr;
}

bool GameRecordState::shouldResign(uint32_t opponentTime) const {
    if (plyCount < 1) return false;
    int score = scores[plyCount - 1];
    if (score > -600) return false;
    // With little time left on the opponent's clock the game may still be won on
    // time; only a mate against us is given up then.
    if (opponentTime < 20000) return false;
    if (opponentTime < 40000 && score > -board::MateBound) return false;

    // Look back over the engine's own moves: good scores buy patience, every
    // worsening spends it, the more the deeper the score has fallen.
    int budget = 6;
    for (int i = plyCount - 1, looked = 0; looked < 8 && i > 1; ++looked, i -= 2) {
        int v = scores[i];
        if (v > -600) {
            budget += 2;
        } else if (v < scores[i - 2]) {
            budget -= v >= -1000 ? 1 : v >= -2000 ? 2 : v >= -4000 ? 3 : 4;
            if (budget <= 0) return true;
        }
    }
    return false;
}

Move GameRecordState::isRecapture(Move move) const {
    if (plyCount <= 0) return board::NoMove;
    int to = board::moveTo(move);
    const PositionRecord& before = positions[plyCount - 1];
    if (to != board::moveTo(moves[plyCount - 1]) || before.squares[to] == ' ') return board::NoMove;
    return move;
}

}  // namespace driver
