// talvo-tools learn "<FEN>" <score> <depth> [exact|lower]: teaches the engine a
// position. The line goes into Talvo.lrn in the current folder, in the form the
// engine reads at the start of every game; the score is from the side to move's
// view, the depth the remaining depth it stands for.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "book/learning.h"
#include "driver/config.h"
#include "search/transposition.h"

int runLearn(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: talvo-tools learn \"<FEN>\" <score> <depth> [exact|lower]\n");
        return 2;
    }
    const int score = std::atoi(argv[1]), depth = std::atoi(argv[2]);
    const bool exact = argc < 4 || std::strcmp(argv[3], "lower") != 0;
    if (score <= -32000 || score >= 32000 || depth <= 0) {
        std::fprintf(stderr, "the score must lie strictly between -32000 and 32000, the depth be positive\n");
        return 2;
    }
    // The entry is offered to a table first, as the engine would; a small one does.
    search::TransTable.allocate(64);
    book::LearnTable.enabled = driver::EngineConfig.learn;
    if (!book::appendLearned(score, argv[0], depth, exact)) {
        std::fprintf(stderr, "not learned: bad FEN, LEARN off in Talvo.ini, or %s not writable\n", book::LearnFileName);
        return 1;
    }
    std::printf("learned: %s %s %d at depth %d\n", argv[0], exact ? "=" : ">", score, depth);
    return 0;
}
