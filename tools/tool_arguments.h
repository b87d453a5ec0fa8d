// Reading the arguments the tools share.
#pragma once
#include "board/position_record.h"

namespace tool_arguments {

// The position in argv[at] (a FEN text), or null after printing the usage (too
// few arguments: *status 2) or the complaint (not a FEN: *status 1).
board::PositionRecord* positionArgument(int argc, char** argv, int at, const char* usage, int* status);

}  // namespace tool_arguments
