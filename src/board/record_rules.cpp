#include "board/record_rules.h"

#include <cstring>

namespace board {

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
    int file = fileOf(square) + fileStep, rank = rankOf(square) + rankStep;
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
        case 'P': case 'p': return Pawn;
        case 'N': case 'n': return Knight;
        case 'B': case 'b': return Bishop;
        case 'R': case 'r': return Rook;
        case 'Q': case 'q': return Queen;
        default: return King;
    }
}

// More men of a kind than the set holds plus the promotions that the side's
// missing pawns could have made: no game reaches such a board.
bool beyondPromotions(const int* count) {
    auto extra = [&](int have, int set) { return have > set ? have - set : 0; };
    const int promoted = extra(count[Queen], 1) + extra(count[Rook], 2) +
                         extra(count[Bishop], 2) + extra(count[Knight], 2);
    return count[Pawn] > 8 || promoted > 8 - count[Pawn];
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
            if (c == letterFor('P', side) && (rankOf(square) == 0 || rankOf(square) == 7))
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

void playOnRecord(PositionRecord& p, Move move) {
    int from = moveFrom(move), to = moveTo(move);
    char piece = p.squares[from];
    char promotion = promotionLetter(move);
    p.halfmoveClock += 1;
    p.epSquare = 0;

    // A capture; or a pawn moving diagonally to an empty square takes en passant.
    if (p.squares[to] != ' ') {
        p.halfmoveClock = 0;
    } else if ((piece == 'P' || piece == 'p') && fileOf(from) != fileOf(to)) {
        p.squares[rankOf(from) * 8 + fileOf(to)] = ' ';
    }

    // A double step leaves an en passant square only when an enemy pawn stands
    // beside the target and could really take it.
    if (piece == 'P' || piece == 'p') {
        p.halfmoveClock = 0;
        char enemyPawn = piece == 'P' ? 'p' : 'P';
        bool doubleStep = piece == 'P' ? (rankOf(from) == 1 && rankOf(to) == 3)
                                       : (rankOf(from) == 6 && rankOf(to) == 4);
        bool besideLeft = fileOf(to) > 0 && p.squares[to - 1] == enemyPawn;
        bool besideRight = fileOf(to) < 7 && p.squares[to + 1] == enemyPawn;
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
}

}  // namespace board
