// The real talvo binary started in a directory of the test's choosing and driven
// over pipes, exactly as a chess interface drives it.
#pragma once
#include <string>
#include <vector>

namespace testing_support {

class EngineProcess {
public:
    // Starts the engine with workingDir as its current directory.
    explicit EngineProcess(const std::string& workingDir, const std::string& binary = TALVO_BINARY);
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    // Sends text followed by a newline.
    void send(const std::string& line);
    // Sends raw bytes as they are (no newline added).
    void sendRaw(const std::string& bytes);
    // Closes the engine's standard input (end of input).
    void closeInput();

    // Next output line, or false when none arrives within timeoutMs or output ended.
    bool readLine(std::string& line, int timeoutMs = 5000);
    // Reads lines until one starts with prefix; returns that line, or "" on timeout.
    std::string waitFor(const std::string& prefix, int timeoutMs = 10000);
    // Every line that arrives within timeoutMs of quiet (collects until silence).
    std::vector<std::string> drain(int quietMs = 300);

    // Waits for the process to end; returns its exit status, or -1 on timeout or
    // when it died of a signal.
    int waitExit(int timeoutMs = 10000);

private:
    int pid_ = -1;
    int toEngine_ = -1;
    int fromEngine_ = -1;
    std::string pending_;
    bool outputEnded_ = false;
};

}  // namespace testing_support
