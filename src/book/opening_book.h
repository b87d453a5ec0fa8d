// Opening book: the first moves of a game without searching.
//
// "Talvo.book" is an array of 16-byte records, no header: the position's hash key
// (low half then high half, each little-endian: the key as one little-endian
// 64-bit number), a signed little-endian 32-bit weight, 4 bytes unused. Records are
// sorted by their eight key bytes compared as unsigned bytes, first byte first, so
// the least significant key byte decides first: not the numeric order of the key.
//
// The book knows positions, not moves. A move is a book move when the position it
// leads to is in the book; that position's weight sets how often it is chosen.
// The file is never loaded: every probe is a binary search of seeks and reads.
#pragma once
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "board/types.h"

namespace book {

constexpr int BookRecordSize = 16;
constexpr int MaxCandidates = 32;
constexpr int BookLineSize = 1024;

// One record as it stands in the file.
struct BookRecord {
    uint8_t bytes[BookRecordSize];
};
static_assert(sizeof(BookRecord) == 16);

// A record whose key bytes hold key (weight and the rest zero).
BookRecord recordForKey(board::HashKey key);
// The record's weight, read little-endian.
int32_t recordWeight(const BookRecord& record);
// Writes the weight into a record (tools and tests build books with it).
void setRecordWeight(BookRecord& record, int32_t weight);

// One eligible move and the weight of the position it leads to.
struct BookCandidate {
    board::Move move;
    int32_t weight;
};

struct OpeningBookState {
    OpeningBookState() {
        open("Talvo.book");
        seedRandom(std::time(nullptr));
    }
    ~OpeningBookState() { close(); }

    // Opens a book file and counts its whole records; a missing file gives none.
    void open(const char* fileName);
    void close();
    // Seeds the C library generator with t and discards (t mod 256) + 1 draws.
    static void seedRandom(std::time_t t);

    // 1 when the key in record's first eight bytes is in the book: the file's
    // record is then copied over the caller's. 0 otherwise, record untouched.
    int probe(BookRecord& record);
    void clearCandidates();
    // Keeps (move, weight) when the weight is positive and fewer than 32 are kept.
    void addCandidate(board::Move move, const BookRecord& record);
    // Sorts the candidates by weight, writes the book line and draws a move in
    // proportion to the weights; 0 when there is no candidate.
    board::Move chooseMove();

    std::FILE* file = nullptr;
    int64_t recordCount = 0;
    BookCandidate candidates[MaxCandidates] = {};
    int candidateCount = 0;
    // "0 0 0 0 (e2e4 75%, d2d4 25%)": the thinking-line fields depth, score,
    // time and nodes, then the book moves as the line, for the interface to show.
    char bookLine[BookLineSize] = {};
};
extern OpeningBookState OpeningBook;  // defined in driver/globals.cpp

}  // namespace book
