// talvo-tools book: makes and inspects the opening book "Talvo.book".
//
//   book build -o FILE [--max-ply N] [--min-count N] [--results] [--strict] PGN...
//   book stats FILE
//
// build counts the positions of the games (see book/book_builder.h) and writes the
// book; a malformed game is reported on stderr and skipped, unless --strict, which
// turns any malformed game into a failure that writes nothing.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "book/book_builder.h"

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
    if (argc >= 1 && std::strcmp(argv[0], "stats") == 0) return runStats(argc - 1, argv + 1);
    std::fprintf(stderr, "usage: talvo-tools book build -o FILE [options] FILE.pgn...\n"
                         "       talvo-tools book stats FILE\n");
    return 2;
}
