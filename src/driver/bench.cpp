#include "driver/bench.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "base/platform.h"
#include "board/position_record.h"
#include "search/root_search.h"
#include "search/threads.h"
#include "search/transposition.h"

using search::TransTable;

namespace driver {

namespace {

// The table of a start without Talvo.ini, whatever the settings say: the signature
// must not depend on them.
constexpr int BenchTableKilobytes = 4096;

// Openings, middlegames, endgames and mates.
constexpr const char* BenchPositions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
    "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -",
    "rnbqkb1r/pp2pppp/3p1n2/8/3NP3/8/PPP2PPP/RNBQKB1R w KQkq -",
    "rnbqk2r/ppp1bppp/4pn2/3p2B1/2PP4/2N5/PP2PPPP/R2QKBNR w KQkq -",
    "r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2NP1N2/PPP2PPP/R1BQ1RK1 w - -",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P3/P1NP1N2/1PP1QPPP/R4RK1 w - -",
    "r1b2rk1/2q1bppp/p2ppn2/1p6/3BPP2/2N2B2/PPPQ2PP/R4RK1 b - -",
    "2rq1rk1/pb1nbppp/1p2pn2/2pp4/2PP4/1PN1PN2/PB2BPPP/2RQ1RK1 w - -",
    "r2q1rk1/1b2bppp/p2p1n2/1p2p3/3NP3/1BN1B3/PPP2PPP/R2Q1RK1 w - -",
    "3r1rk1/p4ppp/1pq1p3/2p1P3/2P2Q2/1P4P1/P4P1P/3RR1K1 w - -",
    "r1bqr1k1/pp3pbp/2pp1np1/4n3/2PNP3/2N1BP2/PP2B1PP/R2QK2R w KQ -",
    "2kr3r/ppp2ppp/2n1b3/2b5/4P3/2N2N2/PPP2PPP/R1B1KB1R w KQ -",
    "r1b1k2r/ppppnppp/2n2q2/2b5/3NP3/2P1B3/PP3PPP/RN1QKB1R w KQkq -",
    "r3r1k1/pp3pbp/1qp3p1/2B5/2BP2b1/Q1n2N2/P4PPP/3R1K1R b - -",
    "4rrk1/pp1n3p/3q2pQ/2p1pb2/2PP4/2P3N1/P2B2PP/4RRK1 b - -",
    "8/8/1p1k4/p1p1p3/P1P1P3/1P1K4/8/8 w - -",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
    "8/5pk1/6p1/3P4/2K5/6P1/8/8 w - -",
    "4k3/8/8/8/8/8/4P3/4K3 w - -",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - -",
    "8/8/4kpp1/3p1b2/p6P/2B5/6P1/6K1 b - -",
    "2r3k1/5pp1/p6p/1p1R4/1P6/P5P1/5PKP/8 w - -",
    "8/3k4/8/8/3KR3/8/8/8 w - -",
    "8/8/8/4k3/8/8/2B1K3/1N6 w - -",
    "r1bq2rk/pp3pbp/2p1p1pQ/7P/3P4/2PB1N2/PP3PP1/R3K2R w KQ -",
    "6k1/5ppp/8/8/8/8/8/R5K1 w - -",
    "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - -",
    "r1b1kb1r/pppp1ppp/5q2/4n3/3KP3/2N3PN/PPP4P/R1BQ1B1R b kq -",
    "1k1r4/pp1b1R2/3q2pp/4p3/2B5/4Q3/PPP2B2/2K5 b - -",
};

}  // namespace

int runBench(int depth, int threads) {
    if (depth < 1 || depth > MaxBenchDepth) {
        std::fprintf(stderr, "bench depth must be 1..%d\n", MaxBenchDepth);
        return 2;
    }
    if (threads < 1 || threads > search::MaxThreads) {
        std::fprintf(stderr, "bench threads must be 1..%d\n", search::MaxThreads);
        return 2;
    }
    search::SearchThreads.resize(threads);
    TransTable.allocate(BenchTableKilobytes);
    uint64_t totalNodes = 0;
    uint32_t totalMs = 0;
    int index = 0;
    for (const char* fen : BenchPositions) {
        ++index;
        board::PositionRecord* record = board::parseFen(fen);
        if (!record) continue;
        TransTable.clear();
        const uint32_t start = platform::tickMs();
        const search::SearchResult r = search::searchPosition(*record, {depth});
        const uint32_t ms = platform::tickMs() - start;
        totalNodes += r.nodes;
        totalMs += ms;
        std::printf("%2d %-72s %-6s %6d %12" PRIu64 " nodes %6u ms %9" PRIu64 " nps\n", index, fen,
                    r.bestMove ? board::moveToText(r.bestMove) : "-", r.score, r.nodes, ms,
                    ms ? r.nodes * 1000 / ms : 0);
    }
    std::printf("Nodes searched: %" PRIu64 "\n", totalNodes);
    std::printf("%" PRIu64 " nodes %" PRIu64 " nps\n", totalNodes, totalMs ? totalNodes * 1000 / totalMs : 0);
    return 0;
}

int benchCommand(int argc, char** argv) {
    if (argc < 1) return runBench(DefaultBenchDepth);
    long values[2] = {DefaultBenchDepth, 1};
    const long most[2] = {MaxBenchDepth, search::MaxThreads};
    for (int i = 0; i < argc && i < 2; ++i) {
        char* end = nullptr;
        values[i] = std::strtol(argv[i], &end, 10);
        if (end == argv[i] || *end != 0 || values[i] < 1 || values[i] > most[i]) {
            std::fprintf(stderr, "usage: bench [depth 1..%d [threads 1..%d]]\n", MaxBenchDepth, search::MaxThreads);
            return 2;
        }
    }
    return runBench(int(values[0]), int(values[1]));
}

}  // namespace driver
