// Tablebase files made by hand for the tests, and the tools binary run from a test.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// Writes side's file of the named table into dir with the table's size plus
// sizeDelta, every byte fill except the listed (index, byte) pairs. Files of zeros
// are made sparse, so five-man sizes cost nothing.
void writeTableFile(const std::string& dir, const std::string& table, int side, int8_t fill = 0,
                    const std::vector<std::pair<uint32_t, int8_t>>& bytes = {}, long sizeDelta = 0);

// Runs talvo-tools with the arguments (shell words); returns its exit status and
// leaves standard output and error in output.
int runTools(const std::string& arguments, std::string* output);
// The same for any program, started in the directory dir ("" for this one).
int runProgram(const std::string& dir, const std::string& program, const std::string& arguments,
               std::string* output);

// Square number of a square name such as "e4".
int squareOf(const char* name);

}  // namespace testing_support
