#include "board/position.h"

#include <cstring>

#include "board/attacks.h"
#include "board/board.h"
#include "board/zobrist.h"

namespace board {

bool Position::rebuildDerivedState(int side) {
    bool usable = true;
    int kings[2] = {0, 0};

    // 1-2. Lists, counts and material, men in square order behind the king.
    menCount[0] = menCount[1] = 0;
    std::memset(pieceCount, 0, sizeof pieceCount);
    nonPawnMaterial = 0;
    for (int sq = 0; sq < 64; ++sq) {
        const SquareContent& man = squares[sq];
        if (man.colour == NoColour) continue;
        const int c = man.colour, k = man.piece;
        ++pieceCount[k + 8 * c];
        if (k == King) {
            if (kings[c]++ == 0) {
                pieceList[c][0] = sq;
                listSlot[sq] = 0;
            }
            continue;
        }
        if (k != Pawn) nonPawnMaterial += pieceValue[k];
        // A hand-made position may hold more men than a list has slots.
        if (menCount[c] == 15) {
            usable = false;
            continue;
        }
        pieceList[c][++menCount[c]] = sq;
        listSlot[sq] = int8_t(menCount[c]);
    }
    if (kings[0] != 1 || kings[1] != 1) usable = false;

    // 3. The men of each side and of each kind as square sets; the pawn key.
    occupiedBy[0] = occupiedBy[1] = 0;
    for (int sq = 0; sq < 64; ++sq)
        if (squares[sq].colour == White || squares[sq].colour == Black) occupiedBy[squares[sq].colour] |= squareBit(sq);
    std::memset(pieceSet, 0, sizeof pieceSet);
    pawnKey = 0;
    for (int sq = 0; sq < 64; ++sq) {
        if (squares[sq].colour == NoColour) continue;
        const int c = squares[sq].colour;
        pieceSet[c][squares[sq].piece] |= squareBit(sq);
        if (squares[sq].piece == Pawn) pawnKey ^= pawnKeys[c][sq];
    }

    // 4. Attack maps at level 0, the only level left; they need both kings on the board.
    mapLevel = 0;
    for (bool& current : mapsCurrent) current = false;
    if (usable) {
        buildAttackMaps(*this);
    } else {
        std::memset(attackMaps[0], 0, sizeof attackMaps[0]);
        mapsCurrent[0] = true;
    }

    // 5. Material sums with the tables as they stand; the root preparation builds
    // the tables of this root and sums again.
    materialSum[0] = materialSum[1] = 0;
    for (int sq = 0; sq < 64; ++sq)
        if (squares[sq].colour != NoColour)
            materialSum[squares[sq].colour] += pieceSquare[squares[sq].colour][squares[sq].piece][sq];

    // 6. The key from scratch, and no ply played yet.
    key = computeHashKey(*this, side);
    for (PlySlot& slot : slots) slot = PlySlot{};
    return usable;
}

void Position::loadRecord(const PositionRecord& record) {
    for (int n = 0; n < 64; ++n) {
        SquareContent content{Empty, NoColour};
        switch (record.squares[n]) {
            case 'P': content = {Pawn, White}; break;
            case 'N': content = {Knight, White}; break;
            case 'B': content = {Bishop, White}; break;
            case 'R': content = {Rook, White}; break;
            case 'Q': content = {Queen, White}; break;
            case 'K': content = {King, White}; break;
            case 'p': content = {Pawn, Black}; break;
            case 'n': content = {Knight, Black}; break;
            case 'b': content = {Bishop, Black}; break;
            case 'r': content = {Rook, Black}; break;
            case 'q': content = {Queen, Black}; break;
            case 'k': content = {King, Black}; break;
            default: break;
        }
        squares[n] = content;
    }
    castleRights = (record.whiteKingside ? 1 : 0) | (record.whiteQueenside ? 2 : 0) |
                   (record.blackKingside ? 4 : 0) | (record.blackQueenside ? 8 : 0);
    castled[White] = record.whiteCastled;
    castled[Black] = record.blackCastled;
    // Only ranks 3 to 6 can hold a real target; anything else would index the key
    // tables out of range, so it is read as "none".
    epSquare = (record.epSquare >= 16 && record.epSquare <= 47) ? record.epSquare : 0;
    halfmoveClock = record.halfmoveClock;
    sideToMove = record.sideToMove ? 1 : 0;
}

HashKey Position::hashKey() const { return computeHashKey(*this, sideToMove); }

bool Position::isConsistent() const {
    // 1. The state words within their ranges.
    if (sideToMove != White && sideToMove != Black) return false;
    if (castleRights < 0 || castleRights > 15 || halfmoveClock < 0) return false;
    if (epSquare != 0 && (epSquare < 16 || epSquare > 47)) return false;

    // 2. Every square empty or holding a man of a side; everything derived from the
    // squares counted again.
    int pieces[16] = {}, men[2] = {}, material[2] = {}, nonPawn = 0;
    SquareSet sets[2][8] = {};
    uint32_t pawnStructure = 0;
    for (int sq = 0; sq < 64; ++sq) {
        const SquareContent man = squares[sq];
        if (man.colour == NoColour) {
            if (man.piece != Empty) return false;
            continue;
        }
        if (man.colour > Black || man.piece < Pawn || man.piece > King) return false;
        const int c = man.colour;
        ++pieces[man.piece + 8 * c];
        material[c] += pieceSquare[c][man.piece][sq];
        sets[c][man.piece] |= squareBit(sq);
        if (man.piece == King) continue;
        ++men[c];
        if (man.piece == Pawn) {
            pawnStructure ^= pawnKeys[c][sq];
        } else {
            nonPawn += pieceValue[man.piece];
        }
    }
    if (std::memcmp(pieces, pieceCount, sizeof pieces) != 0) return false;

    // 3. One king a side in slot 0 of its list, then each other man once.
    for (int c = White; c <= Black; ++c) {
        if (pieces[King + 8 * c] != 1 || menCount[c] != men[c] || men[c] > 15) return false;
        SquareSet listed = 0;
        for (int slot = 0; slot <= menCount[c]; ++slot) {
            const int sq = pieceList[c][slot];
            if (sq < 0 || sq > 63 || (listed & squareBit(sq)) || listSlot[sq] != slot) return false;
            listed |= squareBit(sq);
            if (squares[sq].colour != c || (squares[sq].piece == King) != (slot == 0)) return false;
        }
        if (listed != occupiedBy[c]) return false;
    }

    // 4. The sums and keys make keeps, against the recount; the key's side bit
    // says who is to move, which make tracks and this object does not.
    return nonPawn == nonPawnMaterial && material[0] == materialSum[0] && material[1] == materialSum[1] &&
           std::memcmp(sets, pieceSet, sizeof sets) == 0 && pawnStructure == pawnKey &&
           key == computeHashKey(*this, int(key.low & 1));
}

}  // namespace board
