#include "support/temp_dir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testing_support {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "talvo-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void TempDir::write(const std::string& name, const std::string& contents) const {
    std::ofstream out(file(name), std::ios::binary);
    out << contents;
}

std::string TempDir::read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool TempDir::exists(const std::string& name) const { return std::filesystem::exists(file(name)); }

ScopedWorkingDir::ScopedWorkingDir(const std::string& dir) {
    previous_ = std::filesystem::current_path().string();
    std::filesystem::current_path(dir);
}

ScopedWorkingDir::~ScopedWorkingDir() { std::filesystem::current_path(previous_); }

}  // namespace testing_support
