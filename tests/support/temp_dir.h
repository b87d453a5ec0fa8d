// A fresh directory under the system's temporary folder, removed with its contents
// when the object goes out of scope.
#pragma once
#include <string>

namespace testing_support {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    void write(const std::string& name, const std::string& contents) const;
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;

private:
    std::string path_;
};

// Runs body with the process's working directory switched to dir.
class ScopedWorkingDir {
public:
    explicit ScopedWorkingDir(const std::string& dir);
    ~ScopedWorkingDir();

private:
    std::string previous_;
};

}  // namespace testing_support
