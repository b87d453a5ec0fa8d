#include "board/san.h"

#include <cstring>

#include "board/board.h"
#include "board/position_record.h"

namespace board {

namespace {

constinit char SanText[16]{};

constexpr char PieceLetters[8] = {' ', 'P', 'N', 'B', 'R', 'Q', 'K', ' '};

// The SAN without check marks.
void writeSan(const Position& pos, Move move, const ScoredMove* legal, int count, char* out) {
    const int from = moveFrom(move), to = moveTo(move);
    const int piece = pos.squares[from].piece;
    if (piece == King && (to - from == 2 || from - to == 2)) {
        std::strcpy(out, to > from ? "O-O" : "O-O-O");
        return;
    }
    const bool capture = !pos.isEmpty(to) || (piece == Pawn && fileOf(from) != fileOf(to));
    if (piece == Pawn) {
        if (capture) {
            *out++ = char('a' + fileOf(from));
            *out++ = 'x';
        }
    } else {
        *out++ = PieceLetters[piece];
        // Another man of the same kind reaching the same square asks for the
        // file, then the rank, then both.
        bool ambiguous = false, sameFile = false, sameRank = false;
        for (int i = 0; i < count; ++i) {
            const int f = moveFrom(legal[i].move);
            if (f == from || moveTo(legal[i].move) != to || pos.squares[f].piece != piece) continue;
            ambiguous = true;
            if (fileOf(f) == fileOf(from)) sameFile = true;
            if (rankOf(f) == rankOf(from)) sameRank = true;
        }
        if (ambiguous) {
            if (!sameFile) {
                *out++ = char('a' + fileOf(from));
            } else if (!sameRank) {
                *out++ = char('1' + rankOf(from));
            } else {
                *out++ = char('a' + fileOf(from));
                *out++ = char('1' + rankOf(from));
            }
        }
        if (capture) *out++ = 'x';
    }
    *out++ = char('a' + fileOf(to));
    *out++ = char('1' + rankOf(to));
    if (const int promotion = movePromotion(move)) {
        *out++ = '=';
        *out++ = PieceLetters[promotion];
    }
    *out = 0;
}

// The text with check, mate, capture and annotation signs removed.
void normalise(const char* text, char* out, size_t size) {
    size_t n = 0;
    for (; *text && *text != ' ' && n + 1 < size; ++text) {
        const char c = *text;
        if (c == '+' || c == '#' || c == '!' || c == '?' || c == 'x' || c == '=') continue;
        out[n++] = c == '0' ? 'O' : c;  // "0-0" is seen in the wild
    }
    out[n] = 0;
}

}  // namespace

const char* moveToSan(const Position& pos, Move move, const ScoredMove* legal, int count) {
    writeSan(pos, move, legal, count, SanText);
    if (move & MoveCheck) std::strcat(SanText, "+");
    return SanText;
}

Move parseSan(const Position& pos, const char* text, const ScoredMove* legal, int count) {
    char wanted[16];
    normalise(text, wanted, sizeof wanted);
    for (int i = 0; i < count; ++i) {
        char san[16], plain[16];
        writeSan(pos, legal[i].move, legal, count, san);
        normalise(san, plain, sizeof plain);
        if (std::strcmp(plain, wanted) == 0) return legal[i].move;
    }
    return NoMove;
}

}  // namespace board
