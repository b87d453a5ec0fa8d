// talvo-tools book: makes and inspects the opening book "Talvo.book".
//
//   book build -o FILE [--max-ply N] [--min-count N] [--results] [--strict] PGN...
//   book probe FILE "<FEN>"
//   book stats FILE
//
// build counts the positions of the games (see book/book_builder.h) and writes the
// book; a malformed game is reported on stderr and skipped, unless --strict, which
// turns any malformed game into a failure that writes nothing.
//
// probe gathers the candidates of a position with the engine's own code (the
// driver's gathering, the book's probe and choice), so its weights, order and
// shares are those the engine draws from. Its status is 0 when the engine would
// play a book move there, 1 when it would search.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/board.h"
#include "board/movegen.h"
#include "board/record_rules.h"
#include "board/san.h"
#include "book/book_builder.h"
#include "book/opening_book.h"
#include "driver/game_record.h"
#include "driver/main_loop.h"
#include "search/search_state.h"

using board::Board;
using book::OpeningBook;
using driver::GameRecord;

namespace {

constexpr const char* BuildUsage =
    "usage: talvo-tools book build -o FILE [--max-ply N] [--min-count N] [--results] [--strict] FILE.pgn...\n"
    "  --max-ply N    positions up to N plies from the start of each game (default 30, at most 50)\n"
    "  --min-count N  only positions that N or more lines reach (default 1)\n"
    "  --results      weight by the results of the side that moved into the position\n"
    "  --strict       a malformed game fails the build\n";

// A whole decimal number in [low, high], or -1.
int numberArgument(const char* text, int low, int high) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return (*text && *end == 0 && value >= low && value <= high) ? int(value) : -1;
}

int runBuild(int argc, char** argv) {
    book::BookBuildOptions options;
    const char* output = nullptr;
    bool strict = false;
    int firstInput = argc;
    for (int i = 0; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "-o") == 0 && hasValue) {
            output = argv[++i];
        } else if (std::strcmp(argv[i], "--max-ply") == 0 && hasValue) {
            options.maxPly = numberArgument(argv[++i], 0, book::MaxBookPly);
            if (options.maxPly < 0) return std::fprintf(stderr, "--max-ply takes 0..%d\n", book::MaxBookPly), 2;
        } else if (std::strcmp(argv[i], "--min-count") == 0 && hasValue) {
            options.minCount = numberArgument(argv[++i], 1, 1 << 30);
            if (options.minCount < 0) return std::fprintf(stderr, "--min-count takes a number from 1\n"), 2;
        } else if (std::strcmp(argv[i], "--results") == 0) {
            options.weightByResults = true;
        } else if (std::strcmp(argv[i], "--strict") == 0) {
            strict = true;
        } else if (argv[i][0] == '-') {
            std::fputs(BuildUsage, stderr);
            return 2;
        } else {
            firstInput = i;
            break;
        }
    }
    if (!output || firstInput == argc) {
        std::fputs(BuildUsage, stderr);
        return 2;
    }

    const auto started = std::chrono::steady_clock::now();
    book::BookBuilder builder(options);
    for (int i = firstInput; i < argc; ++i)
        if (!builder.addPgnFile(argv[i], stderr)) {
            std::fprintf(stderr, "cannot read %s; no book written\n", argv[i]);
            return 1;
        }
    if (strict && builder.gamesSkipped > 0) {
        std::fprintf(stderr, "%d malformed game(s); no book written\n", builder.gamesSkipped);
        return 1;
    }
    if (builder.tallies.empty()) {
        std::fprintf(stderr, "no games; no book written\n");
        return 1;
    }
    int records = 0;
    if (!builder.writeBook(output, &records)) {
        std::fprintf(stderr, "cannot write %s\n", output);
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%s: %d records (%" PRId64 " bytes) from %d games, %" PRId64 " lines; %d games skipped; %.2f s\n",
                output, records, int64_t(records) * 16, builder.gamesRead, builder.linesRead, builder.gamesSkipped,
                seconds);
    return 0;
}

// ---- probe ---------------------------------------------------------------------

// The SAN of a move of the record's current position.
const char* sanOf(board::Move move) {
    static board::ScoredMove legal[driver::MaxLegalMoves];
    const int side = GameRecord.current().sideToMove;
    Board.loadRecord(GameRecord.current());
    search::prepareSearch(Board, search::MainSearch, side);
    const int count = board::generateLegalMoves(board::Board, legal, side, 0);
    for (int i = 0; i < count; ++i)
        if ((legal[i].move & board::MoveIdentity) == (move & board::MoveIdentity))
            return board::moveToSan(board::Board, legal[i].move, legal, count);
    return "?";
}

