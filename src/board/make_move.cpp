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

// The slot of square in a side's list, searching from slot `first`. The search is
// bounded by the list so that a board that breaks the invariants cannot send it
// past the end; such a board yields slot 0.
inline int slotOf(int side, int square, int first) {
    const int* list = pieceList[side];
    for (int i = first; i <= menCount[side]; ++i)
        if (list[i] == square) return i;
    return 0;
}

inline void setSideBit(HashKey& key, int side) { key.low = (key.low & ~1u) | uint32_t(side); }

// The body of movePiece, inlined into make: it runs for nearly every move.
inline void moveMan(int* list, int from, int to, int colour, int piece) {
    int i = 0;
    while (i < 15 && list[i] != from) ++i;
    list[i] = to;
    squares[from] = {Empty, NoColour};
    squares[to] = {uint8_t(piece), uint8_t(colour)};
    materialSum[colour] += pieceSquare[colour][piece][to] - pieceSquare[colour][piece][from];
    positionKey ^= pieceKeys[piece + 8 * colour][from];
    positionKey ^= pieceKeys[piece + 8 * colour][to];
}

}  // namespace

void movePiece(int* list, int from, int to, int colour, int piece) { moveMan(list, from, to, colour, piece); }

void makeMove(int s, int ply, Move move) {
    const int o = 1 - s, f = moveFrom(move), t = moveTo(move);

    // 1. What unmake cannot work out for itself.
    PlySlot& slot = plyState[ply];
    slot.move = move;
    slot.key = positionKey;
    slot.castleRights = castleRights;
    slot.epSquare = epSquare;
    slot.halfmoveClock = halfmoveClock;
    slot.materialSum[0] = materialSum[0];
    slot.materialSum[1] = materialSum[1];
    slot.nonPawnMaterial = nonPawnMaterial;

    // 2. Any en passant chance ends with this move.
    if (epSquare != 0) positionKey ^= epKeys[epSquare];
    ++halfmoveClock;
    epSquare = 0;

    // 3. The captured man leaves; en passant takes the pawn beside the mover.
    if (move & MoveCapture) {
        halfmoveClock = 0;
        int square = t, captured = squares[t].piece;
        if (squares[t].colour == NoColour) {
            square = fileOf(t) + 8 * rankOf(f);
            captured = Pawn;
            squares[square] = {Empty, NoColour};
        }
        slot.capturedPiece = captured;
        slot.captureSquare = square;
        materialSum[o] -= pieceSquare[o][captured][square];
        --pieceCount[captured + 8 * o];
        if (captured == Pawn) {
            pawnSet[o] &= ~squareBit(square);
            pawnKey ^= pawnKeys[o][square];
        } else {
            nonPawnMaterial -= pieceValue[captured];
        }
        int i = slotOf(o, square, 1);
        if (i > 0) pieceList[o][i] = pieceList[o][menCount[o]--];
        positionKey ^= pieceKeys[captured + 8 * o][square];
    }

    const int field = movePromotion(move);
    if (field != 0) {
        // 4. Promotion: the pawn leaves the pawn structure and becomes a piece.
        halfmoveClock = 0;
        pawnSet[s] &= ~squareBit(f);
        pawnKey ^= pawnKeys[s][f];
        const int q = promotedPiece(field);
        nonPawnMaterial += pieceValue[q];
        materialSum[s] += pieceSquare[s][q][t] - pieceSquare[s][Pawn][f];
        ++pieceCount[q + 8 * s];
        --pieceCount[Pawn + 8 * s];
        pieceList[s][slotOf(s, f, 1)] = t;
        positionKey ^= pieceKeys[q + 8 * s][t];
        positionKey ^= pieceKeys[Pawn + 8 * s][f];
        squares[t] = {uint8_t(q), uint8_t(s)};
        squares[f] = {Empty, NoColour};
    } else {
        // 5. An ordinary move; castling brings the rook along first.
        if (move & MoveCastle) {
            if (t > f)
                moveMan(pieceList[s], t + 1, f + 1, s, Rook);
            else
                moveMan(pieceList[s], t - 2, f - 1, s, Rook);
            castled[s] = 1;
        }
        const int piece = squares[f].piece;
        if (piece == Pawn) {
            pawnSet[s] ^= squareBit(f) | squareBit(t);
            pawnKey ^= pawnKeys[s][f] ^ pawnKeys[s][t];
            if (!(move & MoveCapture)) {
                halfmoveClock = 0;
                // A double step opens en passant only when an enemy pawn stands
                // beside it, so that equal positions get equal keys.
                if (distance[t][f] == 2) {
                    bool left = fileOf(t) != 0 && squares[t - 1].piece == Pawn && squares[t - 1].colour == o;
                    bool right = fileOf(t) != 7 && squares[t + 1].piece == Pawn && squares[t + 1].colour == o;
                    if (left || right) {
                        epSquare = (f + t) / 2;
                        positionKey ^= epKeys[epSquare];
                    }
                }
            }
        }
        moveMan(pieceList[s], f, t, s, piece);
    }

    // 6. Rights bound to the squares the move touched.
    if (castleRights != 0) {
        const int before = castleRights;
        castleRights &= CastleRightsKept[f] & CastleRightsKept[t];
        if (castleRights != before) {
            positionKey ^= castleKeys[before];
            positionKey ^= castleKeys[castleRights];
        }
    }
    // 7. The other side is to move.
    setSideBit(positionKey, o);
}

