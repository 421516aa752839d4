#include "cli/cli_app.h"

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstring>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "cli/dry_run_file_ops.h"
#include "engine/extraction_run.h"
#include "engine/source_file_list.h"
#include "selection/selection_commands.h"

#ifndef VORNECK_VERSION
#define VORNECK_VERSION "unknown"
#endif

namespace vorneck {
namespace {

// The modules of one command line: files as given and the chosen files of
// each directory, all selected, each opened by the path it was named by.
class PathList : public ModuleList {
public:
    void Add(std::string path) { paths_.push_back(std::move(path)); }
    std::uint64_t EntryCount() const override { return paths_.size(); }
    std::uint64_t SelectedCount() const override { return paths_.size(); }
    bool IsSelected(std::uint64_t position) const override { return position < paths_.size(); }
    std::string EntryText(std::uint64_t position) const override { return paths_.at(position); }
    std::string EntryPath(std::uint64_t position) const override { return paths_.at(position); }

private:
    std::vector<std::string> paths_;
};

class Terminal : public ErrorReporter, public StatusLine, public RunObserver {
public:
    Terminal(std::ostream& out, std::ostream& err, bool dryRun, bool progress)
        : out_(out), err_(err), dryRun_(dryRun), progress_(progress),
          started_(std::chrono::steady_clock::now()) {}

    void ErrorReport(std::string_view message) override {
        ClearProgress();
        err_ << message << '\n';
        ++messages_;
    }
    void SetPanel(int panel, std::string_view text) override {
        if (panel >= 0 && panel < 4) panels_[panel] = std::string(text);
    }
    void SampleDone(const SampleEvent& event) override {
        if (dryRun_ && event.fate == SampleFate::Written)
            out_ << event.outputPath << '\t' << event.offset.value_or(0) << '\t' << event.length.value_or(0) << '\n';
    }
    void EntryDone(std::uint64_t done, std::uint64_t total) override {
        if (!progress_) return;
        const auto now = std::chrono::steady_clock::now();
        // Only a run that takes a while shows progress, and at most ten
        // updates a second.
        if (now - started_ < std::chrono::milliseconds(500) || now - lastShown_ < std::chrono::milliseconds(100))
            if (done != total || !showing_) return;
        lastShown_ = now;
        err_ << "\r" << done << " of " << total << " modules" << std::flush;
        showing_ = true;
        if (done == total) ClearProgress();
    }
    void ClearProgress() {
        if (!showing_) return;
        err_ << "\r\033[K" << std::flush;
        showing_ = false;
    }

    int messages() const { return messages_; }
    const std::string& panel(int i) const { return panels_[i]; }

private:
    std::ostream& out_;
    std::ostream& err_;
    bool dryRun_;
    bool progress_;
    bool showing_ = false;
    int messages_ = 0;
    std::string panels_[4];
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point lastShown_{};
};

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool progress) {
    CLI::App app{"Writes the instrument samples of four-channel and MMD modules to files of their own."};
    app.name("vorneck-cli");
    bool perModule = false;
    std::string pattern = "*";
    bool matchCase = false;
    bool dryRun = false;
    bool quiet = false;
    std::string dest;
    std::vector<std::string> sources;
    app.add_flag("-m,--dir-per-module", perModule, "Write each module's samples into a directory of its own");
    app.add_option("-p,--pattern", pattern,
                   "Wildcard pattern choosing the files of a SOURCE directory (* any run, ? one character)")
        ->capture_default_str();
    app.add_flag("-c,--match-case", matchCase, "Match the pattern with regard to letter case");
    app.add_flag("-n,--dry-run", dryRun,
                 "Write nothing; print each sample file a run would write: path, offset, length");
    app.add_flag("-q,--quiet", quiet, "Do not print the closing status lines");
    app.add_option("-o,--dest", dest, "Destination directory");
    app.add_option("SOURCE", sources, "Module files, or directories whose files are taken");
    app.set_version_flag("--version", std::string("vorneck-cli ") + VORNECK_VERSION);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e, out, err) == 0 ? 0 : 2;
    }

    PosixFileOps posix;
    DryRunFileOps dry(posix);
    Terminal terminal(out, err, dryRun, progress);

    PathList list;
    bool usageError = false;
    for (const auto& source : sources) {
        if (!IsDirectory(source)) {
            list.Add(source);
            continue;
        }
        const DirectoryListing listing = ListDirectoryFiles(source);
        if (listing.error != 0) {
            terminal.ErrorReport("Unable to read directory: " + source + " (" + std::strerror(listing.error) + ")");
            continue;
        }
        SourceFileList files(source, listing.names);
        if (!SelectByPattern(files, pattern, matchCase, terminal, terminal)) {
            usageError = true;
            break;
        }
        for (std::uint64_t i = 0; i < files.EntryCount(); ++i)
            if (files.IsSelected(i)) list.Add(files.EntryPath(i));
    }
    if (usageError) return 2;

    ExtractionState state;
    Services services{dryRun ? static_cast<FileOps&>(dry) : posix, terminal, terminal, &terminal};
    const RunOutcome outcome = ExtractSelected(state, list, {dest, perModule}, services);
    terminal.ClearProgress();

    if (!quiet) {
        if (terminal.panel(0) == kCompletedStatus) out << kCompletedStatus << '\n';
        out << "Mods Processed: " << state.ModsProcessed << '\n';
        out << "Samples saved: " << state.SamplesSaved << '\n';
    }
    out.flush();
    if (outcome == RunOutcome::NoDestination || outcome == RunOutcome::NoSelection) return 2;
    return terminal.messages() > 0 ? 1 : 0;
}

}  // namespace vorneck
