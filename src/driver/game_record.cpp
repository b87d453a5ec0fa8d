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

// Squares of the first rank; a side's own back rank adds backRank(side).
constexpr int A1 = 0, C1 = 2, D1 = 3, E1 = 4, F1 = 5, G1 = 6, H1 = 7;
constexpr int A8 = 56, H8 = 63;
constexpr int backRank(int side) { return side == 0 ? 0 : 56; }

bool isWhiteMan(char c) { return c != 0 && std::strchr("PNBRQK", c) != nullptr; }
bool isBlackMan(char c) { return c != 0 && std::strchr("pnbrqk", c) != nullptr; }
bool belongsTo(char c, int side) { return side == 0 ? isWhiteMan(c) : isBlackMan(c); }
char lowerCase(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
// The letter of a man of the given side: 'N' for White, 'n' for Black.
char letterFor(char whiteLetter, int side) { return side == 0 ? whiteLetter : lowerCase(whiteLetter); }

// The man standing file and rank steps away from square, or 0 off the board.
char letterAt(const PositionRecord& r, int square, int fileStep, int rankStep) {
    int file = board::fileOf(square) + fileStep, rank = board::rankOf(square) + rankStep;
    if (file < 0 || file > 7 || rank < 0 || rank > 7) return 0;
    return r.squares[rank * 8 + file];
}

// Walks from square in one direction to the first occupied square; its letter, or 0.
char firstManOnRay(const PositionRecord& r, int square, int fileStep, int rankStep) {
    for (int k = 1; k < 8; ++k) {
        char c = letterAt(r, square, k * fileStep, k * rankStep);
        if (c == 0) return 0;
        if (isWhiteMan(c) || isBlackMan(c)) return c;
    }
    return 0;
}

// The castling fields of one side of a record.
struct CastlingFields {
    int32_t& kingside;
    int32_t& queenside;
    int16_t& castled;
};
CastlingFields castlingOf(PositionRecord& r, int side) {
    if (side == 0) return {r.whiteKingside, r.whiteQueenside, r.whiteCastled};
    return {r.blackKingside, r.blackQueenside, r.blackCastled};
}

// The right a rook carries from its corner square; null for any other square.
int32_t* rightOfCorner(PositionRecord& r, int square) {
    switch (square) {
        case A1: return &r.whiteQueenside;
        case H1: return &r.whiteKingside;
        case A8: return &r.blackQueenside;
        case H8: return &r.blackKingside;
        default: return nullptr;
    }
}

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

bool kingAttacked(const PositionRecord& r, int side) {
    int square = 0;
    while (square < 64 && r.squares[square] != letterFor('K', side)) ++square;
    if (square == 64) return false;
    int enemy = 1 - side;

    // A pawn attacks diagonally forward, so an enemy pawn sits one rank towards
    // the enemy's side of the board.
    int pawnRank = side == 0 ? 1 : -1;
    char pawn = letterFor('P', enemy);
    if (letterAt(r, square, -1, pawnRank) == pawn || letterAt(r, square, 1, pawnRank) == pawn) return true;

    static constexpr int KnightSteps[8][2] = {{1, 2},   {2, 1},   {2, -1}, {1, -2},
                                              {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
    for (const auto& step : KnightSteps)
        if (letterAt(r, square, step[0], step[1]) == letterFor('N', enemy)) return true;

    static constexpr int Directions[8][2] = {{1, 0}, {-1, 0}, {0, 1},  {0, -1},
                                             {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
    for (int d = 0; d < 8; ++d) {
        int fileStep = Directions[d][0], rankStep = Directions[d][1];
        if (letterAt(r, square, fileStep, rankStep) == letterFor('K', enemy)) return true;
        char slider = firstManOnRay(r, square, fileStep, rankStep);
        char straight = letterFor(d < 4 ? 'R' : 'B', enemy);
        if (slider == straight || slider == letterFor('Q', enemy)) return true;
    }
    return false;
}

namespace {

// The piece code of a man's letter, of either colour.
int pieceOf(char c) {
    switch (c) {
        case 'P': case 'p': return board::Pawn;
        case 'N': case 'n': return board::Knight;
        case 'B': case 'b': return board::Bishop;
        case 'R': case 'r': return board::Rook;
        case 'Q': case 'q': return board::Queen;
        default: return board::King;
    }
}

// More men of a kind than the set holds plus the promotions that the side's
// missing pawns could have made: no game reaches such a board.
bool beyondPromotions(const int* count) {
    auto extra = [&](int have, int set) { return have > set ? have - set : 0; };
    const int promoted = extra(count[board::Queen], 1) + extra(count[board::Rook], 2) +
                         extra(count[board::Bishop], 2) + extra(count[board::Knight], 2);
    return count[board::Pawn] > 8 || promoted > 8 - count[board::Pawn];
}

}  // namespace

bool isPlayablePosition(const PositionRecord& r) {
    int kings[2] = {0, 0}, men[2] = {0, 0};
    int count[2][8] = {};
    for (int square = 0; square < 64; ++square) {
        char c = r.squares[square];
        for (int side = 0; side < 2; ++side) {
            if (!belongsTo(c, side)) continue;
            ++men[side];
            if (c == letterFor('K', side)) ++kings[side];
            ++count[side][pieceOf(c)];
            // A pawn on its first or last rank has no move the generators know of.
            if (c == letterFor('P', side) && (board::rankOf(square) == 0 || board::rankOf(square) == 7))
                return false;
        }
    }
    if (kings[0] != 1 || kings[1] != 1 || men[0] > 16 || men[1] > 16) return false;
    // A board of fifteen queens makes even the first iteration of a search run for
    // minutes, and the clock stops no search before its second iteration.
    if (beyondPromotions(count[0]) || beyondPromotions(count[1])) return false;
    // The side that just moved may not have left its king in check: the search
    // would start by capturing it.
    return !kingAttacked(r, r.sideToMove ? 0 : 1);
}

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
    const int mover = isWhiteMan(piece) ? 0 : 1;
    const int home = backRank(mover);
    if (from == home + E1 && piece == letterFor('K', mover)) {
        CastlingFields rights = castlingOf(p, mover);
        if (to == home + G1) {
            rights.castled = 1;
            p.squares[home + H1] = ' ';
            p.squares[home + F1] = letterFor('R', mover);
        } else if (to == home + C1) {
            rights.castled = 1;
            p.squares[home + A1] = ' ';
            p.squares[home + D1] = letterFor('R', mover);
        }
        if (rights.kingside || rights.queenside) {
            rights.kingside = rights.queenside = 0;
            p.halfmoveClock = 0;
        }
    }

    // A rook captured on its corner takes its right along.
    if (int32_t* right = rightOfCorner(p, to)) *right = 0;

    // A rook leaving its corner gives up its right; losing a right is irreversible.
    if (int32_t* right = rightOfCorner(p, from); right && *right) {
        *right = 0;
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
