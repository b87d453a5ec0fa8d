// talvo-tools egtb generate [TABLE...] -d DIR: builds three- and four-man tables by
// retrograde analysis and writes both sides of each as uncompressed .nbw/.nbb files
// of the engine's format. The tables that captures and promotions lead to are built
// first (or taken from DIR when they are there) and read back through the engine's
// own probe, so every table also tests the reading of the ones before it.
//
// Every placement of the men (each man labelled, no symmetry used) is a node, once
// per side to move, plus, when both sides have pawns, once more for the positions
// right after a double step that leave an en passant capture. Distances are plies:
// a node lost in d plies makes every predecessor won in d + 1; a node won in d plies
// takes one from each predecessor's count of moves not yet known to lose, and the
// predecessor whose count runs out is lost in one ply more than its longest move.
// Captures and promotions leave the table: their values come from the smaller
// tables and join the same order of levels.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "board/types.h"
#include "egtb/probe.h"
#include "egtb/registry.h"
#include "egtb_board.h"

namespace egtb_tools {

namespace {

constexpr uint8_t Undecided = 0, Illegal = 1, Decided = 2;
constexpr uint8_t CannotLose = 0xFF;  // some move keeps at least the draw
constexpr int Levels = 256;
constexpr int GeneratorCacheMegabytes = 256;

struct TableStats {
    int longestWin[2]{};  // plies, per side to move
    int longestLoss[2]{};
    uint64_t wins[2]{}, losses[2]{}, draws[2]{};
    double seconds = 0;
    uint64_t bytes = 0;
};

// Table byte of a value: a win in p plies mates in (p + 1) / 2 moves, a loss in p
// plies is mated in p / 2 moves.
int8_t byteOfWin(int plies) {
    const int moves = (plies + 1) / 2;
    return moves == 127 ? int8_t(-128) : int8_t(127 - moves);
}
int8_t byteOfLoss(int plies) {
    const int moves = plies / 2;
    return moves == 126 ? int8_t(-127) : int8_t(moves - 126);
}

int rankOf(int square) { return square >> 3; }
int fileOf(int square) { return square & 7; }

class Generator {
   public:
    explicit Generator(int table) : m_(materialOf(table)) {
        positions_ = uint64_t(1) << (6 * m_.count);
        withEnPassant_ = m_.hasPawns(0) && m_.hasPawns(1);
        nodes_ = positions_ * 2 * (withEnPassant_ ? 2 : 1);
    }
    // Solves the table and writes its two files; false (with a message) on a fault.
    bool run(const std::string& directory, TableStats& stats);

   private:
    uint32_t node(const int* squares, int side, bool ep) const {
        uint64_t position = 0;
        for (int i = 0; i < m_.count; ++i) position |= uint64_t(squares[i]) << (6 * i);
        return uint32_t(((ep ? positions_ : 0) + position) * 2 + side);
    }
    void decode(uint32_t id, int* squares, int& side, bool& ep) const {
        side = int(id & 1);
        uint64_t position = id >> 1;
        ep = position >= positions_;
        if (ep) position -= positions_;
        for (int i = 0; i < m_.count; ++i) squares[i] = int(position >> (6 * i)) & 63;
    }
    // The en passant target of a placement with side to move, 64 when it has none.
    int epTarget(const int* squares, int side) const {
        for (int i = 0; i < m_.count; ++i) {
            const int target = enPassantTarget(m_, squares, side, i);
            if (target != 64) return target;
        }
        return 64;
    }
    int manOn(const int* squares, int square, int colour) const {
        for (int i = 0; i < m_.count; ++i)
            if (squares[i] == square && m_.colour[i] == colour) return i;
        return -1;
    }

    void classify(uint32_t id);
    bool exitValue(const int* squares, int captured, int promotedMan, int promotedPiece, int mover,
                   int& value);
    void retract(uint32_t id, int level);
    void collect(const int* squares, int side);
    void reach(uint32_t predecessor, bool childLost, int level);
    bool write(const std::string& directory, TableStats& stats);

