// talvo-tools: the utilities a user or developer runs by hand.
#include <cstdio>
#include <cstring>

namespace {

void printUsage() {
    std::printf("usage: talvo-tools <command> [arguments]\n");
    std::printf("commands:\n");
    std::printf("  keys \"<FEN>\"     print the position's hash key and its FEN as read back\n");
    std::printf("  perft [--divide] \"<FEN>\" <depth>\n");
    std::printf("                   count the leaves of the legal move tree (per root move with --divide)\n");
}

}  // namespace

int runKeys(int argc, char** argv);
int runPerft(int argc, char** argv);

int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage();
        return 2;
    }
    if (std::strcmp(argv[1], "keys") == 0) return runKeys(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "perft") == 0) return runPerft(argc - 2, argv + 2);
    printUsage();
    return 2;
}
