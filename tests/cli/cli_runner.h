// SPDX-License-Identifier: MIT
// Runs the real vorneck-cli binary, or the command line in this process,
// and collects what it printed and how it ended.
#pragma once

#include <nlohmann/json.hpp>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vorneck::testing {

struct CliResult {
    int status = -1;  // exit status, or -1 when ended by a signal
    int signal = 0;   // the signal that ended it, or 0
    std::string out;
    std::string err;
};

struct CliSpawn {
    std::vector<std::string> args = {};
    std::string stdoutPath = {};     // write standard output to this file instead of a pipe
    bool closeStdout = false;        // standard output is a pipe nobody reads
    bool ignoreSigpipe = false;      // start with SIGPIPE ignored
    bool stderrOnTerminal = false;   // standard error is a pseudo-terminal
    std::string cwd = {};
    std::uint64_t fileSizeLimit = 0;  // RLIMIT_FSIZE of the program, when set
    std::vector<std::pair<std::string, std::string>> env = {};  // variables set for the program
};

// The binary built with the tests.
CliResult RunBinary(const CliSpawn& spawn);
inline CliResult RunBinary(std::vector<std::string> args) { return RunBinary(CliSpawn{std::move(args)}); }

// The same command line run in this process, its streams captured.
CliResult RunInProcess(std::vector<std::string> args);

// The lines of a manifest file, each parsed.
std::vector<nlohmann::json> ManifestLines(const std::string& path);

// The lines of what a program printed, without their line ends.
std::vector<std::string> Lines(const std::string& text);

}  // namespace vorneck::testing