    Material m_;
    uint64_t positions_ = 0, nodes_ = 0;
    bool withEnPassant_ = false;
    bool fault_ = false;
    // One word per node, so that a predecessor's update touches one cache line.
    struct Node {
        uint8_t state, distance, counter, exitLoss;
    };
    std::vector<Node> nodeData_;
    std::vector<std::vector<uint32_t>> pending_;
    uint32_t predecessors_[256];
    int predecessorCount_ = 0;
};

// Value after a capture or a promotion, for the side that made it: +p a win in p
// plies, -p a loss in p plies, 0 a draw. False when no table answers.
bool Generator::exitValue(const int* squares, int captured, int promotedMan, int promotedPiece, int mover,
                          int& value) {
    egtb::ProbePosition child;
    child.menCount[0] = child.menCount[1] = 0;
    for (int i = 0; i < m_.count; ++i) {
        if (i == captured) continue;
        const int c = m_.colour[i];
        if (m_.piece[i] == 6) {
            child.king[c] = squares[i];
            continue;
        }
        const int at = child.menCount[c]++;
        child.square[c][at] = squares[i];
        child.piece[c][at] = i == promotedMan ? promotedPiece : m_.piece[i];
    }
    value = 0;
    if (child.menCount[0] + child.menCount[1] == 0) return true;  // bare kings
    const int score = egtb::probePosition(child, 1 - mover);
    if (score == board::NoTablebaseInfo) return false;
    // The score is the opponent's: mating in m moves (2m - 1 plies) means we lose
    // in 2m plies; being mated in m moves (2m plies) means we win in 2m + 1.
    if (score > 0)
        value = -(30002 - score);
    else if (score < 0)
        value = score + 30000 + 1;
    return true;
}

void Generator::classify(uint32_t id) {
    int sq[5], side;
    bool ep;
    decode(id, sq, side, ep);
    if (!isLegal(m_, sq, side)) {
        nodeData_[id].state = Illegal;
        return;
    }
    const int target = ep ? epTarget(sq, side) : 64;
    if (ep && target == 64) {
        nodeData_[id].state = Illegal;
        return;
    }
    uint64_t occ = 0, own = 0;
    for (int i = 0; i < m_.count; ++i) {
        occ |= bit(sq[i]);
        if (m_.colour[i] == side) own |= bit(sq[i]);
    }

    int inTable = 0, bestWin = INT_MAX, worstLoss = 0;
    bool cannotLose = false, anyMove = false;
    auto tryMove = [&](int man, int to, int captured, int promotion) {
        int child[5];
        std::memcpy(child, sq, sizeof child);
        child[man] = to;
        if (kingAttacked(m_, child, side, captured)) return;
        anyMove = true;
        if (captured < 0 && promotion == 0) {
            ++inTable;
            return;
        }
        int value;
        if (!exitValue(child, captured, promotion ? man : -1, promotion, side, value)) {
            if (!fault_)
                std::printf("no table answers after a move from %s\n", fenOf(m_, sq, side, target).c_str());
            fault_ = true;
            return;
        }
        if (value > 0)
            bestWin = std::min(bestWin, value);
        else if (value < 0)
            worstLoss = std::max(worstLoss, -value);
        else
            cannotLose = true;
    };

    for (int i = 0; i < m_.count; ++i) {
        if (m_.colour[i] != side) continue;
        const int from = sq[i];
        if (m_.piece[i] != 1) {
            for (uint64_t targets = pieceTargets(m_.piece[i], from, occ) & ~own; targets;
                 targets &= targets - 1) {
                const int t = __builtin_ctzll(targets);
                tryMove(i, t, manOn(sq, t, 1 - side), 0);
            }
            continue;
        }
        // Pawns: pushes (a double step from the home rank), captures, en passant,
        // and every promotion on the last rank.
        const int forward = side == 0 ? 8 : -8, lastRank = side == 0 ? 7 : 0;
        const int one = from + forward;
        if (!(occ & bit(one))) {
            if (rankOf(one) == lastRank) {
                for (int piece = 5; piece >= 2; --piece) tryMove(i, one, -1, piece);
            } else {
                tryMove(i, one, -1, 0);
                const int two = one + forward;
                if (rankOf(from) == (side == 0 ? 1 : 6) && !(occ & bit(two))) tryMove(i, two, -1, 0);
            }
        }
        for (int df = -1; df <= 1; df += 2) {
            if (fileOf(from) + df < 0 || fileOf(from) + df > 7) continue;
            const int t = one + df;
            const int victim = manOn(sq, t, 1 - side);
            if (victim >= 0) {
                if (rankOf(t) == lastRank)
                    for (int piece = 5; piece >= 2; --piece) tryMove(i, t, victim, piece);
                else
                    tryMove(i, t, victim, 0);
            } else if (t == target) {
                tryMove(i, t, manOn(sq, t - forward, 1 - side), 0);
            }
        }
    }

    nodeData_[id].counter = uint8_t(inTable);
    nodeData_[id].exitLoss = cannotLose || bestWin != INT_MAX ? CannotLose : uint8_t(worstLoss);
    if (!anyMove) {
        // Mated now, or stalemated (left undecided: a draw).
        nodeData_[id].exitLoss = CannotLose;
        if (kingAttacked(m_, sq, side)) pending_[0].push_back(id);
    } else if (bestWin != INT_MAX) {
        pending_[bestWin].push_back(id);
    } else if (inTable == 0 && !cannotLose) {
        pending_[worstLoss].push_back(id);
    }
}

// A predecessor learns the value of one of its children.
void Generator::reach(uint32_t p, bool childLost, int level) {
    Node& n = nodeData_[p];
    if (n.state != Undecided) return;
    if (childLost) {
        pending_[level + 1].push_back(p);
    } else if (n.counter == 0) {
        if (!fault_) std::printf("move count out of step at node %u\n", p);
        fault_ = true;
    } else if (--n.counter == 0 && n.exitLoss != CannotLose) {
        pending_[std::max(level + 1, int(n.exitLoss))].push_back(p);
    }
}

void Generator::collect(const int* squares, int side) {
    for (int ep = 0; ep < (withEnPassant_ ? 2 : 1); ++ep)
        predecessors_[predecessorCount_++] = node(squares, side, ep != 0);
}

// Takes back every move that could have led to node id, which was decided at level.
void Generator::retract(uint32_t id, int level) {
    int sq[5], side;
    bool ep;
    decode(id, sq, side, ep);
    const int mover = 1 - side;
    const bool lost = level % 2 == 0;
    predecessorCount_ = 0;
    uint64_t occ = 0;
    for (int i = 0; i < m_.count; ++i) occ |= bit(sq[i]);

    if (ep) {
        // Right after a double step: that step is the only move that leads here.
        const int target = epTarget(sq, side);
        const int pawnSquare = side == 1 ? target + 8 : target - 8;
        const int origin = side == 1 ? target - 8 : target + 8;
        const int man = manOn(sq, pawnSquare, mover);
        sq[man] = origin;
        collect(sq, mover);
    }
    for (int i = 0; i < m_.count && !ep; ++i) {
        if (m_.colour[i] != mover) continue;
        const int to = sq[i];
        if (m_.piece[i] != 1) {
            for (uint64_t sources = pieceTargets(m_.piece[i], to, occ) & ~occ; sources;
                 sources &= sources - 1) {
                sq[i] = __builtin_ctzll(sources);
                collect(sq, mover);
            }
            sq[i] = to;
            continue;
        }
        const int back = mover == 0 ? -8 : 8;
        const int one = to + back;
        if (one < 8 || one > 55 || (occ & bit(one))) continue;
        sq[i] = one;
        collect(sq, mover);
        // A double step that left an en passant capture led to the en passant node.
        const int two = one + back;
        sq[i] = to;
        if (rankOf(to) == (mover == 0 ? 3 : 4) && !(occ & bit(two)) &&
            enPassantTarget(m_, sq, side, i) == 64) {
            sq[i] = two;
            collect(sq, mover);
        }
        sq[i] = to;
    }
    // The predecessors lie far apart in memory: ask for all of them before using any.
    for (int i = 0; i < predecessorCount_; ++i) __builtin_prefetch(&nodeData_[predecessors_[i]]);
    for (int i = 0; i < predecessorCount_; ++i) reach(predecessors_[i], lost, level);
}

bool Generator::write(const std::string& directory, TableStats& stats) {
    const int n = m_.table;
    egtb::TableDescriptor& d = egtb::Tables[n];
    for (int s = 0; s < 2; ++s) {
        const uint32_t size = egtb::TableList[n].size[s];
        std::vector<int8_t> bytes(size, 127);
        std::vector<bool> written(size, false);
        uint64_t conflicts = 0;
        int sq[5], side;
        bool ep;
        for (uint32_t id = uint32_t(s); id < nodes_; id += 2) {
            if (nodeData_[id].state == Illegal) continue;
            decode(id, sq, side, ep);
            int white[4], black[4];
            for (int i = 0; i < m_.count; ++i) {
                if (m_.colour[i] == 0)
                    white[i] = sq[i];
                else
                    black[i - m_.blackKing()] = sq[i];
            }
            const int target = ep ? epTarget(sq, side) : 64;
            const uint32_t index = d.indexFunction[s](white, black, target, 0);
            int8_t value = 0;
            if (nodeData_[id].state == Decided) {
                const int plies = nodeData_[id].distance;
                value = plies % 2 ? byteOfWin(plies) : byteOfLoss(plies);
                if (plies % 2) {
                    ++stats.wins[s];
                    stats.longestWin[s] = std::max(stats.longestWin[s], plies);
                } else {
                    ++stats.losses[s];
                    stats.longestLoss[s] = std::max(stats.longestLoss[s], plies);
                }
            } else {
                ++stats.draws[s];
            }
            if (index >= size) {
                std::printf("%s: index %u of %s lies beyond the size %u\n", d.name, index,
                            fenOf(m_, sq, side, target).c_str(), size);
                return false;
            }
            if (written[index] && bytes[index] != value && conflicts++ < 5)
                std::printf("%s: index %u holds two values (%s)\n", d.name, index,
                            fenOf(m_, sq, side, target).c_str());
            written[index] = true;
            bytes[index] = value;
        }
        if (conflicts) return false;
        const std::string path = directory + "/" + d.name + (s ? ".nbb" : ".nbw");
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file || std::fwrite(bytes.data(), 1, size, file) != size || std::fclose(file) != 0) {
            std::printf("cannot write %s\n", path.c_str());
            return false;
        }
        stats.bytes += size;
    }
    return true;
}

bool Generator::run(const std::string& directory, TableStats& stats) {
    const auto start = std::chrono::steady_clock::now();
    nodeData_.assign(nodes_, Node{Undecided, 0, 0, 0});
    pending_.assign(Levels + 1, {});

    for (uint64_t id = 0; id < nodes_ && !fault_; ++id) classify(uint32_t(id));
    for (int level = 0; level < Levels && !fault_; ++level) {
        std::vector<uint32_t> now;
        now.swap(pending_[level]);
        size_t decided = 0;
        for (uint32_t id : now)
            if (nodeData_[id].state == Undecided) {
                nodeData_[id].state = Decided;
                nodeData_[id].distance = uint8_t(level);
                now[decided++] = id;
            }
        now.resize(decided);
        for (uint32_t id : now) retract(id, level);
    }
    if (fault_) return false;
    const bool ok = write(directory, stats);
    stats.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    nodeData_ = {};
    return ok;
}

// ---- Which tables, in which order -----------------------------------------------

// The table of a material given as the men besides the kings, either way round.
int tableOfMen(std::vector<int> white, std::vector<int> black) {
    auto name = [](std::vector<int> a, std::vector<int> b) {
        std::sort(a.rbegin(), a.rend());
        std::sort(b.rbegin(), b.rend());
        std::string text = "k";
        for (int p : a) text += " pnbrq"[p];
        text += "k";
        for (int p : b) text += " pnbrq"[p];
        return text;
    };
    if (int n = tableNumber(name(white, black))) return n;
    return tableNumber(name(black, white));
}

// Tables one capture or one promotion away.
std::vector<int> successors(int table) {
    const Material m = materialOf(table);
    std::vector<int> men[2];
    for (int i = 0; i < m.count; ++i)
        if (m.piece[i] != 6) men[m.colour[i]].push_back(m.piece[i]);
    std::vector<int> out;
    for (int c = 0; c < 2; ++c)
        for (size_t i = 0; i < men[c].size(); ++i) {
            std::vector<int> changed[2] = {men[0], men[1]};
            changed[c].erase(changed[c].begin() + long(i));
            if (int n = tableOfMen(changed[0], changed[1])) out.push_back(n);
            if (men[c][i] != 1) continue;
            for (int piece = 2; piece <= 5; ++piece) {
                std::vector<int> promoted[2] = {men[0], men[1]};
                promoted[c][i] = piece;
                if (int n = tableOfMen(promoted[0], promoted[1])) out.push_back(n);
            }
        }
    return out;
}

int pawnCount(int table) {
    int pawns = 0;
    for (const char* c = egtb::TableList[table].name; *c; ++c) pawns += *c == 'p';
    return pawns;
}

}  // namespace

