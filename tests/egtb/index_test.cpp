// Position indices: the checker walks every legal position of the small tables; the
// cases below pin the orderings that a walk cannot tell apart from another layout.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "egtb/indexing.h"
#include "egtb/registry.h"
#include "support/table_files.h"

using testing_support::runTools;
using testing_support::squareOf;

namespace {

// Every line of the checker's report: ok, and the largest legal index is the last
// one the file holds.
void expectAllSidesFull(const std::string& report, int sides) {
    std::istringstream lines(report);
    std::string line;
    int seen = 0;
    while (std::getline(lines, line)) {
        unsigned long long positions = 0, largest = 0, size = 0;
        char name[8], side[8];
        if (std::sscanf(line.c_str(), "%7s %7s to move %llu positions largest index %llu size %llu", name,
                        side, &positions, &largest, &size) != 5)
            continue;
        ++seen;
        EXPECT_NE(line.find(" ok"), std::string::npos) << line;
        EXPECT_EQ(largest + 1, size) << line;
    }
    EXPECT_EQ(seen, sides);
}

}  // namespace

TEST(Indexing, SmallTablesPassTheExhaustiveCheck) {
    std::string report;
    EXPECT_EQ(runTools("egtb index-check kpk knk kbk krk kqk kpkp", &report), 0) << report;
    expectAllSidesFull(report, 12);
}

TEST(Indexing, PairOrderEnPassantSectionAndExchangedColours) {
    egtb::buildIndexTables();
    EXPECT_EQ(egtb::kkPairIndex[squareOf("a1")][squareOf("c1")], 0);
    EXPECT_EQ(egtb::kkPairIndex[squareOf("a1")][squareOf("d1")], 1);
    EXPECT_EQ(egtb::kkPairIndex[squareOf("b1")][squareOf("d1")], 33);
    EXPECT_EQ(egtb::kkPairIndex[squareOf("a1")][squareOf("b2")], egtb::NoPair);
    EXPECT_EQ(egtb::kpPairIndex[squareOf("b1")][squareOf("d1")], 60);
    EXPECT_EQ(egtb::kpPairIndex[squareOf("e1")][squareOf("a8")], egtb::NoPair);

    // kqk, white king a1, black king c1: the queen on b3 counts the squares before it
    // that a queen may stand on, less a1, which the white king holds.
    const int white[2] = {squareOf("a1"), squareOf("b3")}, black[1] = {squareOf("c1")};
    EXPECT_EQ(egtb::indexFunctionFor(5, 0)(white, black, 64, 0),
              egtb::IndexTables.enumeration[egtb::QueenKind][squareOf("c1")][squareOf("b3")] - 1u);

    // kpkp: after black's d7-d5 beside white's e5, the capture has its own section.
    const int wk[2] = {squareOf("e1"), squareOf("e5")}, bk[2] = {squareOf("e8"), squareOf("d5")};
    const uint32_t plain = egtb::indexFunctionFor(6, 0)(wk, bk, 64, 0);
    const uint32_t capture = egtb::indexFunctionFor(6, 0)(wk, bk, squareOf("d6"), 0);
    EXPECT_LT(plain, 3838208u);
    EXPECT_GE(capture, 3838208u);
    EXPECT_LT(capture, egtb::TableList[6].size[0]);
    // A target without a pawn beside the one that stepped is the plain position.
    const int lone[2] = {squareOf("e1"), squareOf("a5")};
    EXPECT_EQ(egtb::indexFunctionFor(6, 0)(lone, bk, squareOf("d6"), 0),
              egtb::indexFunctionFor(6, 0)(lone, bk, 64, 0));

    // With the colours exchanged a pawn table is read upside down.
    const int w2[2] = {squareOf("e8"), squareOf("e4")}, b2[2] = {squareOf("e1"), squareOf("d4")};
    EXPECT_EQ(egtb::indexFunctionFor(6, 0)(w2, b2, squareOf("d3"), 1), capture);
}
