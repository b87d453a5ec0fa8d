// The opening book file: the binary search over byte-ordered records, and the
// weighted choice with its book line.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "book/opening_book.h"
#include "support/temp_dir.h"

using book::BookRecord;
using book::OpeningBookState;
using testing_support::TempDir;

namespace {

const board::Move E2E4 = board::makeMoveWord(12, 28);
const board::Move D2D4 = board::makeMoveWord(11, 27);

BookRecord recordOf(board::HashKey key, int32_t weight) {
    BookRecord r = book::recordForKey(key);
    book::setRecordWeight(r, weight);
    return r;
}

bool byteOrder(const BookRecord& a, const BookRecord& b) { return std::memcmp(a.bytes, b.bytes, 8) < 0; }

std::string fileOf(const std::vector<BookRecord>& records) {
    std::string bytes;
    for (const BookRecord& r : records) bytes.append(reinterpret_cast<const char*>(r.bytes), 16);
    return bytes;
}

// The probe's answer for key: the weight found, or -1.
int weightFound(OpeningBookState& book, board::HashKey key) {
    BookRecord r = book::recordForKey(key);
    book::setRecordWeight(r, -1);
    return book.probe(r) ? book::recordWeight(r) : -1;
}

}  // namespace

TEST(BookChoice, WeightsSetTheOddsAndTheLineShowsShares) {
    OpeningBookState book;
    EXPECT_EQ(book.chooseMove(), board::NoMove);

    // Added in the other order: the heavier move is listed first.
    book.addCandidate(D2D4, recordOf({1, 0}, 1));
    book.addCandidate(E2E4, recordOf({2, 0}, 3));
    book.addCandidate(board::makeMoveWord(6, 21), recordOf({3, 0}, 0));   // weight 0: not eligible
    book.addCandidate(board::makeMoveWord(1, 18), recordOf({4, 0}, -5));  // negative: not eligible
    ASSERT_EQ(book.candidateCount, 2);
    std::srand(7);
    int e4 = 0, d4 = 0;
    for (int i = 0; i < 8000; ++i) {
        board::Move m = book.chooseMove();
        e4 += m == E2E4;
        d4 += m == D2D4;
    }
    EXPECT_STREQ(book.bookLine, "0 0 0 0 (e2e4 75%, d2d4 25%)");
    EXPECT_EQ(e4 + d4, 8000);
    EXPECT_NEAR(double(e4) / d4, 3.0, 0.3);

    // A share below one percent, and weights whose sum passes 32 bits: both moves
    // still come up.
    book.clearCandidates();
    book.addCandidate(E2E4, recordOf({1, 0}, 1000));
    book.addCandidate(D2D4, recordOf({2, 0}, 1));
    book.chooseMove();
    EXPECT_STREQ(book.bookLine, "0 0 0 0 (e2e4 99%, d2d4 <1%)");
    book.clearCandidates();
    book.addCandidate(E2E4, recordOf({1, 0}, INT32_MAX));
    book.addCandidate(D2D4, recordOf({2, 0}, INT32_MAX));
    book.addCandidate(board::makeMoveWord(6, 21), recordOf({3, 0}, INT32_MAX));
    bool seen[2] = {false, false};
    for (int i = 0; i < 200; ++i) {
        board::Move m = book.chooseMove();
        seen[0] |= m == E2E4;
        seen[1] |= m == D2D4;
    }
    EXPECT_TRUE(seen[0] && seen[1]);
    EXPECT_STREQ(book.bookLine, "0 0 0 0 (e2e4 33%, d2d4 33%, g1f3 33%)");

    // Only the first 32 eligible moves are kept.
    book.clearCandidates();
    for (int i = 0; i < 40; ++i) book.addCandidate(board::makeMoveWord(i, i + 8), recordOf({1, 0}, 1));
    EXPECT_EQ(book.candidateCount, 32);
    EXPECT_NE(book.chooseMove(), board::NoMove);
}

TEST(BookFile, EveryRecordIsFoundInByteOrder) {
    TempDir dir;
    std::mt19937_64 random(20240601);
    std::vector<board::HashKey> keys;
    std::vector<BookRecord> records;
    for (int i = 0; i < 101; ++i) {
        const uint64_t k = random();
        keys.push_back(board::HashKey{uint32_t(k), uint32_t(k >> 32)});
        records.push_back(recordOf(keys.back(), i + 1));
    }
    std::sort(records.begin(), records.end(), byteOrder);
    dir.write("sorted.book", fileOf(records));

    OpeningBookState book;
    book.open(dir.file("sorted.book").c_str());
    EXPECT_EQ(book.recordCount, 101);
    for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(weightFound(book, keys[i]), int(i + 1)) << i;
    // Keys below, above and between the records.
    for (board::HashKey absent : {board::HashKey{0, 0}, board::HashKey{~0u, ~0u}, board::HashKey{12345, 678}})
        EXPECT_EQ(weightFound(book, absent), -1);
}

TEST(BookFile, MissingShortAndTruncatedBooksFindNothingOrTheirWholeRecords) {
    TempDir dir;
    OpeningBookState book;
    const board::HashKey key{0x01020304, 0x05060708};

    book.open(dir.file("missing.book").c_str());
    EXPECT_EQ(book.file, nullptr);
    EXPECT_EQ(weightFound(book, key), -1);

    // One whole record and a partial one: the whole record is all there is.
    dir.write("one.book", fileOf({recordOf(key, 9)}) + std::string(7, '\xff'));
    book.open(dir.file("one.book").c_str());
    EXPECT_EQ(book.recordCount, 1);
    EXPECT_EQ(weightFound(book, key), 9);
    EXPECT_EQ(weightFound(book, {0x01020304, 0x05060709}), -1);
    EXPECT_EQ(weightFound(book, {0, 0}), -1);

    // The file changes under the open book: deleted, it is still read through the
    // open handle; cut short, probes past its end find nothing and stop.
    book.open(dir.file("one.book").c_str());
    std::remove(dir.file("one.book").c_str());
    EXPECT_EQ(weightFound(book, key), 9);
    dir.write("two.book", fileOf({recordOf({1, 0}, 3), recordOf({2, 0}, 4)}));
    book.open(dir.file("two.book").c_str());
    dir.write("two.book", "");
    EXPECT_EQ(weightFound(book, {1, 0}), -1);
    EXPECT_EQ(weightFound(book, {2, 0}), -1);
}