int runGenerate(int argc, char** argv) {
    std::string directory;
    std::vector<int> requested;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "-d") == 0 && i + 1 < argc) {
            directory = argv[++i];
            continue;
        }
        const int n = tableNumber(argv[i]);
        if (n == 0 || n > 35) {
            std::fprintf(stderr, "%s: not a three- or four-man table\n", argv[i]);
            return 2;
        }
        requested.push_back(n);
    }
    if (directory.empty()) {
        std::fprintf(stderr, "usage: talvo-tools egtb generate [TABLE...] -d DIR\n");
        return 2;
    }
    if (requested.empty())
        for (int n = 1; n <= 35; ++n) requested.push_back(n);
    std::error_code error;
    std::filesystem::create_directories(directory, error);

    // Tables already in the directory serve as they are; the named ones are rebuilt.
    initBoardTables();
    egtb::initTablebases(directory.c_str(), GeneratorCacheMegabytes);
    std::vector<bool> wanted(egtb::TableCount + 1, false);
    std::vector<int> work = requested;
    for (int n : requested) wanted[n] = true;
    while (!work.empty()) {
        const int n = work.back();
        work.pop_back();
        for (int next : successors(n)) {
            const bool present = egtb::Tables[next].filePath[0] && egtb::Tables[next].filePath[1];
            if (!wanted[next] && !present) {
                wanted[next] = true;
                work.push_back(next);
            }
        }
    }
    std::vector<int> order;
    for (int n = 1; n <= 35; ++n)
        if (wanted[n]) order.push_back(n);
    std::stable_sort(order.begin(), order.end(), [](int a, int b) {
        const int menA = int(std::strlen(egtb::TableList[a].name)),
                  menB = int(std::strlen(egtb::TableList[b].name));
        return menA != menB ? menA < menB : pawnCount(a) < pawnCount(b);
    });

    double seconds = 0;
    uint64_t bytes = 0;
    for (int n : order) {
        TableStats stats;
        Generator generator(n);
        if (!generator.run(directory, stats)) {
            std::printf("%s: generation failed\n", egtb::TableList[n].name);
            return 1;
        }
        for (int s = 0; s < 2; ++s) egtb::registerTable(directory.c_str(), n, s);
        const int men = int(std::strlen(egtb::TableList[n].name));
        egtb::TablebaseSet.pieceCount = std::max(egtb::TablebaseSet.pieceCount, men);
        egtb::setCacheSize(GeneratorCacheMegabytes);
        seconds += stats.seconds;
        bytes += stats.bytes;
        std::printf(
            "%-6s longest mate %3d (white to move) %3d (black to move); longest loss %3d / %3d;"
            " %.1f s, %llu bytes\n",
            egtb::TableList[n].name, (stats.longestWin[0] + 1) / 2, (stats.longestWin[1] + 1) / 2,
            stats.longestLoss[0] / 2, stats.longestLoss[1] / 2, stats.seconds,
            (unsigned long long)stats.bytes);
        std::fflush(stdout);
    }
    std::printf("generated %zu tables in %.1f s, %llu bytes\n", order.size(), seconds,
                (unsigned long long)bytes);
    return 0;
}

}  // namespace egtb_tools
