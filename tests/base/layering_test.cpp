// The layers of src/ depend one way: base, board, egtb, eval, search, book, driver.
// A folder includes only itself and the folders before it in that list; a lower
// layer reaches a higher one only through a hook the higher one installs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

const std::vector<std::string> Layers = {"base", "board", "egtb", "eval", "search", "book", "driver"};

int layerOf(const std::string& folder) {
    for (size_t i = 0; i < Layers.size(); ++i)
        if (Layers[i] == folder) return int(i);
    return -1;
}

// Every #include "folder/..." line of the sources under root that names a later
// layer or a folder outside the list, as "file:line: the include line".
std::vector<std::string> upwardIncludes(const std::filesystem::path& root) {
    static const std::regex include(R"(^\s*#\s*include\s*"([^"/]+)/[^"]*")");
    std::vector<std::string> offending;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        const std::string folder = entry.path().parent_path().filename().string();
        const int layer = layerOf(folder);
        std::ifstream file(entry.path());
        std::string line;
        for (int number = 1; std::getline(file, line); ++number) {
            std::smatch match;
            if (!std::regex_search(line, match, include)) continue;
            const int target = layerOf(match[1].str());
            if (layer < 0 || target < 0 || target > layer)
                offending.push_back(entry.path().lexically_relative(root).string() + ":" +
                                    std::to_string(number) + ": " + line);
        }
    }
    std::sort(offending.begin(), offending.end());
    return offending;
}

std::string listed(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "  " + line + "\n";
    return text;
}

}  // namespace

TEST(Layers, NoFolderIncludesALaterOne) {
    const std::vector<std::string> offending = upwardIncludes(std::string(TALVO_SOURCE_DIR) + "/src");
    EXPECT_TRUE(offending.empty())
        << "includes against the order base, board, egtb, eval, search, book, driver:\n"
        << listed(offending);
}

TEST(Layers, TheCheckSeesAnUpwardInclude) {
    testing_support::TempDir dir;
    ASSERT_EQ(mkdir(dir.file("board").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(dir.file("search").c_str(), 0700), 0);
    dir.write("board/movegen.cpp", "#include \"board/board.h\"\n#include \"search/node_search.h\"\n");
    dir.write("search/node_search.cpp", "#include \"board/movegen.h\"\n  #  include \"eval/evaluate.h\"\n");
    EXPECT_EQ(upwardIncludes(dir.path()),
              std::vector<std::string>{"board/movegen.cpp:2: #include \"search/node_search.h\""});
}
