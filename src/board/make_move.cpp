#include "board/make_move.h"

#include "board/board.h"
#include "board/zobrist.h"

namespace board {

namespace {

// Castling rights that survive a move from or to each square: a king or rook that
// moves, or a rook that is taken on its corner, ends the rights it carries.
constexpr int CastleRightsKept[64] = {
    13, 15, 15, 15, 12, 15, 15, 14,  //
    15, 15, 15, 15, 15, 15, 15, 15,  //
    15, 15, 15, 15, 15, 15, 15, 15,  //
    15, 15, 15, 15, 15, 15, 15, 15,  //
    15, 15, 15, 15, 15, 15, 15, 15,  //
    15, 15, 15, 15, 15, 15, 15, 15,  //
    15, 15, 15, 15, 15, 15, 15, 15,  //
    7,  15, 15, 15, 3,  15, 15, 11,
};

// The promotion field names a bishop, rook or queen; anything else is a knight.
constexpr int promotedPiece(int field) { return (field == 3 || field == 4 || field == 5) ? field : Knight; }

// The man in list slot i of side now stands on square.
inline void putInSlot(Position& pos, int side, int i, int square) {
    pos.pieceList[side][i] = square;
    pos.listSlot[square] = int8_t(i);
}

inline void setSideBit(HashKey& key, int side) { key.low = (key.low & ~1u) | uint32_t(side); }

// The move into slot ply starts map level ply + 1, out of date until read.
inline void enterMapLevel(Position& pos, PlySlot& slot, int ply) {
    slot.previousMapLevel = pos.mapLevel;
    pos.mapLevel = ply + 1;
    pos.mapsCurrent[ply + 1] = false;
}

// Back to the level the move left. A move made from a level above its slot
// (a position moved on without taking moves back) may have overwritten the maps
// of the levels in between, its own included.
inline void leaveMapLevel(Position& pos, const PlySlot& slot, int ply) {
    for (int level = ply + 1; level <= slot.previousMapLevel; ++level) pos.mapsCurrent[level] = false;
    pos.mapLevel = slot.previousMapLevel;
}

// Moves one man from -> to in its side's list, squares, material sum and key.
inline void moveMan(Position& pos, int from, int to, int colour, int piece) {
    putInSlot(pos, colour, pos.listSlot[from], to);
    pos.squares[from] = {Empty, NoColour};
    pos.squares[to] = {uint8_t(piece), uint8_t(colour)};
    pos.materialSum[colour] += pos.pieceSquare[colour][piece][to] - pos.pieceSquare[colour][piece][from];
    pos.key ^= pieceKeys[piece + 8 * colour][from];
    pos.key ^= pieceKeys[piece + 8 * colour][to];
}

}  // namespace

void makeMove(Position& pos, int s, int ply, Move move) {
    const int o = 1 - s, f = moveFrom(move), t = moveTo(move);

    // 1. What unmake cannot work out for itself.
    PlySlot& slot = pos.slots[ply];
    slot.move = move;
    slot.key = pos.key;
    slot.castleRights = pos.castleRights;
    slot.epSquare = pos.epSquare;
    slot.halfmoveClock = pos.halfmoveClock;
    slot.materialSum[0] = pos.materialSum[0];
    slot.materialSum[1] = pos.materialSum[1];
    slot.nonPawnMaterial = pos.nonPawnMaterial;
    slot.occupiedBy[0] = pos.occupiedBy[0];
    slot.occupiedBy[1] = pos.occupiedBy[1];
    slot.mover = pos.squares[f];
    enterMapLevel(pos, slot, ply);
    // The mover leaves f for t (a promotion too); castling moves the rook below.
    pos.occupiedBy[s] ^= squareBit(f) | squareBit(t);

    // 2. Any en passant chance ends with this move.
    if (pos.epSquare != 0) pos.key ^= epKeys[pos.epSquare];
    ++pos.halfmoveClock;
    pos.epSquare = 0;

    // 3. The captured man leaves; en passant takes the pawn beside the mover.
    if (move & MoveCapture) {
        pos.halfmoveClock = 0;
        int square = t, captured = pos.squares[t].piece;
        if (pos.squares[t].colour == NoColour) {
            square = fileOf(t) + 8 * rankOf(f);
            captured = Pawn;
            pos.squares[square] = {Empty, NoColour};
        }
        slot.capturedPiece = captured;
        slot.captureSquare = square;
        pos.occupiedBy[o] &= ~squareBit(square);
        pos.pieceSet[o][captured] &= ~squareBit(square);
        pos.materialSum[o] -= pos.pieceSquare[o][captured][square];
        --pos.pieceCount[captured + 8 * o];
        if (captured == Pawn) {
            pos.pawnKey ^= pawnKeys[o][square];
        } else {
            pos.nonPawnMaterial -= pieceValue[captured];
        }
        // The last man of the list fills the slot.
        putInSlot(pos, o, pos.listSlot[square], pos.pieceList[o][pos.menCount[o]--]);
        pos.key ^= pieceKeys[captured + 8 * o][square];
    }

    const int field = movePromotion(move);
    if (field != 0) {
        // 4. Promotion: the pawn leaves the pawn structure and becomes a piece.
        pos.halfmoveClock = 0;
        const int q = promotedPiece(field);
        pos.pieceSet[s][Pawn] &= ~squareBit(f);
        pos.pieceSet[s][q] |= squareBit(t);
        pos.pawnKey ^= pawnKeys[s][f];
        pos.nonPawnMaterial += pieceValue[q];
        pos.materialSum[s] += pos.pieceSquare[s][q][t] - pos.pieceSquare[s][Pawn][f];
        ++pos.pieceCount[q + 8 * s];
        --pos.pieceCount[Pawn + 8 * s];
        putInSlot(pos, s, pos.listSlot[f], t);
        pos.key ^= pieceKeys[q + 8 * s][t];
        pos.key ^= pieceKeys[Pawn + 8 * s][f];
        pos.squares[t] = {uint8_t(q), uint8_t(s)};
        pos.squares[f] = {Empty, NoColour};
    } else {
        // 5. An ordinary move; castling brings the rook along first.
        if (move & MoveCastle) {
            if (t > f) {
                moveMan(pos, t + 1, f + 1, s, Rook);
                pos.occupiedBy[s] ^= squareBit(t + 1) | squareBit(f + 1);
                pos.pieceSet[s][Rook] ^= squareBit(t + 1) | squareBit(f + 1);
            } else {
                moveMan(pos, t - 2, f - 1, s, Rook);
                pos.occupiedBy[s] ^= squareBit(t - 2) | squareBit(f - 1);
                pos.pieceSet[s][Rook] ^= squareBit(t - 2) | squareBit(f - 1);
            }
            pos.castled[s] = 1;
        }
        const int piece = pos.squares[f].piece;
        pos.pieceSet[s][piece] ^= squareBit(f) | squareBit(t);
        if (piece == Pawn) {
            pos.pawnKey ^= pawnKeys[s][f] ^ pawnKeys[s][t];
            if (!(move & MoveCapture)) {
                pos.halfmoveClock = 0;
                // A double step opens en passant only when an enemy pawn stands
                // beside it, so that equal positions get equal keys.
                if (distance[t][f] == 2) {
                    bool left =
                        fileOf(t) != 0 && pos.squares[t - 1].piece == Pawn && pos.squares[t - 1].colour == o;
                    bool right =
                        fileOf(t) != 7 && pos.squares[t + 1].piece == Pawn && pos.squares[t + 1].colour == o;
                    if (left || right) {
                        pos.epSquare = (f + t) / 2;
                        pos.key ^= epKeys[pos.epSquare];
                    }
                }
            }
        }
        moveMan(pos, f, t, s, piece);
    }

    // 6. Rights bound to the squares the move touched.
    if (pos.castleRights != 0) {
        const int before = pos.castleRights;
        pos.castleRights &= CastleRightsKept[f] & CastleRightsKept[t];
        if (pos.castleRights != before) {
            pos.key ^= castleKeys[before];
            pos.key ^= castleKeys[pos.castleRights];
        }
    }
    // 7. The other side is to move.
    setSideBit(pos.key, o);
}

uint32_t keyLowAfter(const Position& pos, int side, Move move) {
    const int f = moveFrom(move), t = moveTo(move);
    const int piece = pos.squares[f].piece + 8 * side;
    uint32_t low = pos.key.low ^ pieceKeys[piece][f].low ^ pieceKeys[piece][t].low;
    // A man taken on the destination leaves the key; masked rather than branched on.
    low ^= pieceKeys[pos.squares[t].piece + 8 * (1 - side)][t].low & (0u - uint32_t(pos.squares[t].colour != NoColour));
    if (pos.epSquare != 0) low ^= epKeys[pos.epSquare].low;
    if (pos.castleRights != 0) {
        const int after = pos.castleRights & CastleRightsKept[f] & CastleRightsKept[t];
        low ^= castleKeys[pos.castleRights].low ^ castleKeys[after].low;
    }
    return (low & ~1u) | uint32_t(1 - side);
}

HashKey keyAfter(const Position& pos, int side, Move move) {
    const int o = 1 - side, f = moveFrom(move), t = moveTo(move), s8 = 8 * side;
    HashKey key = pos.key;
    if (pos.epSquare != 0) key ^= epKeys[pos.epSquare];
    if (move & MoveCapture) {
        // En passant takes the pawn beside the mover, not a man on the destination.
        if (pos.squares[t].colour == NoColour) key ^= pieceKeys[Pawn + 8 * o][fileOf(t) + 8 * rankOf(f)];
        else key ^= pieceKeys[pos.squares[t].piece + 8 * o][t];
    }
    const int field = movePromotion(move);
    if (field != 0) {
        key ^= pieceKeys[promotedPiece(field) + s8][t];
        key ^= pieceKeys[Pawn + s8][f];
    } else {
        if (move & MoveCastle) {
            const int rookFrom = t > f ? t + 1 : t - 2, rookTo = t > f ? f + 1 : f - 1;
            key ^= pieceKeys[Rook + s8][rookFrom];
            key ^= pieceKeys[Rook + s8][rookTo];
        }
        const int piece = pos.squares[f].piece;
        if (piece == Pawn && !(move & MoveCapture) && distance[t][f] == 2) {
            const bool left = fileOf(t) != 0 && pos.squares[t - 1].piece == Pawn && pos.squares[t - 1].colour == o;
            const bool right = fileOf(t) != 7 && pos.squares[t + 1].piece == Pawn && pos.squares[t + 1].colour == o;
            if (left || right) key ^= epKeys[(f + t) / 2];
        }
        key ^= pieceKeys[piece + s8][f];
        key ^= pieceKeys[piece + s8][t];
    }
    if (pos.castleRights != 0) {
        key ^= castleKeys[pos.castleRights];
        key ^= castleKeys[pos.castleRights & CastleRightsKept[f] & CastleRightsKept[t]];
    }
    setSideBit(key, o);
    return key;
}

int halfmoveClockAfter(const Position& pos, Move move) {
    const bool resets = (move & MoveCapture) || movePromotion(move) != 0 || pos.squares[moveFrom(move)].piece == Pawn;
    return resets ? 0 : pos.halfmoveClock + 1;
}

void reorderAsIfMadeAndUnmade(Position& pos, int side, Move move) {
    if (!(move & MoveCapture)) return;
    const int o = 1 - side, f = moveFrom(move), t = moveTo(move);
    const int square = pos.squares[t].colour == NoColour ? fileOf(t) + 8 * rankOf(f) : t;
    const int slot = pos.listSlot[square], last = pos.menCount[o];
    const int lastSquare = pos.pieceList[o][last];
    putInSlot(pos, o, slot, lastSquare);
    putInSlot(pos, o, last, square);
}

void unmakeMove(Position& pos, int ply) {
    const PlySlot& slot = pos.slots[ply];
    const Move move = slot.move;
    const int f = moveFrom(move), t = moveTo(move);
    const int s = pos.squares[t].colour, m = pos.squares[t].piece, o = 1 - s;

    pos.castleRights = slot.castleRights;
    pos.epSquare = slot.epSquare;
    pos.halfmoveClock = slot.halfmoveClock;
    pos.materialSum[0] = slot.materialSum[0];
    pos.materialSum[1] = slot.materialSum[1];
    pos.nonPawnMaterial = slot.nonPawnMaterial;
    pos.key = slot.key;
    pos.occupiedBy[0] = slot.occupiedBy[0];
    pos.occupiedBy[1] = slot.occupiedBy[1];
    leaveMapLevel(pos, slot, ply);

    if (movePromotion(move) != 0) {
        ++pos.pieceCount[Pawn + 8 * s];
        --pos.pieceCount[m + 8 * s];
        putInSlot(pos, s, pos.listSlot[t], f);
        pos.squares[t] = {Empty, NoColour};
        pos.squares[f] = {Pawn, uint8_t(s)};
        pos.pieceSet[s][Pawn] |= squareBit(f);
        pos.pieceSet[s][m] &= ~squareBit(t);
        pos.pawnKey ^= pawnKeys[s][f];
    } else {
        if (move & MoveCastle) {
            const int rookNow = t > f ? f + 1 : f - 1, rookHome = t > f ? t + 1 : t - 2;
            putInSlot(pos, s, pos.listSlot[rookNow], rookHome);
            pos.squares[rookNow] = {Empty, NoColour};
            pos.squares[rookHome] = {Rook, uint8_t(s)};
            pos.pieceSet[s][Rook] ^= squareBit(rookNow) | squareBit(rookHome);
            pos.castled[s] = 0;
        }
        pos.pieceSet[s][m] ^= squareBit(f) | squareBit(t);
        // Only a pawn's steps change the pawn key: masked rather than branched on.
        pos.pawnKey ^= (pawnKeys[s][f] ^ pawnKeys[s][t]) & (0u - uint32_t(m == Pawn));
        putInSlot(pos, s, pos.listSlot[t], f);
        pos.squares[t] = {Empty, NoColour};
        pos.squares[f] = {uint8_t(m), uint8_t(s)};
    }

    // The captured man returns, to the end of its side's list.
    if (move & MoveCapture) {
        const int type = slot.capturedPiece, square = slot.captureSquare;
        pos.pieceSet[o][type] |= squareBit(square);
        if (type == Pawn) pos.pawnKey ^= pawnKeys[o][square];
        ++pos.pieceCount[type + 8 * o];
        putInSlot(pos, o, ++pos.menCount[o], square);
        pos.squares[square] = {uint8_t(type), uint8_t(o)};
    }
}

void makeNullMove(Position& pos, int side, int ply) {
    PlySlot& slot = pos.slots[ply];
    slot.key = pos.key;
    slot.epSquare = pos.epSquare;
    slot.move = NoMove;
    slot.occupiedBy[0] = pos.occupiedBy[0];
    slot.occupiedBy[1] = pos.occupiedBy[1];
    enterMapLevel(pos, slot, ply);
    ++pos.halfmoveClock;
    if (pos.epSquare != 0) {
        pos.key ^= epKeys[pos.epSquare];
        pos.epSquare = 0;
    }
    setSideBit(pos.key, 1 - side);
}

void unmakeNullMove(Position& pos, int ply) {
    leaveMapLevel(pos, pos.slots[ply], ply);
    pos.epSquare = pos.slots[ply].epSquare;
    pos.key = pos.slots[ply].key;
    --pos.halfmoveClock;
}

}  // namespace board
