#include "egtb_board.h"

#include <cstdlib>
#include <cstring>

#include "egtb/registry.h"

namespace egtb_tools {

namespace {

uint64_t KnightAttacks[64], KingAttacks[64], PawnAttacks[2][64];
uint64_t Between[64][64];  // squares strictly between two squares on one line
int LineKind[64][64];      // 0 none, 1 along a file or rank, 2 along a diagonal
bool tablesBuilt = false;

int pieceOfLetter(char c) {
    switch (c) {
        case 'n': return 2;
        case 'b': return 3;
        case 'r': return 4;
        case 'q': return 5;
        default: return 1;
    }
}

}  // namespace

bool Material::hasPawns(int side) const {
    for (int i = 0; i < count; ++i)
        if (colour[i] == side && piece[i] == 1) return true;
    return false;
}

int tableNumber(const std::string& name) {
    for (int n = 1; n <= egtb::TableCount; ++n)
        if (name == egtb::TableList[n].name) return n;
    return 0;
}

Material materialOf(int table) {
    Material m;
    m.table = table;
    const char* name = egtb::TableList[table].name;
    int colour = -1;
    for (const char* c = name; *c; ++c) {
        if (*c == 'k') {
            ++colour;
            m.colour[m.count] = colour;
            m.piece[m.count++] = 6;
            continue;
        }
        m.colour[m.count] = colour;
        m.piece[m.count++] = pieceOfLetter(*c);
        if (colour == 0) ++m.whiteCount;
    }
    return m;
}

void initBoardTables() {
    if (tablesBuilt) return;
    tablesBuilt = true;
    for (int s = 0; s < 64; ++s) {
        const int f = s & 7, r = s >> 3;
        for (int t = 0; t < 64; ++t) {
            const int df = (t & 7) - f, dr = (t >> 3) - r;
            const int adf = std::abs(df), adr = std::abs(dr);
            if ((adf == 1 && adr == 2) || (adf == 2 && adr == 1)) KnightAttacks[s] |= bit(t);
            if (adf <= 1 && adr <= 1 && t != s) KingAttacks[s] |= bit(t);
            if (adr == 1 && adf == 1) PawnAttacks[dr > 0 ? 0 : 1][s] |= bit(t);
            const bool straight = (df == 0) != (dr == 0);
            const bool diagonal = adf == adr && adf != 0;
            if (!straight && !diagonal) continue;
            LineKind[s][t] = straight ? 1 : 2;
            const int step = (df > 0) - (df < 0) + 8 * ((dr > 0) - (dr < 0));
            for (int x = s + step; x != t; x += step) Between[s][t] |= bit(x);
        }
    }
}

bool attacks(int piece, int colour, int from, int to, uint64_t occ) {
    switch (piece) {
        case 1: return PawnAttacks[colour][from] & bit(to);
        case 2: return KnightAttacks[from] & bit(to);
        case 6: return KingAttacks[from] & bit(to);
        default: {
            const int line = LineKind[from][to];
            if (line == 0 || (piece == 3 && line != 2) || (piece == 4 && line != 1)) return false;
            return (Between[from][to] & occ) == 0;
        }
    }
}

uint64_t pieceTargets(int piece, int from, uint64_t occ) {
    if (piece == 2) return KnightAttacks[from];
    if (piece == 6) return KingAttacks[from];
    // Rays: four straight ones for rook and queen, four diagonal ones for bishop and queen.
    static constexpr int Steps[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
    uint64_t targets = 0;
    for (int d = piece == 3 ? 4 : 0; d < (piece == 4 ? 4 : 8); ++d) {
        int f = (from & 7) + Steps[d][0], r = (from >> 3) + Steps[d][1];
        for (; f >= 0 && f < 8 && r >= 0 && r < 8; f += Steps[d][0], r += Steps[d][1]) {
            targets |= bit(8 * r + f);
            if (occ & bit(8 * r + f)) break;
        }
    }
    return targets;
}

bool kingAttacked(const Material& m, const int* squares, int side, int skip) {
    uint64_t occ = 0;
    for (int i = 0; i < m.count; ++i)
        if (i != skip) occ |= bit(squares[i]);
    const int king = squares[side == 0 ? 0 : m.blackKing()];
    for (int i = 0; i < m.count; ++i)
        if (i != skip && m.colour[i] != side && attacks(m.piece[i], m.colour[i], squares[i], king, occ))
            return true;
    return false;
}

bool isLegal(const Material& m, const int* squares, int sideToMove) {
    uint64_t occ = 0;
    for (int i = 0; i < m.count; ++i) {
        if (occ & bit(squares[i])) return false;
        occ |= bit(squares[i]);
        if (m.piece[i] == 1 && (squares[i] < 8 || squares[i] > 55)) return false;
    }
    return !kingAttacked(m, squares, 1 - sideToMove);
}

int enPassantTarget(const Material& m, const int* squares, int sideToMove, int man) {
    if (m.piece[man] != 1 || m.colour[man] == sideToMove) return 64;
    const int s = squares[man];
    // White's pawn stands on the fourth rank after its double step, black's on the fifth.
    const int landing = sideToMove == 1 ? 3 : 4;
    if ((s >> 3) != landing) return 64;
    const int target = sideToMove == 1 ? s - 8 : s + 8, origin = sideToMove == 1 ? s - 16 : s + 16;
    bool beside = false;
    for (int i = 0; i < m.count; ++i) {
        if (squares[i] == target || squares[i] == origin) return 64;
        if (m.colour[i] == sideToMove && m.piece[i] == 1 && (squares[i] >> 3) == landing &&
            std::abs(squares[i] - s) == 1)
            beside = true;
    }
    return beside ? target : 64;
}

std::string fenOf(const Material& m, const int* squares, int sideToMove, int epSquare) {
    char board[64];
    std::memset(board, 0, sizeof board);
    for (int i = 0; i < m.count; ++i) board[squares[i]] = " pnbrqk"[m.piece[i]] - (m.colour[i] == 0 ? 32 : 0);
    std::string fen;
    for (int r = 7; r >= 0; --r) {
        int empty = 0;
        for (int f = 0; f < 8; ++f) {
            const char c = board[8 * r + f];
            if (!c) {
                ++empty;
                continue;
            }
            if (empty) fen += char('0' + empty);
            empty = 0;
            fen += c;
        }
        if (empty) fen += char('0' + empty);
        if (r) fen += '/';
    }
    fen += sideToMove == 0 ? " w - " : " b - ";
    if (epSquare == 64)
        fen += "-";
    else
        fen += std::string(1, char('a' + (epSquare & 7))) + char('1' + (epSquare >> 3));
    return fen + " 0 1";
}

}  // namespace egtb_tools
