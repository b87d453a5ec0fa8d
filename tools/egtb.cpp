// talvo-tools egtb: the endgame tablebase utilities.
//   index-check [TABLE...] [-n SAMPLES]  every table side's index against its size and symmetries
//   generate [TABLE...] -d DIR           three- and four-man tables as .nbw/.nbb files
//   probe DIR "<FEN>"                    the value the engine reads for a position
//   speed DIR [TABLE]                    probes per second on cache hits
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "board/board.h"
#include "board/position_record.h"
#include "board/types.h"
#include "egtb/probe.h"
#include "egtb/registry.h"
#include "egtb_board.h"
#include "eval/piece_square.h"

#include "tool_arguments.h"

namespace egtb_tools {
int runIndexCheck(int argc, char** argv);
int runGenerate(int argc, char** argv);
int runCompress(int argc, char** argv);
int runDecodeSpeed(int argc, char** argv);
}  // namespace egtb_tools

namespace {

using board::Board;

// The engine's reading of a position, in moves: mate N, mated N, draw or unknown.
int runProbe(int argc, char** argv) {
    int status = 0;
    board::PositionRecord* record =
        tool_arguments::positionArgument(argc, argv, 1, "talvo-tools egtb probe DIR \"<FEN>\"", &status);
    if (!record) return status;
    egtb::initTablebases(argv[0], 0);
    Board.loadRecord(*record);
    const int side = Board.sideToMove;
    eval::prepareRoot(board::Board, side);
    const int score = egtb::probeTablebase(board::Board, side);
    std::printf("position %s\n", board::formatFen(*record));
    std::printf("tablebase men %d, score %d\n", egtb::TablebaseSet.pieceCount, score);
    if (score == board::NoTablebaseInfo)
        std::printf("unknown\n");
    else if (score == 0)
        std::printf("draw\n");
    else if (score > 0)
        std::printf("mate %d\n", (30002 - score) / 2);
    else
        std::printf("mated %d\n", (score + 30000) / 2);
    return 0;
}

// Probes a fixed set of legal positions of one table, once to fill the cache and
// then many times over: the rate of probes that hit the cache.
int runSpeed(int argc, char** argv) {
    if (argc < 1) {
        std::fprintf(stderr, "usage: talvo-tools egtb speed DIR [TABLE]\n");
        return 2;
    }
    const int table = egtb_tools::tableNumber(argc >= 2 ? argv[1] : "kqkr");
    if (table == 0) {
        std::fprintf(stderr, "not a table\n");
        return 2;
    }
    egtb_tools::initBoardTables();
    egtb::initTablebases(argv[0], 64);
    const egtb_tools::Material m = egtb_tools::materialOf(table);
    std::vector<egtb::ProbePosition> positions;
    std::vector<int> sides;
    uint64_t state = 88172645463325252ull;
    while (positions.size() < 100000) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        int sq[5];
        for (int i = 0; i < m.count; ++i) sq[i] = int(state >> (6 * i)) & 63;
        const int side = int(state >> 40) & 1;
        if (!egtb_tools::isLegal(m, sq, side)) continue;
        egtb::ProbePosition p;
        p.menCount[0] = p.menCount[1] = 0;
        for (int i = 0; i < m.count; ++i) {
            const int c = m.colour[i];
            if (m.piece[i] == 6) {
                p.king[c] = sq[i];
                continue;
            }
            p.square[c][p.menCount[c]] = sq[i];
            p.piece[c][p.menCount[c]++] = m.piece[i];
        }
        positions.push_back(p);
        sides.push_back(side);
    }
    long long known = 0;
    for (size_t i = 0; i < positions.size(); ++i)
        known += egtb::probePosition(positions[i], sides[i]) != 99999;
    if (known == 0) {
        std::printf("%s is not registered in %s\n", egtb::TableList[table].name, argv[0]);
        return 1;
    }
    const int rounds = 20;
    long long sum = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < rounds; ++r)
        for (size_t i = 0; i < positions.size(); ++i) sum += egtb::probePosition(positions[i], sides[i]);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double probes = double(rounds) * double(positions.size());
    std::printf("%s: %.0f probes in %.3f s: %.0f probes per second (checksum %lld)\n",
                egtb::TableList[table].name, probes, seconds, probes / seconds, sum);
    return 0;
}

}  // namespace

int runEgtb(int argc, char** argv) {
    if (argc >= 1) {
        if (std::strcmp(argv[0], "index-check") == 0) return egtb_tools::runIndexCheck(argc - 1, argv + 1);
        if (std::strcmp(argv[0], "generate") == 0) return egtb_tools::runGenerate(argc - 1, argv + 1);
        if (std::strcmp(argv[0], "probe") == 0) return runProbe(argc - 1, argv + 1);
        if (std::strcmp(argv[0], "speed") == 0) return runSpeed(argc - 1, argv + 1);
        if (std::strcmp(argv[0], "compress") == 0) return egtb_tools::runCompress(argc - 1, argv + 1);
        if (std::strcmp(argv[0], "decode-speed") == 0) return egtb_tools::runDecodeSpeed(argc - 1, argv + 1);
    }
    std::fprintf(stderr,
                 "usage: talvo-tools egtb index-check [TABLE...] [-n SAMPLES]\n"
                 "       talvo-tools egtb generate [TABLE...] -d DIR\n"
                 "       talvo-tools egtb probe DIR \"<FEN>\"\n"
                 "       talvo-tools egtb speed DIR [TABLE]\n"
                 "       talvo-tools egtb compress FILE...      (writes FILE.emd)\n"
                 "       talvo-tools egtb decode-speed FILE.emd...\n");
    return 2;
}
