// talvo-tools perft [--divide] "<FEN>" <depth>: counts the leaves of the legal move
// tree with the engine's own board, generator and make/unmake. The count checks
// move generation against known figures; the nodes per second measure it.
//
// The root list comes from generateLegalMoves, as the driver's does. Below it the
// search's generator runs on current attack maps and each move is kept when the
// opponent's attack map after the move leaves the king alone; the maps after a move
// come from the node's own, as in the search, and are the child's. At the last ply
// the moves are not made: a move there is legal unless it opens a line to the own
// king, which a look outward from the king on the board before the move tells
// (only in check and for en passant captures is the move made and the king looked
// at after it).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/attacks.h"
#include "board/board.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/position_record.h"
#include "board/record_rules.h"
#include "eval/pawns.h"
#include "eval/piece_square.h"

using board::Board;

namespace {

constexpr int MaxDepth = 20;
constexpr int ListCapacity = 320;  // well above the most moves any position has
board::ScoredMove lists[MaxDepth][ListCapacity];
// No search knows anything here: only the node counter of the evasion marks moves.
board::OrderingContext PerftOrdering{};

// Is square attacked by a man of side `by`? Looks outward from the square along
// the ray tables, which is all a leaf needs to know; a whole attack map answers it
// for 64 squares at once.
bool attackedBy(int square, int by) {
    using namespace board;
    const eval::SquareSet pawnFrom =
        by == White ? eval::pawnEvaluator().whitePawnAttackers[square] : eval::pawnEvaluator().blackPawnAttackers[square];
    if (pawnFrom & Board.pieceSet[by][board::Pawn]) return true;
    for (int piece : {Knight, King}) {
        const uint8_t* ring = nextDirection[piece][square];
        for (int t = ring[square]; t != square; t = ring[t])
            if (Board.squares[t].piece == piece && Board.squares[t].colour == by) return true;
    }
    for (int piece : {Rook, Bishop}) {
        const uint8_t* next = nextSquare[piece][square];
        const uint8_t* skip = nextDirection[piece][square];
        int t = next[square];
        while (t != square) {
            if (Board.squares[t].colour == NoColour) {
                t = next[t];
                continue;
            }
            if (Board.squares[t].colour == by &&
                (Board.squares[t].piece == piece || Board.squares[t].piece == Queen))
                return true;
            t = skip[t];
        }
    }
    return false;
}

// Same file, rank or diagonal.
inline bool onOneLine(int a, int b) {
    const int df = board::fileOf(a) - board::fileOf(b), dr = board::rankOf(a) - board::rankOf(b);
    return df == 0 || dr == 0 || df == dr || df == -dr;
}

// Once the man on `from`, which lies on a line with the king, went to `to`: would
// an enemy slider see the king along that line? Asked before the move is made.
bool opensLine(int king, int from, int to, int by) {
    using namespace board;
    const int df = (fileOf(from) > fileOf(king)) - (fileOf(from) < fileOf(king));
    const int dr = (rankOf(from) > rankOf(king)) - (rankOf(from) < rankOf(king));
    const int slider = (df != 0 && dr != 0) ? Bishop : Rook;
    int file = fileOf(king) + df, rank = rankOf(king) + dr;
    for (; file >= 0 && file < 8 && rank >= 0 && rank < 8; file += df, rank += dr) {
        const int square = 8 * rank + file;
        if (square == to) return false;  // the man stays on the line, or takes the slider
        const SquareContent& man = Board.squares[square];
        if (man.colour == NoColour || square == from) continue;
        return man.colour == by && (man.piece == slider || man.piece == Queen);
    }
    return false;
}

// Leaves below a node whose maps are current (the parent brought them up to date
// to see that its move was legal).
uint64_t countLeaves(int side, int ply, int depth) {
    using namespace board;
    const int other = 1 - side;
    // A fresh stamp per node, so that evasion marks of other nodes lapse.
    ++PerftOrdering.nodeCount;
    ensureAttackMaps(Board);
    ScoredMove* list = lists[ply];
    const int n = generateMoves(Board, list, side, ply);
    const int king = Board.pieceList[side][0];
    const bool inCheck = Board.attackMapOf(other)[king] != 0;
    uint64_t leaves = 0;
    for (int i = 0; i < n; ++i) {
        const Move move = list[i].move;
        const bool enPassant = (move & MoveCapture) && Board.isEmpty(moveTo(move));
        if (depth == 1) {
            // The generator keeps the king off attacked squares. Out of check, any
            // other move can only expose the king along a line through the square
            // it leaves (or the square of a pawn taken en passant).
            const int from = moveFrom(move);
            if (from == king || (!inCheck && !enPassant && !onOneLine(from, king))) {
                ++leaves;
            } else if (!inCheck && !enPassant) {
                leaves += !opensLine(king, from, moveTo(move), other);
            } else {
                makeMove(Board, side, ply, move);
                leaves += !attackedBy(king, other);
                unmakeMove(Board, ply);
            }
            continue;
        }
        makeMove(Board, side, ply, move);
        ensureAttackMaps(Board);
        if (Board.attackMapOf(other)[Board.pieceList[side][0]] == 0) leaves += countLeaves(other, ply + 1, depth - 1);
        unmakeMove(Board, ply);
    }
    return leaves;
}

}  // namespace

int runPerft(int argc, char** argv) {
    bool divide = false;
    if (argc > 0 && std::strcmp(argv[0], "--divide") == 0) {
        divide = true;
        --argc;
        ++argv;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: talvo-tools perft [--divide] \"<FEN>\" <depth>\n");
        return 2;
    }
    board::PositionRecord* record = board::parseFen(argv[0]);
    const int depth = std::atoi(argv[1]);
    if (!record) {
        std::fprintf(stderr, "not a FEN position: %s\n", argv[0]);
        return 1;
    }
    if (depth < 1 || depth > MaxDepth) {
        std::fprintf(stderr, "depth must lie between 1 and %d\n", MaxDepth);
        return 2;
    }
    Board.loadRecord(*record);
    const int side = Board.sideToMove;
    // Counting moves that capture a king would overrun the piece lists.
    if (!board::isPlayablePosition(*record) || !eval::prepareRoot(Board, side)) {
        std::fprintf(stderr, "not a legal position: one king a side, at most 16 men each, no pawn on "
                             "the first or last rank, the side not to move not in check\n");
        return 1;
    }

    Board.ordering = &PerftOrdering;
    const auto start = std::chrono::steady_clock::now();
    board::ScoredMove* root = lists[0];  // the lists below the root start at ply 1
    const int n = board::generateLegalMoves(Board, root, side, 0);
    uint64_t total = 0;
    for (int i = 0; i < n; ++i) {
        uint64_t leaves = 1;
        if (depth > 1) {
            board::makeMove(Board, side, 0, root[i].move);
            leaves = countLeaves(1 - side, 1, depth - 1);
            board::unmakeMove(Board, 0);
        }
        if (divide) std::printf("%s %llu\n", board::moveToText(root[i].move), (unsigned long long)leaves);
        total += leaves;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("perft %d: %llu nodes in %.3f s, %.0f nodes per second\n", depth, (unsigned long long)total,
                seconds, seconds > 0 ? double(total) / seconds : 0.0);
    return 0;
}
