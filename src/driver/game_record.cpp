#include "driver/game_record.h"

#include <cstring>

#include "board/board.h"
#include "search/transposition.h"

namespace driver {

using board::Board;
using board::Move;
using board::PositionRecord;
using search::TransTable;

namespace {

constexpr int A1 = 0, C1 = 2, D1 = 3, E1 = 4, F1 = 5, G1 = 6, H1 = 7;
constexpr int A8 = 56, C8 = 58, D8 = 59, E8 = 60, F8 = 61, G8 = 62, H8 = 63;

char lowerCase(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

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

    PositionRecord& p = positions[plyCount];
    int from = board::moveFrom(move), to = board::moveTo(move);
    char piece = p.squares[from];
    char promotion = board::promotionLetter(move);
    p.halfmoveClock += 1;
    p.epSquare = 0;

    // A capture; or a pawn moving diagonally to an empty square takes en passant.
    if (p.squares[to] != ' ') {
        p.halfmoveClock = 0;
    } else if ((piece == 'P' || piece == 'p') && board::fileOf(from) != board::fileOf(to)) {
        p.squares[board::rankOf(from) * 8 + board::fileOf(to)] = ' ';
    }

    // A double step leaves an en passant square only when an enemy pawn stands
    // beside the target and could really take it.
    if (piece == 'P' || piece == 'p') {
        p.halfmoveClock = 0;
        char enemyPawn = piece == 'P' ? 'p' : 'P';
        bool doubleStep = piece == 'P' ? (board::rankOf(from) == 1 && board::rankOf(to) == 3)
                                       : (board::rankOf(from) == 6 && board::rankOf(to) == 4);
        bool besideLeft = board::fileOf(to) > 0 && p.squares[to - 1] == enemyPawn;
        bool besideRight = board::fileOf(to) < 7 && p.squares[to + 1] == enemyPawn;
        if (doubleStep && (besideLeft || besideRight)) p.epSquare = (from + to) / 2;
    }

    // Castling is the king's two-square move; the rook comes along. Any king move
    // from home ends both rights of its side.
    if (from == E1 && piece == 'K') {
        if (to == G1) {
            p.whiteCastled = 1;
            p.squares[H1] = ' ';
            p.squares[F1] = 'R';
        } else if (to == C1) {
            p.whiteCastled = 1;
            p.squares[A1] = ' ';
            p.squares[D1] = 'R';
        }
        if (p.whiteKingside || p.whiteQueenside) {
            p.whiteKingside = p.whiteQueenside = 0;
            p.halfmoveClock = 0;
        }
    }
    if (from == E8 && piece == 'k') {
        if (to == G8) {
            p.blackCastled = 1;
            p.squares[H8] = ' ';
            p.squares[F8] = 'r';
        } else if (to == C8) {
            p.blackCastled = 1;
            p.squares[A8] = ' ';
            p.squares[D8] = 'r';
        }
        if (p.blackKingside || p.blackQueenside) {
            p.blackKingside = p.blackQueenside = 0;
            p.halfmoveClock = 0;
        }
    }

    // A rook captured on its corner takes its right along.
    if (to == A1) p.whiteQueenside = 0;
    if (to == H1) p.whiteKingside = 0;
    if (to == A8) p.blackQueenside = 0;
    if (to == H8) p.blackKingside = 0;

    // A rook leaving its corner gives up its right; losing a right is irreversible.
    int32_t* rightOfCorner = from == A1   ? &p.whiteQueenside
                             : from == H1 ? &p.whiteKingside
                             : from == A8 ? &p.blackQueenside
                             : from == H8 ? &p.blackKingside
                                          : nullptr;
    if (rightOfCorner && *rightOfCorner) {
        *rightOfCorner = 0;
        p.halfmoveClock = 0;
    }

    if (promotion) {
        p.halfmoveClock = 0;
        p.squares[to] = piece == 'p' ? lowerCase(promotion) : promotion;
    } else {
        p.squares[to] = piece;
    }
    p.squares[from] = ' ';
    p.sideToMove = p.sideToMove ? 0 : 1;

    Board.loadRecord(p);
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
