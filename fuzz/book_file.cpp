// Fuzzing the opening book: any bytes as "Talvo.book". Every key that stands in
// the file is looked up (a sorted file must give each one back), the weights of
// its first records become the candidates of a choice, and the file is cut short
// under the open book, as when it is replaced while the engine runs.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "book/opening_book.h"
#include "scripted_platform.h"

using book::BookRecord;
using book::OpeningBook;

namespace {

constexpr const char* BookName = "fuzz-Talvo.book";

bool sortedAndUnique(const uint8_t* data, size_t records) {
    for (size_t i = 1; i < records; ++i)
        if (std::memcmp(data + (i - 1) * 16, data + i * 16, 8) >= 0) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::silenceOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(BookName, "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    OpeningBook.open(BookName);
    const size_t records = size / 16;
    if (OpeningBook.recordCount != int64_t(records)) std::abort();

    const bool sorted = sortedAndUnique(data, records);
    for (size_t i = 0; i < records; ++i) {
        BookRecord wanted{};
        std::memcpy(wanted.bytes, data + i * 16, 8);
        const int found = OpeningBook.probe(wanted);
        if (found && std::memcmp(wanted.bytes, data + i * 16, 8) != 0) std::abort();
        if (sorted && (!found || std::memcmp(wanted.bytes, data + i * 16, 16) != 0)) std::abort();
    }

    // Any weights, the absurd ones included: the choice is one of the moves with
    // a positive weight, or none.
    OpeningBook.clearCandidates();
    int positive = 0;
    for (size_t i = 0; i < records && i < 40; ++i) {
        BookRecord r{};
        std::memcpy(r.bytes, data + i * 16, 16);
        OpeningBook.addCandidate(board::Move(1 + i), r);  // distinct move words
        positive += book::recordWeight(r) > 0;
    }
    if (OpeningBook.candidateCount != (positive < book::MaxCandidates ? positive : book::MaxCandidates))
        std::abort();
    const bool anyPositive = positive > 0;
    const board::Move chosen = OpeningBook.chooseMove();
    if (anyPositive != (chosen != 0)) std::abort();
    if (chosen && (std::strlen(OpeningBook.bookLine) >= sizeof OpeningBook.bookLine)) std::abort();

    // The file shrinks under the open book: probes find less, but nothing breaks.
    if (truncate(BookName, off_t(size / 3)) == 0)
        for (size_t i = 0; i < records; ++i) {
            BookRecord wanted{};
            std::memcpy(wanted.bytes, data + i * 16, 8);
            OpeningBook.probe(wanted);
        }
    OpeningBook.close();
    std::remove(BookName);
    return 0;
}
