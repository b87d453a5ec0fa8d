// talvo-tools: the utilities a user or developer runs by hand.
#include <cstdio>
#include <cstring>

namespace {

void printUsage() {
    std::printf("usage: talvo-tools <command> [arguments]\n");
    std::printf("commands:\n");
    std::printf("  keys \"<FEN>\"     print the position's hash key and its FEN as read back\n");
    std::printf("  eval \"<FEN>\"     print the static evaluation and its parts\n");
}

}  // namespace

int runKeys(int argc, char** argv);
int runEval(int argc, char** argv);

int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage();
        return 2;
    }
    if (std::strcmp(argv[1], "keys") == 0) return runKeys(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "eval") == 0) return runEval(argc - 2, argv + 2);
    printUsage();
    return 2;
}
