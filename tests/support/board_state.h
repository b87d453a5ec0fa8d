// Setting up the engine's position from FEN, and comparing two positions.
#pragma once
#include <string>

#include "board/position.h"

namespace testing_support {

// Loads the FEN into the engine's position and runs the root preparation; returns
// the side to move. Fails the current test (and returns -1) when the FEN does not
// parse.
int setUpPosition(const std::string& fen);

// The squares, state words and key where two positions differ, as a readable list;
// empty when they are the same position. Of two consistent positions
// (Position::isConsistent) the derived state then agrees as well.
std::string differences(const board::Position& a, const board::Position& b);

}  // namespace testing_support
