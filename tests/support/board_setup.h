// Sets the global board up from FEN for tests of the board's own parts, with the
// piece lists filled in square order (king in slot 0) and both attack maps built.
#pragma once

namespace testing_support {

// Returns false when the FEN does not parse.
bool setBoardFromFen(const char* fen);

}  // namespace testing_support