int runProbe(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: talvo-tools book probe FILE \"<FEN>\"\n");
        return 2;
    }
    OpeningBook.open(argv[0]);
    if (!OpeningBook.file) {
        std::fprintf(stderr, "cannot read %s\n", argv[0]);
        return 2;
    }
    const board::PositionRecord* position = board::parseFen(argv[1]);
    if (!position || !board::isPlayablePosition(*position) || !GameRecord.setPositionFromRecord(position)) {
        std::fprintf(stderr, "not a playable position: %s\n", argv[1]);
        return 2;
    }
    Board.loadRecord(GameRecord.current());
    board::Move moves[driver::MaxLegalMoves];
    bool inCheck = false;
    driver::listLegalMoves(moves, &inCheck);

    const board::HashKey key = GameRecord.keys[0];
    book::BookRecord here = book::recordForKey(key);
    if (!OpeningBook.probe(here)) {
        std::printf("position not in the book (key low 0x%08x high 0x%08x): the engine searches\n", key.low, key.high);
        return 1;
    }
    std::printf("position in the book with weight %d (key low 0x%08x high 0x%08x)\n", book::recordWeight(here),
                key.low, key.high);
    driver::gatherBookCandidates(moves);
    if (OpeningBook.candidateCount == 0) {
        std::printf("no move leads to a book position of positive weight: the engine searches\n");
        return 1;
    }
    // The choice sorts the candidates and writes the book line, exactly as in play;
    // the move it draws is of no interest here.
    OpeningBook.chooseMove();
    int64_t sum = 0;
    for (int i = 0; i < OpeningBook.candidateCount; ++i) sum += OpeningBook.candidates[i].weight;
    std::printf("%-6s %-8s %10s %8s\n", "move", "SAN", "weight", "chance");
    for (int i = 0; i < OpeningBook.candidateCount; ++i) {
        const book::BookCandidate& c = OpeningBook.candidates[i];
        char text[16];
        std::snprintf(text, sizeof text, "%s", board::moveToText(c.move));
        std::printf("%-6s %-8s %10d %7.2f%%\n", text, sanOf(c.move), c.weight, 100.0 * double(c.weight) / double(sum));
    }
    std::printf("book line: %s\n", OpeningBook.bookLine);
    return 0;
}

// ---- stats ---------------------------------------------------------------------

uint32_t readLittleEndian(const uint8_t* in) {
    return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}

void printKey(const char* label, const uint8_t* bytes) {
    std::printf("%-12s low 0x%08x high 0x%08x\n", label, readLittleEndian(bytes), readLittleEndian(bytes + 4));
}

int runStats(int argc, char** argv) {
    if (argc != 1) {
        std::fprintf(stderr, "usage: talvo-tools book stats FILE\n");
        return 2;
    }
    std::FILE* file = std::fopen(argv[0], "rb");
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", argv[0]);
        return 1;
    }
    uint8_t record[16], previous[16], first[16], last[16];
    int64_t count = 0, zeroWeights = 0, total = 0, firstUnsorted = -1, firstDuplicate = -1;
    int32_t lightest = 0, heaviest = 0;
    size_t got;
    while ((got = std::fread(record, 1, sizeof record, file)) == sizeof record) {
        const int32_t weight = int32_t(readLittleEndian(record + 8));
        if (count == 0) {
            std::memcpy(first, record, 16);
            lightest = heaviest = weight;
        } else {
            const int order = std::memcmp(previous, record, 8);
            if (order > 0 && firstUnsorted < 0) firstUnsorted = count;
            if (order == 0 && firstDuplicate < 0) firstDuplicate = count;
        }
        lightest = weight < lightest ? weight : lightest;
        heaviest = weight > heaviest ? weight : heaviest;
        zeroWeights += weight <= 0;
        total += weight > 0 ? weight : 0;
        std::memcpy(previous, record, 16);
        std::memcpy(last, record, 16);
        ++count;
    }
    std::fclose(file);

    std::printf("records     %" PRId64 " (%" PRId64 " bytes)\n", count, count * 16);
    if (got > 0) std::printf("trailing    %zu bytes, not a whole record: ignored by the engine\n", got);
    if (count == 0) return 0;
    printKey("first key", first);
    printKey("last key", last);
    std::printf("weights     %d .. %d, %" PRId64 " in all; %" PRId64 " records of weight 0 or less\n", lightest,
                heaviest, total, zeroWeights);
    if (firstUnsorted >= 0)
        std::printf("order       NOT sorted by key bytes: record %" PRId64 " comes before a smaller key\n",
                    firstUnsorted - 1);
    else if (firstDuplicate >= 0)
        std::printf("order       sorted, but record %" PRId64 " repeats the key before it\n", firstDuplicate);
    else
        std::printf("order       sorted by key bytes, keys unique\n");
    return firstUnsorted >= 0 || firstDuplicate >= 0 ? 1 : 0;
}

}  // namespace

int runBook(int argc, char** argv) {
    if (argc >= 1 && std::strcmp(argv[0], "build") == 0) return runBuild(argc - 1, argv + 1);
    if (argc >= 1 && std::strcmp(argv[0], "probe") == 0) return runProbe(argc - 1, argv + 1);
    if (argc >= 1 && std::strcmp(argv[0], "stats") == 0) return runStats(argc - 1, argv + 1);
    std::fprintf(stderr, "usage: talvo-tools book build -o FILE [options] FILE.pgn...\n"
                         "       talvo-tools book probe FILE \"<FEN>\"\n"
                         "       talvo-tools book stats FILE\n");
    return 2;
}
