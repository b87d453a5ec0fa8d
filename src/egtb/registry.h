// Tablebase registry: the 110 Nalimov tables the engine can use, their files in the
// PATH_TB directories, and the material signature that leads a position to its table.
//
// A table is one material balance seen from its stronger side ("white" in the name,
// pieces strongest first: kqrkp is king, queen and rook against king and pawn). Each
// table has two files, one per side to move, holding one byte per position index
// (see indexing.h). A file is registered when it has exactly the table's size; the
// first directory of the list that holds it wins. The material signature maps the
// ten piece counts of a position to +n (table n as it stands) or -n (table n with
// the colours exchanged). Anything wrong with a file that exists ends the program
// with a "***" line and status 1; a file found nowhere just leaves its table unused.
#pragma once
#include <array>
#include <cstdint>
#include <cstdio>

namespace egtb {

constexpr int TableCount = 110;  // numbers 1..5 three men, 6..35 four, 36..110 five

// Name and positions per side to move (white, black) of every table; entry 0 is the
// placeholder "kk", never registered.
struct TableInfo {
    const char* name;
    uint32_t size[2];
};
inline constexpr TableInfo TableList[TableCount + 1] = {
    {"kk", {0, 0}},
    {"kpk", {81664, 84012}},
    {"knk", {26282, 28644}},
    {"kbk", {27243, 28644}},
    {"krk", {27030, 28644}},
    {"kqk", {25629, 28644}},
    {"kpkp", {3863492, 3863492}},
    {"knkp", {4931904, 4981504}},
    {"knkn", {1603202, 1603202}},
    {"kbkp", {5112000, 4981504}},
    {"kbkn", {1661823, 1603202}},
    {"kbkb", {1661823, 1661823}},
    {"krkp", {5072736, 4981504}},
    {"krkn", {1649196, 1603202}},
    {"krkb", {1649196, 1661823}},
    {"krkr", {1649196, 1649196}},
    {"kqkp", {4810080, 4981504}},
    {"kqkn", {1563735, 1603202}},
    {"kqkb", {1563735, 1661823}},
    {"kqkr", {1563735, 1649196}},
    {"kqkq", {1563735, 1563735}},
    {"kppk", {1806671, 1912372}},
    {"knpk", {4648581, 5124732}},
    {"knnk", {735304, 873642}},
    {"kbpk", {4817128, 5124732}},
    {"kbnk", {1550620, 1747284}},
    {"kbbk", {789885, 873642}},
    {"krpk", {4779530, 5124732}},
    {"krnk", {1538479, 1747284}},
    {"krbk", {1594560, 1747284}},
    {"krrk", {777300, 873642}},
    {"kqpk", {4533490, 5124732}},
    {"kqnk", {1459616, 1747284}},
    {"kqbk", {1512507, 1747284}},
    {"kqrk", {1500276, 1747284}},
    {"kqqk", {698739, 873642}},
    {"kppkp", {84219361, 89391280}},
    {"kppkn", {108400260, 115899744}},
    {"kppkb", {108400260, 120132000}},
    {"kppkr", {108400260, 119209296}},
    {"kppkq", {108400260, 113036880}},
    {"knpkp", {219921779, 231758952}},
    {"knpkn", {278914860, 295914240}},
    {"knpkb", {278914860, 306720000}},
    {"knpkr", {278914860, 304369920}},
    {"knpkq", {278914860, 288610560}},
    {"knnkp", {137991648, 149445120}},
    {"knnkn", {44118240, 48096060}},
    {"knnkb", {44118240, 49854690}},
    {"knnkr", {44118240, 49475880}},
    {"knnkq", {44118240, 46912050}},
    {"kbpkp", {227896016, 231758952}},
    {"kbpkn", {289027680, 295914240}},
    {"kbpkb", {289027680, 306720000}},
    {"kbpkr", {289027680, 304369920}},
    {"kbpkq", {289027680, 288610560}},
    {"kbnkp", {290989584, 298890240}},
    {"kbnkn", {93037200, 96192120}},
    {"kbnkb", {93037200, 99709380}},
    {"kbnkr", {93037200, 98951760}},
    {"kbnkq", {93037200, 93824100}},
    {"kbbkp", {148223520, 149445120}},
    {"kbbkn", {47393100, 48096060}},
    {"kbbkb", {47393100, 49854690}},
    {"kbbkr", {47393100, 49475880}},
    {"kbbkq", {47393100, 46912050}},
    {"krpkp", {226121876, 231758952}},
    {"krpkn", {286777440, 295914240}},
    {"krpkb", {286777440, 306720000}},
    {"krpkr", {286777440, 304369920}},
    {"krpkq", {286777440, 288610560}},
    {"krnkp", {288692928, 298890240}},
    {"krnkn", {92308740, 96192120}},
    {"krnkb", {92308740, 99709380}},
    {"krnkr", {92308740, 98951760}},
    {"krnkq", {92308740, 93824100}},
    {"krbkp", {299203200, 298890240}},
    {"krbkn", {95673600, 96192120}},
    {"krbkb", {95673600, 99709380}},
    {"krbkr", {95673600, 98951760}},
    {"krbkq", {95673600, 93824100}},
    {"krrkp", {145901232, 149445120}},
    {"krrkn", {46658340, 48096060}},
    {"krrkb", {46658340, 49854690}},
    {"krrkr", {46658340, 49475880}},
    {"krrkq", {46658340, 46912050}},
    {"kqpkp", {214481388, 231758952}},
    {"kqpkn", {272015040, 295914240}},
    {"kqpkb", {272015040, 306720000}},
    {"kqpkr", {272015040, 304369920}},
    {"kqpkq", {272015040, 288610560}},
    {"kqnkp", {273904512, 298890240}},
    {"kqnkn", {87576960, 96192120}},
    {"kqnkb", {87576960, 99709380}},
    {"kqnkr", {87576960, 98951760}},
    {"kqnkq", {87576960, 93824100}},
    {"kqbkp", {283818240, 298890240}},
    {"kqbkn", {90750420, 96192120}},
    {"kqbkb", {90750420, 99709380}},
    {"kqbkr", {90750420, 98951760}},
    {"kqbkq", {90750420, 93824100}},
    {"kqrkp", {281568240, 298890240}},
    {"kqrkn", {90038460, 96192120}},
    {"kqrkb", {90038460, 99709380}},
    {"kqrkr", {90038460, 98951760}},
    {"kqrkq", {90038460, 93824100}},
    {"kqqkp", {131170128, 149445120}},
    {"kqqkn", {41944320, 48096060}},
    {"kqqkb", {41944320, 49854690}},
    {"kqqkr", {41944320, 49475880}},
    {"kqqkq", {41944320, 46912050}},
};

// Index of a position in one table side: each side's squares with the king first and
// the other men in the order of the table's name, the en passant square (64 for none)
// and 1 when the colours were exchanged to fit the table.
using IndexFunction = uint32_t (*)(const int* white, const int* black, int epSquare, int flip);

struct CompressedTableInfo;  // what reading a compressed file needs, per table side

struct TableDescriptor {
    int32_t number;
    IndexFunction indexFunction[2];
    char name[8];
    uint32_t fileSize[2];                // positions; the registered file's length
    char* filePath[2];                   // empty: that side is not available
    std::FILE* file[2];                  // opened by the probe when first needed
    CompressedTableInfo* compressed[2];  // empty for an uncompressed file
    int32_t* bucketHeads[2];             // 32 block-cache chains (entry numbers)
};
extern std::array<TableDescriptor, TableCount + 1> Tables;  // defined in registry.cpp

// Signed table number by the ten piece counts (white pawns, knights, bishops, rooks,
// queens, then black): a ten-level tree whose node at each level allows counts up to
// the budget left by the counts above it (at most three men besides the kings). Its
// 286 leaves are kept in depth-first order.
struct MaterialIndexState {
    static constexpr int LeafCount = 286;
    int16_t leaf[LeafCount];

