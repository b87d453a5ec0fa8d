#include "board/zobrist.h"

namespace board {

constinit HashKey pieceKeys[16][64]{};
constinit HashKey castleKeys[16]{};
constinit HashKey epKeys[64]{};
constinit uint32_t pawnKeys[2][64]{};

namespace {

constexpr uint32_t SeedTable[55] = {
    1410651636, 3012776752, 3497475623, 2892145026, 1571949714, 3253082284, 3489895018, 387949491,
    2597396737, 1981903553, 3160251843, 129444464,  1851443344, 4156445905, 224604922,  1455067070,
    3953493484, 1460937157, 2528362617, 317430674,  3229354360, 117491133,  832845075,  1961600170,
    1321557429, 747750121,  545747446,  810476036,  503334515,  4088144633, 2824216555, 3738252341,
    3493754131, 3672533954, 29494241,   1180928407, 4213624418, 33062851,   3221315737, 1145213552,
    2957984897, 4078668503, 2262661702, 65478801,   2527208841, 1960622036, 315685891,  1196037864,
    804614524,  1421733266, 2017105031, 3882325900, 810735053,  384606609,  2393861397};

// Generator state: lags 24 and 55.
struct KeyGeneratorState {
    uint32_t y[55];
    int j = -1;
    int k = -1;
    bool tablesBuilt = false;
};
constinit KeyGeneratorState KeyGenerator{};

}  // namespace

uint32_t nextRandom() {
    KeyGeneratorState& g = KeyGenerator;
    if (g.j < 0) {
        for (int i = 0; i < 55; ++i) g.y[i] = SeedTable[i];
        g.j = 23;
        g.k = 54;
    }
    g.y[g.k] += g.y[g.j];
    uint32_t result = g.y[g.k];
    if (--g.j < 0) g.j = 54;
    if (--g.k < 0) g.k = 54;
    return result;
}

void initKeyTables() {
    if (KeyGenerator.tablesBuilt) return;
    KeyGenerator.tablesBuilt = true;

    for (int entry = 0; entry < 16 * 64; ++entry) {
        HashKey& key = pieceKeys[entry / 64][entry % 64];
        key.low = nextRandom();
        key.high = nextRandom();
    }
    // One pair per right; a castling set's key holds the pairs of the rights it lacks.
    HashKey rightKeys[4];
    for (HashKey& key : rightKeys) {
        key.low = nextRandom();
        key.high = nextRandom();
    }
    for (int set = 0; set < 16; ++set) {
        HashKey key{};
        for (int right = 0; right < 4; ++right)
            if (!(set & (1 << right))) key ^= rightKeys[right];
        castleKeys[set] = key;
    }
    for (HashKey& key : epKeys) {
        key.low = nextRandom();
        key.high = nextRandom();
    }
    for (int square = 0; square < 64; ++square) {
        pawnKeys[White][square] = nextRandom();
        pawnKeys[Black][square] = nextRandom();
    }
}

HashKey computeHashKey(const Position& pos, int sideToMove) {
    HashKey key{};
    for (int square = 0; square < 64; ++square) {
        const SquareContent& c = pos.squares[square];
        if (c.colour != NoColour) key ^= pieceKeys[c.piece + 8 * c.colour][square];
    }
    key ^= castleKeys[pos.castleRights & 15];
    if (pos.epSquare != 0) key ^= epKeys[pos.epSquare];
    key.low = (key.low & ~1u) | uint32_t(sideToMove & 1);
    return key;
}

}  // namespace board
