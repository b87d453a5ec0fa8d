#include "support/reference_chess.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace testing_support {

namespace {

bool onBoard(int file, int rank) { return file >= 0 && file < 8 && rank >= 0 && rank < 8; }
bool isWhite(char c) { return c >= 'A' && c <= 'Z'; }
bool isBlack(char c) { return c >= 'a' && c <= 'z'; }
bool belongsTo(char c, int side) { return side == 0 ? isWhite(c) : isBlack(c); }
char ofSide(char lower, int side) { return side == 0 ? char(std::toupper(lower)) : lower; }

const int KnightSteps[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
const int KingSteps[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
const int RookDirs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
const int BishopDirs[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};

// Is square attacked by any man of side `by`?
bool attacked(const ReferencePosition& p, int square, int by) {
    int f = square % 8, r = square / 8;
    int pawnRank = by == 0 ? r - 1 : r + 1;
    for (int df : {-1, 1})
        if (onBoard(f + df, pawnRank) && p.squares[pawnRank * 8 + f + df] == ofSide('p', by)) return true;
    for (auto& s : KnightSteps)
        if (onBoard(f + s[0], r + s[1]) && p.squares[(r + s[1]) * 8 + f + s[0]] == ofSide('n', by)) return true;
    for (auto& s : KingSteps)
        if (onBoard(f + s[0], r + s[1]) && p.squares[(r + s[1]) * 8 + f + s[0]] == ofSide('k', by)) return true;
    for (int kind = 0; kind < 2; ++kind) {
        const int(*dirs)[2] = kind == 0 ? RookDirs : BishopDirs;
        char slider = ofSide(kind == 0 ? 'r' : 'b', by), queen = ofSide('q', by);
        for (int d = 0; d < 4; ++d) {
            int x = f + dirs[d][0], y = r + dirs[d][1];
            while (onBoard(x, y)) {
                char c = p.squares[y * 8 + x];
                if (c != '.') {
                    if (c == slider || c == queen) return true;
                    break;
                }
                x += dirs[d][0];
                y += dirs[d][1];
            }
        }
    }
    return false;
}

std::string squareName(int s) { return std::string{char('a' + s % 8), char('1' + s / 8)}; }

struct Builder {
    const ReferencePosition& from;
    std::vector<std::pair<std::string, ReferencePosition>>& out;

    // Plays from -> to (with an optional promotion letter), then keeps the result
    // if the mover's king is safe.
    void add(int f, int t, char promotion = 0) {
        ReferencePosition p = from;
        char man = p.squares[f];
        char lower = char(std::tolower(man));
        int side = from.side;
        p.ep = -1;
        if (lower == 'p' && t == from.ep) p.squares[t + (side == 0 ? -8 : 8)] = '.';
        if (lower == 'p' && std::abs(t - f) == 16) p.ep = (f + t) / 2;
        if (lower == 'k' && std::abs(t - f) == 2) {
            int rookFrom = t > f ? f + 3 : f - 4, rookTo = t > f ? f + 1 : f - 1;
            p.squares[rookTo] = p.squares[rookFrom];
            p.squares[rookFrom] = '.';
        }
        p.squares[t] = promotion ? ofSide(promotion, side) : man;
        p.squares[f] = '.';
        // Rights die with a king or rook that moves, or a rook taken at home.
        for (int sq : {f, t}) {
            if (sq == 4) p.castle[0] = p.castle[1] = false;
            if (sq == 60) p.castle[2] = p.castle[3] = false;
            if (sq == 7) p.castle[0] = false;
            if (sq == 0) p.castle[1] = false;
            if (sq == 63) p.castle[2] = false;
            if (sq == 56) p.castle[3] = false;
        }
        p.side = 1 - side;
        int king = -1;
        for (int s = 0; s < 64; ++s)
            if (p.squares[s] == ofSide('k', side)) king = s;
        if (king >= 0 && attacked(p, king, p.side)) return;
        std::string text = squareName(f) + squareName(t);
        if (promotion) text += promotion;
        out.push_back({text, p});
    }
};

}  // namespace

ReferencePosition referenceFromFen(const std::string& fen) {
    ReferencePosition p{};
    for (char& c : p.squares) c = '.';
    std::istringstream in(fen);
    std::string board, side, castling, ep;
    in >> board >> side >> castling >> ep;
    int file = 0, rank = 7;
    for (char c : board) {
        if (c == '/') {
            --rank;
            file = 0;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            file += c - '0';
        } else {
            p.squares[rank * 8 + file++] = c;
        }
    }
    p.side = side == "b" ? 1 : 0;
    p.castle[0] = castling.find('K') != std::string::npos;
    p.castle[1] = castling.find('Q') != std::string::npos;
    p.castle[2] = castling.find('k') != std::string::npos;
    p.castle[3] = castling.find('q') != std::string::npos;
    p.ep = ep.size() == 2 ? (ep[1] - '1') * 8 + (ep[0] - 'a') : -1;
    return p;
}

std::string referenceToFen(const ReferencePosition& p) {
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
        for (int file = 0, gap = 0; file < 8; ++file) {
            const char c = p.squares[rank * 8 + file];
            if (c == '.') ++gap;
            if (gap && (c != '.' || file == 7)) fen += char('0' + gap);
            if (c != '.') {
                gap = 0;
                fen += c;
            } else if (file == 7) {
                gap = 0;
            }
        }
        if (rank) fen += '/';
    }
    fen += p.side ? " b " : " w ";
    std::string rights;
    const char letters[4] = {'K', 'Q', 'k', 'q'};
    for (int i = 0; i < 4; ++i)
        if (p.castle[i]) rights += letters[i];
    fen += rights.empty() ? "-" : rights;
    fen += p.ep < 0 ? " -" : " " + squareName(p.ep);
    return fen;
}

std::vector<std::pair<std::string, ReferencePosition>> referenceChildren(const ReferencePosition& p) {
    std::vector<std::pair<std::string, ReferencePosition>> out;
    Builder b{p, out};
    const int s = p.side, o = 1 - s;
    for (int f = 0; f < 64; ++f) {
        char man = p.squares[f];
        if (!belongsTo(man, s)) continue;
        int x = f % 8, y = f / 8;
        auto freeOrEnemy = [&](int t) { return p.squares[t] == '.' || belongsTo(p.squares[t], o); };
        switch (std::tolower(man)) {
            case 'p': {
                int dir = s == 0 ? 1 : -1, lastRank = s == 0 ? 7 : 0, startRank = s == 0 ? 1 : 6;
                auto pawnTo = [&](int t) {
                    if (t / 8 == lastRank)
                        for (char q : {'q', 'r', 'b', 'n'}) b.add(f, t, q);
                    else
                        b.add(f, t);
                };
                if (onBoard(x, y + dir) && p.squares[(y + dir) * 8 + x] == '.') {
                    pawnTo((y + dir) * 8 + x);
                    if (y == startRank && p.squares[(y + 2 * dir) * 8 + x] == '.') b.add(f, (y + 2 * dir) * 8 + x);
                }
                for (int dx : {-1, 1}) {
                    if (!onBoard(x + dx, y + dir)) continue;
                    int t = (y + dir) * 8 + x + dx;
                    if (belongsTo(p.squares[t], o)) pawnTo(t);
                    if (t == p.ep && p.squares[t] == '.') b.add(f, t);
                }
                break;
            }
            case 'n':
                for (auto& st : KnightSteps)
                    if (onBoard(x + st[0], y + st[1]) && freeOrEnemy((y + st[1]) * 8 + x + st[0]))
                        b.add(f, (y + st[1]) * 8 + x + st[0]);
                break;
            case 'k': {
                for (auto& st : KingSteps)
                    if (onBoard(x + st[0], y + st[1]) && freeOrEnemy((y + st[1]) * 8 + x + st[0]))
                        b.add(f, (y + st[1]) * 8 + x + st[0]);
                int home = s == 0 ? 4 : 60;
                if (f == home && !attacked(p, f, o)) {
                    if (p.castle[2 * s] && p.squares[f + 1] == '.' && p.squares[f + 2] == '.' &&
                        p.squares[f + 3] == ofSide('r', s) && !attacked(p, f + 1, o))
                        b.add(f, f + 2);
                    if (p.castle[2 * s + 1] && p.squares[f - 1] == '.' && p.squares[f - 2] == '.' &&
                        p.squares[f - 3] == '.' && p.squares[f - 4] == ofSide('r', s) && !attacked(p, f - 1, o))
                        b.add(f, f - 2);
                }
                break;
            }
            default: {
                char lower = char(std::tolower(man));
                for (int kind = 0; kind < 2; ++kind) {
                    if (kind == 0 && lower == 'b') continue;
                    if (kind == 1 && lower == 'r') continue;
                    const int(*dirs)[2] = kind == 0 ? RookDirs : BishopDirs;
                    for (int d = 0; d < 4; ++d) {
                        int tx = x + dirs[d][0], ty = y + dirs[d][1];
                        while (onBoard(tx, ty)) {
                            int t = ty * 8 + tx;
                            if (p.squares[t] != '.') {
                                if (belongsTo(p.squares[t], o)) b.add(f, t);
                                break;
                            }
                            b.add(f, t);
                            tx += dirs[d][0];
                            ty += dirs[d][1];
                        }
                    }
                }
            }
        }
    }
    return out;
}

bool referenceKingAttacked(const ReferencePosition& position, int side) {
    for (int s = 0; s < 64; ++s)
        if (position.squares[s] == ofSide('k', side)) return attacked(position, s, 1 - side);
    return false;
}

uint64_t referencePerft(const ReferencePosition& position, int depth) {
    if (depth == 0) return 1;
    auto children = referenceChildren(position);
    if (depth == 1) return children.size();
    uint64_t total = 0;
    for (auto& child : children) total += referencePerft(child.second, depth - 1);
    return total;
}

}  // namespace testing_support