void unmakeMove(int ply) {
    const PlySlot& slot = plyState[ply];
    const Move move = slot.move;
    const int f = moveFrom(move), t = moveTo(move);
    const int s = squares[t].colour, m = squares[t].piece, o = 1 - s;

    castleRights = slot.castleRights;
    epSquare = slot.epSquare;
    halfmoveClock = slot.halfmoveClock;
    materialSum[0] = slot.materialSum[0];
    materialSum[1] = slot.materialSum[1];
    nonPawnMaterial = slot.nonPawnMaterial;
    positionKey = slot.key;

    if (movePromotion(move) != 0) {
        ++pieceCount[Pawn + 8 * s];
        --pieceCount[m + 8 * s];
        pieceList[s][slotOf(s, t, 0)] = f;
        squares[t] = {Empty, NoColour};
        squares[f] = {Pawn, uint8_t(s)};
        pawnSet[s] |= squareBit(f);
        pawnKey ^= pawnKeys[s][f];
    } else {
        if (move & MoveCastle) {
            const int rookNow = t > f ? f + 1 : f - 1, rookHome = t > f ? t + 1 : t - 2;
            pieceList[s][slotOf(s, rookNow, 0)] = rookHome;
            squares[rookNow] = {Empty, NoColour};
            squares[rookHome] = {Rook, uint8_t(s)};
            castled[s] = 0;
        }
        if (m == Pawn) {
            pawnSet[s] ^= squareBit(f) | squareBit(t);
            pawnKey ^= pawnKeys[s][f] ^ pawnKeys[s][t];
        }
        pieceList[s][slotOf(s, t, 0)] = f;
        squares[t] = {Empty, NoColour};
        squares[f] = {uint8_t(m), uint8_t(s)};
    }

    // The captured man returns, to the end of its side's list.
    if (move & MoveCapture) {
        const int type = slot.capturedPiece, square = slot.captureSquare;
        if (type == Pawn) {
            pawnSet[o] |= squareBit(square);
            pawnKey ^= pawnKeys[o][square];
        }
        ++pieceCount[type + 8 * o];
        pieceList[o][++menCount[o]] = square;
        squares[square] = {uint8_t(type), uint8_t(o)};
    }
}

void makeNullMove(int side, int ply) {
    PlySlot& slot = plyState[ply];
    slot.key = positionKey;
    slot.epSquare = epSquare;
    slot.move = NoMove;
    ++halfmoveClock;
    if (epSquare != 0) {
        positionKey ^= epKeys[epSquare];
        epSquare = 0;
    }
    setSideBit(positionKey, 1 - side);
}

void unmakeNullMove(int ply) {
    epSquare = plyState[ply].epSquare;
    positionKey = plyState[ply].key;
    --halfmoveClock;
}

}  // namespace board
