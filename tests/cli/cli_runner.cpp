// SPDX-License-Identifier: MIT
#include "tests/cli/cli_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "cli/cli_app.h"

namespace vorneck::testing {
namespace {

std::string ReadFd(int fd) {
    std::string text;
    ::lseek(fd, 0, SEEK_SET);
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

}  // namespace

CliResult RunBinary(const CliSpawn& spawn) {
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    int terminal = -1;
    int terminalChild = -1;
    if (spawn.stderrOnTerminal && ::openpty(&terminal, &terminalChild, nullptr, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty");
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("fork");
    if (child == 0) {
        if (!spawn.cwd.empty() && ::chdir(spawn.cwd.c_str()) != 0) ::_exit(127);
        if (!spawn.stdoutPath.empty()) {
            const int fd = ::open(spawn.stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(fd, STDOUT_FILENO);
        } else {
            ::dup2(out[1], STDOUT_FILENO);
        }
        ::dup2(spawn.stderrOnTerminal ? terminalChild : err[1], STDERR_FILENO);
        ::signal(SIGPIPE, spawn.ignoreSigpipe ? SIG_IGN : SIG_DFL);
        ::signal(SIGXFSZ, SIG_DFL);
        if (spawn.fileSizeLimit) {
            struct rlimit limit {spawn.fileSizeLimit, spawn.fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        for (const auto& [name, value] : spawn.env) ::setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv;
        std::string program = VORNECK_CLI_PATH;
        argv.push_back(program.data());
        std::vector<std::string> args = spawn.args;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    if (terminalChild >= 0) ::close(terminalChild);
    if (spawn.closeStdout) {
        ::close(out[0]);
        out[0] = -1;
    }
    CliResult result;
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {terminal, POLLIN, 0}};
    std::string* sinks[3] = {&result.out, &result.err, &result.err};
    for (;;) {
        int open = 0;
        for (auto& p : fds) open += p.fd >= 0;
        if (open == 0) break;
        if (::poll(fds, 3, 10000) <= 0) break;
        for (int i = 0; i < 3; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);  // end of file, or EIO once the terminal's other side closed
                fds[i].fd = -1;
            }
        }
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    for (auto& p : fds)
        if (p.fd >= 0) ::close(p.fd);
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

std::vector<nlohmann::json> ManifestLines(const std::string& path) {
    std::vector<nlohmann::json> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

CliResult RunInProcess(std::vector<std::string> args) {
    args.insert(args.begin(), "vorneck-cli");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    const int out = ::memfd_create("out", MFD_CLOEXEC);
    const int err = ::memfd_create("err", MFD_CLOEXEC);
    CliResult result;
    {
        CliIo io(out, err, false);
        result.status = RunCli(static_cast<int>(argv.size()), argv.data(), io);
    }
    result.out = ReadFd(out);
    result.err = ReadFd(err);
    ::close(out);
    ::close(err);
    return result;
}

}  // namespace vorneck::testing
