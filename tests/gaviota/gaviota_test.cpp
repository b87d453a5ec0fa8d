// The three-man tables that talvo-tools generates, read through the engine's probe,
// against the Gaviota tables read through their own prober: a different format,
// generated and read by a program that shares nothing with ours. Every placement of
// the men counts, illegal ones included (Gaviota calls them forbidden, the engine
// knows nothing about them).
#include <gtb-probe.h>
#include <gtest/gtest.h>

#include <string>

#include "egtb/probe.h"
#include "egtb/registry.h"
#include "support/table_files.h"
#include "support/temp_dir.h"

namespace {

std::string inMoves(int score) {
    if (score == 99999) return "unknown";
    if (score == 0) return "draw";
    return score > 0 ? "mate " + std::to_string((30002 - score) / 2)
                     : "mated " + std::to_string((score + 30000) / 2);
}

// Gaviota counts plies to mate for the side that mates; the engine counts moves.
std::string gaviotaInMoves(int side, int king, int other, int man, int piece) {
    unsigned white[3] = {unsigned(king), unsigned(man), tb_NOSQUARE},
             black[2] = {unsigned(other), tb_NOSQUARE};
    unsigned char whitePieces[3] = {tb_KING, (unsigned char)piece, tb_NOPIECE},
                  blackPieces[2] = {tb_KING, tb_NOPIECE};
    unsigned info = 0, plies = 0;
    if (!tb_probe_hard(unsigned(side), tb_NOSQUARE, tb_NOCASTLE, white, black, whitePieces, blackPieces,
                       &info, &plies))
        return "unknown";
    if (info == tb_DRAW) return "draw";
    if (info != tb_WMATE && info != tb_BMATE) return "unknown";
    const bool moverMates = (info == tb_WMATE) == (side == 0);
    return moverMates ? "mate " + std::to_string((plies + 1) / 2) : "mated " + std::to_string(plies / 2);
}

}  // namespace

TEST(Gaviota, EveryThreeManPositionHasTheSameDistanceToMate) {
    testing_support::TempDir dir;
    std::string report;
    ASSERT_EQ(testing_support::runTools("egtb generate kqk krk kbk knk kpk -d " + dir.path(), &report), 0)
        << report;
    egtb::TablebaseSet.release();
    egtb::initTablebases(dir.path().c_str(), 16);
    const char** paths = tbpaths_add(tbpaths_init(), GAVIOTA_TABLES);
    tb_init(0, tb_CP4, paths);
    tbcache_init(16 << 20, 0);
    ASSERT_TRUE(tb_availability() & 2) << "the Gaviota three-man tables are not all there";

    // kpk, knk, kbk, krk, kqk: the piece codes of the engine and of Gaviota agree.
    for (int piece = 1; piece <= 5; ++piece) {
        int differing = 0;
        for (int king = 0; king < 64; ++king)
            for (int other = 0; other < 64; ++other)
                for (int man = piece == 1 ? 8 : 0; man < (piece == 1 ? 56 : 64); ++man)
                    for (int side = 0; side < 2 && king != other && man != king && man != other; ++side) {
                        egtb::ProbePosition p;
                        p.king[0] = king;
                        p.king[1] = other;
                        p.menCount[0] = 1;
                        p.menCount[1] = 0;
                        p.square[0][0] = man;
                        p.piece[0][0] = piece;
                        const std::string ours = inMoves(egtb::probePosition(p, side));
                        const std::string theirs = gaviotaInMoves(side, king, other, man, piece);
                        if (ours != theirs && differing++ < 5)
                            ADD_FAILURE()
                                << "piece " << piece << " kings " << king << " " << other << " man " << man
                                << " side " << side << ": engine " << ours << ", Gaviota " << theirs;
                    }
        EXPECT_EQ(differing, 0) << "piece " << piece;
    }
    tbcache_done();
    tb_done();
    tbpaths_done(paths);
    egtb::TablebaseSet.release();
}
