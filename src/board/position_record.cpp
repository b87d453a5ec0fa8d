#include "board/position_record.h"

#include <cstring>

namespace board {

namespace {

constinit PositionRecord ParsedRecord{};
constinit char FenText[96]{};
constinit char MoveText[8]{};

bool isPieceLetter(char c) { return c != 0 && std::strchr("PNBRQKpnbrqk", c) != nullptr; }

// Rights follow from the men alone: a king and a rook on their home squares.
void inferCastling(PositionRecord& r) {
    if (r.squares[4] == 'K' && r.squares[7] == 'R') r.whiteKingside = 1;
    if (r.squares[4] == 'K' && r.squares[0] == 'R') r.whiteQueenside = 1;
    if (r.squares[60] == 'k' && r.squares[63] == 'r') r.blackKingside = 1;
    if (r.squares[60] == 'k' && r.squares[56] == 'r') r.blackQueenside = 1;
}

// A right survives only while its king and rook still stand at home.
void validateCastling(PositionRecord& r) {
    if (r.squares[4] != 'K' || r.squares[0] != 'R') r.whiteQueenside = 0;
    if (r.squares[4] != 'K' || r.squares[7] != 'R') r.whiteKingside = 0;
    if (r.squares[60] != 'k' || r.squares[56] != 'r') r.blackQueenside = 0;
    if (r.squares[60] != 'k' || r.squares[63] != 'r') r.blackKingside = 0;
}

}  // namespace

PositionRecord* parseFen(const char* text) {
    PositionRecord& r = ParsedRecord;
    std::memset(&r, 0, sizeof r);
    std::memset(r.squares, ' ', sizeof r.squares);
    if (text == nullptr) return nullptr;

    // Board field: ranks 8 down to 1, files a to h. A piece letter is stored only
    // after its file has been checked, so nothing lands outside the board.
    const char* p = text;
    int rowStart = 56, file = 0;
    for (; *p != ' '; ++p) {
        char c = *p;
        if (isPieceLetter(c)) {
            if (file > 7) return nullptr;
            r.squares[rowStart + file] = c;
            ++file;
        } else if (c >= '1' && c <= '8') {
            file += c - '0';
        } else if (c == '/') {
            if (file != 8) return nullptr;
            rowStart -= 8;
            if (rowStart < 0) return nullptr;
            file = 0;
        } else {
            return nullptr;  // any other character, the end of the text, '0' and '9'
        }
    }
    ++p;

    // Side to move.
    if (*p == 'w' || *p == 'W') r.sideToMove = 0;
    else if (*p == 'b' || *p == 'B') r.sideToMove = 1;
    else return nullptr;
    ++p;
    if (*p != ' ') {
        inferCastling(r);
        return &r;
    }
    ++p;

    // Castling field; an unexpected character (the end of the text included) falls
    // back to the rights the placement implies and skips the en passant field.
    if (*p != ' ') {
        for (; *p != ' '; ++p) {
            switch (*p) {
                case '-': break;
                case 'K': r.whiteKingside = 1; break;
                case 'Q': r.whiteQueenside = 1; break;
                case 'k': r.blackKingside = 1; break;
                case 'q': r.blackQueenside = 1; break;
                default:
                    r.whiteKingside = r.whiteQueenside = r.blackKingside = r.blackQueenside = 0;
                    inferCastling(r);
                    validateCastling(r);
                    return &r;
            }
        }
    }
    ++p;

    // En passant field: only a target on ranks 3 to 6 can be real.
    int ep = -1;
    if (p[0] >= 'a' && p[0] <= 'h' && p[1] >= '1' && p[1] <= '8') ep = (p[0] - 'a') + 8 * (p[1] - '1');
    r.epSquare = (ep >= 16 && ep <= 47) ? ep : 0;

    validateCastling(r);
    return &r;
}

const char* formatFen(const PositionRecord& record) {
    char* out = FenText;
    for (int rank = 7; rank >= 0; --rank) {
        int blanks = 0;
        for (int file = 0; file < 8; ++file) {
            char c = record.squares[rank * 8 + file];
            if (c == ' ') {
                ++blanks;
                continue;
            }
            if (blanks) *out++ = char('0' + blanks);
            blanks = 0;
            *out++ = c;
        }
        if (blanks) *out++ = char('0' + blanks);
        if (rank) *out++ = '/';
    }
    *out++ = ' ';
    *out++ = record.sideToMove ? 'b' : 'w';
    *out++ = ' ';
    if (!record.whiteKingside && !record.whiteQueenside && !record.blackKingside && !record.blackQueenside) {
        *out++ = '-';
    } else {
        if (record.whiteKingside) *out++ = 'K';
        if (record.whiteQueenside) *out++ = 'Q';
        if (record.blackKingside) *out++ = 'k';
        if (record.blackQueenside) *out++ = 'q';
    }
    *out++ = ' ';
    int ep = record.epSquare;
    if (ep > 0 && ep < 64) {
        *out++ = char('a' + fileOf(ep));
        *out++ = char('1' + rankOf(ep));
    } else {
        *out++ = '-';
    }
    *out = 0;
    return FenText;
}

char promotionLetter(Move move) {
    switch (movePromotion(move)) {
        case Knight: return 'N';
        case Bishop: return 'B';
        case Rook: return 'R';
        case Queen: return 'Q';
        default: return 0;
    }
}

const char* moveToText(Move move) {
    int from = moveFrom(move), to = moveTo(move);
    char* out = MoveText;
    *out++ = char('a' + fileOf(from));
    *out++ = char('1' + rankOf(from));
    *out++ = char('a' + fileOf(to));
    *out++ = char('1' + rankOf(to));
    if (char letter = promotionLetter(move)) *out++ = letter;
    *out = 0;
    return MoveText;
}

int parseSquare(const char* text) {
    if (text == nullptr) return -1;
    if (text[0] < 'a' || text[0] > 'h') return -1;
    if (text[1] < '1' || text[1] > '8') return -1;
    return (text[0] - 'a') + 8 * (text[1] - '1');
}

Move parseMoveText(const char* text) {
    int from = parseSquare(text);
    if (from < 0) return NoMove;
    int to = parseSquare(text + 2);
    if (to < 0) return NoMove;
    int promotion = 0;
    switch (text[4]) {
        case 'N': case 'n': promotion = Knight; break;
        case 'B': case 'b': promotion = Bishop; break;
        case 'R': case 'r': promotion = Rook; break;
        case 'Q': case 'q': promotion = Queen; break;
        default: break;
    }
    return makeMoveWord(from, to, promotion);
}

}  // namespace board
