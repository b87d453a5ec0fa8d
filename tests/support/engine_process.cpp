#include "support/engine_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace testing_support {

namespace {

long long nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

EngineProcess::EngineProcess(const std::string& workingDir, const std::string& binary) {
    signal(SIGPIPE, SIG_IGN);
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
        if (chdir(workingDir.c_str()) != 0) _exit(127);
        execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toEngine_ = in[1];
    fromEngine_ = out[0];
}

EngineProcess::~EngineProcess() {
    closeInput();
    if (pid_ > 0 && waitExit(3000) == -1 && pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (fromEngine_ >= 0) close(fromEngine_);
}

void EngineProcess::send(const std::string& line) { sendRaw(line + "\n"); }

void EngineProcess::sendRaw(const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = write(toEngine_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // the engine has gone; the test sees it in its output
        done += size_t(n);
    }
}

void EngineProcess::closeInput() {
    if (toEngine_ >= 0) close(toEngine_);
    toEngine_ = -1;
}

bool EngineProcess::readLine(std::string& line, int timeoutMs) {
    const long long deadline = nowMs() + timeoutMs;
    for (;;) {
        const size_t newline = pending_.find('\n');
        if (newline != std::string::npos) {
            line = pending_.substr(0, newline);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            pending_.erase(0, newline + 1);
            return true;
        }
        const long long left = deadline - nowMs();
        if (outputEnded_ || left <= 0) return false;
        pollfd fd{fromEngine_, POLLIN, 0};
        const int ready = poll(&fd, 1, int(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char buffer[4096];
        const ssize_t n = read(fromEngine_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) outputEnded_ = true;
        else pending_.append(buffer, size_t(n));
    }
}

std::string EngineProcess::waitFor(const std::string& prefix, int timeoutMs) {
    const long long deadline = nowMs() + timeoutMs;
    std::string line;
    while (readLine(line, int(deadline - nowMs())))
        if (line.compare(0, prefix.size(), prefix) == 0) return line;
    return "";
}

std::vector<std::string> EngineProcess::drain(int quietMs) {
    std::vector<std::string> lines;
    for (std::string line; readLine(line, quietMs);) lines.push_back(line);
    return lines;
}

int EngineProcess::waitExit(int timeoutMs) {
    const long long deadline = nowMs() + timeoutMs;
    while (pid_ > 0) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (nowMs() > deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
}

}  // namespace testing_support
