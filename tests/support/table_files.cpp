#include "support/table_files.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "egtb/registry.h"

namespace testing_support {

void writeTableFile(const std::string& dir, const std::string& table, int side, int8_t fill,
                    const std::vector<std::pair<uint32_t, int8_t>>& bytes, long sizeDelta) {
    long size = -1;
    for (int n = 1; n <= egtb::TableCount; ++n)
        if (table == egtb::TableList[n].name) size = long(egtb::TableList[n].size[side]) + sizeDelta;
    if (size < 0) throw std::runtime_error("no table " + table);
    const std::string path = dir + "/" + table + (side ? ".nbb" : ".nbw");
    if (fill == 0) {
        std::ofstream(path, std::ios::binary).close();
        if (truncate(path.c_str(), size) != 0) throw std::runtime_error("cannot size " + path);
    } else {
        std::ofstream out(path, std::ios::binary);
        out << std::string(size_t(size), char(fill));
    }
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    for (auto [index, byte] : bytes) {
        file.seekp(std::streamoff(index));
        file.put(char(byte));
    }
}

int runTools(const std::string& arguments, std::string* output) {
    return runProgram("", TALVO_TOOLS_BINARY, arguments, output);
}

int runProgram(const std::string& dir, const std::string& program, const std::string& arguments,
               std::string* output) {
    const std::string command =
        (dir.empty() ? "" : "cd '" + dir + "' && ") + "'" + program + "' " + arguments + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run " + command);
    output->clear();
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int squareOf(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

}  // namespace testing_support
