// talvo-tools: the utilities a user or developer runs by hand.
#include <cstdio>
#include <cstring>

int runKeys(int argc, char** argv);
int runPerft(int argc, char** argv);
int runEval(int argc, char** argv);
int runBench(int argc, char** argv);
int runSearch(int argc, char** argv);
int runEpd(int argc, char** argv);
int runLearn(int argc, char** argv);
int runBook(int argc, char** argv);
int runEgtb(int argc, char** argv);

namespace {

struct Tool {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* usage;
};

constexpr Tool Tools[] = {
    {"keys", runKeys, "keys \"<FEN>\"                  the position's hash key and its FEN as read back"},
    {"perft", runPerft, "perft [--divide] \"<FEN>\" <depth>  leaves of the legal move tree (per root move)"},
    {"eval", runEval, "eval \"<FEN>\"                  the static evaluation and its parts"},
    {"search", runSearch, "search \"<FEN>\" [depth | --time ms]  analyse a position, printing thinking lines"},
    {"epd", runEpd, "epd FILE [ms]                  a test suite: how many best moves the engine finds"},
    {"learn", runLearn, "learn \"<FEN>\" <score> <depth> [exact|lower]  add a learned position to Talvo.lrn"},
    {"book", runBook, "book build -o FILE [options] FILE.pgn...  make an opening book from games\n"
                      "  book probe FILE \"<FEN>\"       the book moves of a position, as the engine chooses\n"
                      "  book stats FILE                records, key range, whether the file is sorted"},
    {"egtb", runEgtb, "egtb index-check|generate|probe|speed ...  endgame tablebase utilities (egtb for details)"},
    {"bench", runBench, "bench [depth [threads]]        search a fixed set of positions; prints the node signature"},
};

void printUsage() {
    std::printf("usage: talvo-tools <command> [arguments]\ncommands:\n");
    for (const Tool& tool : Tools) std::printf("  %s\n", tool.usage);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2)
        for (const Tool& tool : Tools)
            if (std::strcmp(argv[1], tool.name) == 0) return tool.run(argc - 2, argv + 2);
    printUsage();
    return 2;
}