    int lookup(const int counts[10]) const;             // 0 when no table or outside the tree
    bool store(const int counts[10], int tableNumber);  // false outside the tree
};
extern MaterialIndexState MaterialIndex;  // defined in registry.cpp

struct TablebaseSetState {
    int pieceCount = 0;           // most men (kings included) of a registered table
    char* cacheMemory = nullptr;  // the block cache's one memory block (probe.h)
    // Counted during registration: compressed files opened, and bytes allocated for
    // reading them (the default cache size).
    int compressedFiles = 0;
    uint32_t decompressionBytes = 0;

    ~TablebaseSetState() { release(); }
    // Closes every file and frees every path, bucket array and the cache: back to
    // the state of construction.
    void release();
};
extern TablebaseSetState TablebaseSet;  // defined in driver/globals.cpp

// Registers the tables found in pathList ("," or ";" between directories, empty for
// the working directory), then sets up the block cache with cacheMegabytes.
void initTablebases(const char* pathList, int cacheMegabytes);
// 1 when this side of table n is registered (now or before), 0 when directory does
// not hold its file; every other outcome ends the program.
int registerTable(const char* directory, int n, int side);
// Signed table number for the ten counts (see MaterialIndexState).
int findTable(const int counts[10]);
// The start-up step: tables from the directories of paths (PATH_TB) with a cache of
// cacheMegabytes (CACHE_TB), then the men limit that the evaluation reads.
void setUpTablebases(const char* paths, int cacheMegabytes);

}  // namespace egtb
