#include "tool_arguments.h"

#include <cstdio>

namespace tool_arguments {

board::PositionRecord* positionArgument(int argc, char** argv, int at, const char* usage, int* status) {
    if (argc <= at) {
        std::fprintf(stderr, "usage: %s\n", usage);
        *status = 2;
        return nullptr;
    }
    board::PositionRecord* record = board::parseFen(argv[at]);
    if (!record) {
        std::fprintf(stderr, "not a FEN position: %s\n", argv[at]);
        *status = 1;
    }
    return record;
}

}  // namespace tool_arguments
