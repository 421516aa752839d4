// SPDX-License-Identifier: MIT
#include "cli/cli_app.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <tuple>
#include <fcntl.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "cli/dry_run_file_ops.h"
#include "cli/escape.h"
#include "cli/name_template.h"
#include "cli/other_formats.h"
#include "cli/sample_output.h"
#include "cli/sources.h"
#include "engine/extraction_run.h"
#include "engine/sample_writer.h"
#include "export/audio_export.h"
#include "export/manifest.h"
#include "selection/selection_commands.h"

#ifndef VORNECK_VERSION
#define VORNECK_VERSION "unknown"
#endif

namespace vorneck {
namespace {

constexpr const char* kProgram = "vorneck-cli";

std::string Reason(int error) { return std::string(" (") + std::strerror(error) + ")"; }

// The usage line as the manual page writes it.
class Formatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App*, std::string) const override {
        return "Usage: vorneck-cli [OPTIONS] -o DIR SOURCE...\n";
    }
};

constexpr const char* kDescription =
    "Writes the instrument samples of music modules to files of their own: four-channel\n"
    "(M.K., M!K!, FLT4) and MMD0 to MMD3 modules, and with -a every format libxmp reads.";

constexpr const char* kExitStatusHelp =
    "Exit status:\n"
    "  0  everything asked for was done\n"
    "  1  something failed: a module could not be read or was damaged, a sample could\n"
    "     not be written or was left out, or a SOURCE named on the command line could\n"
    "     not be read or is not a module\n"
    "  2  usage error, or DIR is not a writable directory\n"
    "Files found in a SOURCE directory that are not modules are reported (unless -q)\n"
    "but do not change the exit status.\n";

struct Options {
    std::string dest;
    std::vector<std::string> sources;
    SourceOptions select;
    bool perModule = false;
    bool dryRun = false;
    bool nullTerminated = false;
    bool quiet = false;
    AudioFormat format = AudioFormat::Raw;
    std::optional<NameTemplate> names;
    std::string manifest;
    bool dedupe = false;
    bool allFormats = false;
    std::uint64_t libraryTime = 0;  // seconds of CPU time per file for the module library; 0: its default
};

// Splits a path into its directory ("." when it has none) and last name.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// The destination as given: an existing directory one may write into. The
// descriptor is kept to tell, should writes fail during the run, whether the
// directory itself went away or became unwritable.
int CheckDestination(const std::string& dest, int& error) {
    if (dest.find('\0') != std::string::npos) {
        error = EINVAL;
        return -1;
    }
    const int fd = ::open(dest.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        struct stat st {};
        if (error == EACCES && ::stat(dest.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            // A directory one may write into but not list is still usable.
            const int pathFd = ::open(dest.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (pathFd >= 0 && ::faccessat(pathFd, ".", W_OK | X_OK, AT_EACCESS) == 0) return pathFd;
            if (pathFd >= 0) ::close(pathFd);
        }
        return -1;
    }
    if (::faccessat(fd, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        error = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

// Where the manifest goes. A stream (standard output, a FIFO, a terminal or
// another character device) is written to as the run goes and never
// replaced; a regular file is replaced whole at the end, like a sample.
struct ManifestTarget {
    bool stream = false;
    bool standardOutput = false;
    int fd = -1;            // the stream's descriptor, when not standard output
    std::string directory;  // for a file: the directory it goes into ...
    std::string name;       // ... and its name there, a link the user named followed
};

// Checks the manifest's target before the run: its kind, a trailing slash,
// the directory it would go into. The reason in `why` when it cannot be used.
std::optional<ManifestTarget> CheckManifest(const std::string& path, std::string& why) {
    ManifestTarget target;
    if (path == "-") {
        target.stream = true;
        target.standardOutput = true;
        return target;
    }
    if (path.find('\0') != std::string::npos) {
        why = std::strerror(EINVAL);
        return std::nullopt;
    }
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    const int statError = errno;
    if (exists && S_ISDIR(st.st_mode)) {
        why = std::strerror(EISDIR);
        return std::nullopt;
    }
    if (!exists && (statError != ENOENT || path.back() == '/')) {
        why = std::strerror(statError);
        return std::nullopt;
    }
    if (exists && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))) {
        // Opened as a shell would for "> path": a FIFO waits for its reader.
        int fd;
        do fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY);
        while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            why = std::strerror(errno);
            return std::nullopt;
        }
        target.stream = true;
        target.fd = fd;
        return target;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        why = "not a regular file, FIFO or character device";
        return std::nullopt;
    }
    std::string resolved = path;
    struct stat own {};
    if (::lstat(path.c_str(), &own) == 0 && S_ISLNK(own.st_mode)) {
        // A link the user named is followed: the file it leads to is
        // replaced, never the link itself.
        char* real = exists ? ::realpath(path.c_str(), nullptr) : nullptr;
        if (!real) {
            why = std::string("a link to nothing (") + std::strerror(exists ? errno : ENOENT) + ")";
            return std::nullopt;
        }
        resolved = real;
        std::free(real);
    }
    std::tie(target.directory, target.name) = SplitPath(resolved);
    int error = 0;
    const int fd = CheckDestination(target.directory, error);
    if (fd < 0) {
        why = std::strerror(error);
        return std::nullopt;
    }
    ::close(fd);
    return target;
}

// Why the destination can no longer be written into, or 0.
int DestinationTrouble(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return errno;
    if (st.st_nlink == 0) return ENOENT;  // removed
    if (::faccessat(fd, ".", W_OK | X_OK, AT_EACCESS) != 0) return errno;
    return 0;
}

// The front end of one run: turns the engine's reports into lines on
// standard error, keeps the exit status, and prints the dry run's records.
class CliRun : public ErrorReporter, public StatusLine, public RunObserver {
public:
    CliRun(CliIo& io, const Options& options, const CliModuleList& list, ExtractionState& state, int destFd,
           const CliHooks& hooks, const ManifestTarget* manifest)
        : io_(io), options_(options), list_(list), state_(state), destFd_(destFd), hooks_(hooks),
          manifestTarget_(manifest) {}

    bool failed = false;
    bool refused = false;

    void Line(std::string_view line) { io_.ErrLine(line); }
    void Fail(std::string_view line) {
        failed = true;
        Line(line);
    }

    void ErrorReport(std::string_view message) override { Report({message, {}, false, 0, ReportKind::Failure}); }

    void Report(const vorneck::Report& report) override {
        if (stopped_) return;
        const std::string text(report.text);
        if (report.kind == ReportKind::Refusal) {
            // Nothing to do because a SOURCE holds no files is no usage
            // error: the run could not do what it was asked. A pattern that
            // chose none of the files there is one, as the window refuses a
            // run with nothing selected.
            if (text == kNoSelectionMessage && !list_.PatternChoseNone()) return Fail(Escaped(text));
            refused = true;
            return Line(Escaped(text));
        }
        // Re-running into the same destination is normal: an existing
        // per-module directory is simply used.
        if (text.rfind(kCreateDirectoryFailedPrefix, 0) == 0 && report.osError == EEXIST) return;
        // An empty or unreadable set of files is said file by file.
        if (text == kNoMemoryMessage && report.module.empty()) {
            noMemory_ = true;
            return;
        }
        if (report.kind == ReportKind::Unrecognised && !currentNamed_) {
            if (!options_.quiet) Line(Format(report));
            return;
        }
        if (report.osError == ENOSPC || report.osError == EDQUOT) {
            // A full disk fails every later sample too: said once, and the
            // run ends there.
            const std::string line = Format(report);
            stopped_ = true;
            state_.StopRequested = true;
            return Fail(line);
        }
        if (report.osError == ENOENT || report.osError == EACCES || report.osError == EROFS ||
            report.osError == EPERM) {
            if (const int trouble = DestinationTrouble(destFd_)) {
                // The destination itself is gone or read-only: one message,
                // not one per sample.
                stopped_ = true;
                state_.StopRequested = true;
                return Fail(std::string(kProgram) + ": " + Escaped(options_.dest) + ": " + std::strerror(trouble));
            }
        }
        Fail(Format(report));
    }

    void SetPanel(int panel, std::string_view text) override {
        if (panel >= 0 && panel < 4) panels_[panel] = std::string(text);
    }

    void EntryStarted(std::uint64_t position) override { currentNamed_ = list_.Entry(position).named; }

    void SampleDone(const SampleEvent& event) override {
        if (!options_.manifest.empty()) AddToManifest(event);
        if (!options_.dryRun || event.fate != SampleFate::Written) return;
        std::string record = options_.nullTerminated ? std::string(event.outputPath) : Escaped(event.outputPath);
        record += '\t';
        record += event.offset ? std::to_string(*event.offset) : "-";
        record += '\t';
        record += event.length ? std::to_string(*event.length) : std::to_string(event.stored.size());
        record += options_.nullTerminated ? '\0' : '\n';
        io_.Out(record);
        StopOnOutputError();
    }

    void EntryDone(std::uint64_t done, std::uint64_t total) override {
        if (manifest_.size() >= kManifestChunk) FlushManifestStream();
        if (hooks_.entryDone) hooks_.entryDone(done);
        io_.Progress(done, total);
        StopOnOutputError();
    }

    const std::string& manifest() const { return manifest_; }

    // Hands what the manifest holds so far to its stream, if it is one.
    void FlushManifestStream() {
        if (!manifestTarget_ || !manifestTarget_->stream) return;
        if (manifestTarget_->standardOutput) {
            io_.Out(manifest_);
        } else if (manifestError_ == 0) {
            std::string_view text = manifest_;
            while (!text.empty()) {
                const ssize_t n = ::write(manifestTarget_->fd, text.data(), text.size());
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) {
                    manifestError_ = n < 0 ? errno : EIO;
                    break;
                }
                text.remove_prefix(static_cast<std::size_t>(n));
            }
        }
        manifest_.clear();
    }
    int manifestError() const { return manifestError_; }
    bool noMemory() const { return noMemory_; }
    bool stopped() const { return stopped_; }
    const std::string& panel(int i) const { return panels_[i]; }

    // Files of the run that were empty, when nothing else could be loaded:
    // each is reported as what it is, a file of no known format.
    void ReportEmptyFiles() {
        for (std::uint64_t i = 0; i < list_.EntryCount(); ++i) {
            const auto& size = i < state_.FileSizes.size() ? state_.FileSizes[i] : std::nullopt;
            if (!size || *size != 0) continue;
            currentNamed_ = list_.Entry(i).named;
            const std::string message = kUnrecognisedPrefix + list_.Entry(i).path;
            Report({message, list_.Entry(i).path, true, 0, ReportKind::Unrecognised});
        }
    }

private:
    void AddToManifest(const SampleEvent& event) {
        const SampleInfo info = event.sample ? *event.sample : SampleInfo{};
        ManifestRecord record = DescribeSample(info, event.module ? *event.module : ModuleInfo{},
                                               RawForm(info, event.stored));
        record.module = std::string(event.modulePath);
        record.n = event.number;
        if (event.fate == SampleFate::Written) record.output = std::string(event.outputPath);
        record.offset = event.offset;
        record.length = event.length;
        if (event.fate == SampleFate::Duplicate) record.duplicateOf = std::string(event.duplicateOf);
        manifest_ += ManifestLine(record);
        manifest_ += '\n';
    }

    static std::string Format(const vorneck::Report& report) {
        std::string line;
        if (!report.textNamesPath && !report.module.empty()) line = Escaped(report.module) + ": ";
        line += Escaped(report.text);
        if (!report.rule.empty())
            line += " (" + std::string(report.rule) + ")";
        else if (report.osError != 0)
            line += Reason(report.osError);
        return line;
    }

    void StopOnOutputError() {
        if (io_.OutError() == 0 || stopped_) return;
        stopped_ = true;
        state_.StopRequested = true;
    }

    CliIo& io_;
    const Options& options_;
    const CliModuleList& list_;
    ExtractionState& state_;
    int destFd_;
    const CliHooks& hooks_;
    const ManifestTarget* manifestTarget_;
    int manifestError_ = 0;
    static constexpr std::size_t kManifestChunk = 64 * 1024;
    bool currentNamed_ = false;
    bool noMemory_ = false;
    bool stopped_ = false;
    std::string panels_[4];
    std::string manifest_;
};

// Parses the command line; a status to exit with when there is nothing more
// to do (help, version, usage errors).
std::optional<int> Parse(int argc, const char* const* argv, Options& options, CliIo& io) {
    CLI::App app{kDescription};
    app.name(kProgram);
    app.formatter(std::make_shared<Formatter>());
    app.footer(kExitStatusHelp);
    app.add_option("-o,--dest", options.dest, "Destination directory (must exist)")->type_name("DIR");
    app.add_flag("-m,--dir-per-module", options.perModule,
                 "Write each module's samples into a directory of its own");
    app.add_option("-p,--pattern", options.select.pattern,
                   "Take the files of a SOURCE directory whose names match PATTERN (* any run, ? one character)")
        ->type_name("PATTERN")
        ->capture_default_str();
    app.add_flag("-c,--match-case", options.select.matchCase, "Match PATTERN with regard to letter case");
    app.add_flag("-r,--recursive", options.select.recursive,
                 "Take the files of sub-directories too; outputs mirror their folders below DIR");
    app.add_flag("-n,--dry-run", options.dryRun,
                 "Write nothing; print each sample file the run would write: path, offset, length");
    app.add_flag("-0,--null", options.nullTerminated,
                 "With -n: end each record with a NUL byte and leave its path unescaped");
    std::string format = "raw";
    app.add_option("-f,--format", format,
                   "Write each sample as FORMAT: raw (its bytes as stored), wav, aiff, 8svx or flac")
        ->type_name("FORMAT")
        ->capture_default_str();
    std::string names;
    app.add_option("--name", names,
                   "Name the sample files by TEMPLATE: {n} {slot} {module} {stem} {name}, {slot:02} pads")
        ->type_name("TEMPLATE");
    app.add_option("--manifest", options.manifest,
                   "Describe every sample found in FILE, one JSON object a line")
        ->type_name("FILE");
    app.add_flag("--dedupe", options.dedupe, "Do not write a sample again whose bytes equal one written before");
    app.add_flag("-a,--all-formats", options.allFormats,
                 "Read the tracker formats (MOD family, XM, S3M, IT), every other format the module library "
                 "(libxmp) reads, and 16-bit and stereo MMD samples");
    app.add_option("--library-time", options.libraryTime,
                   "With -a: CPU time the module library may spend on one file (default 5), and six times "
                   "that in wall-clock time (at least 30)")
        ->type_name("SECONDS")
        ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{3600}));
    app.add_flag("-q,--quiet", options.quiet,
                 "Print no closing summary, and no message for non-module files found in directories");
    app.add_option("SOURCE", options.sources, "Module files, or directories whose files are taken")
        ->type_name("SOURCE");
    app.set_version_flag("-V,--version", std::string(kProgram) + " " + VORNECK_VERSION);

    std::ostringstream out;
    std::ostringstream err;
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e, out, err);
        io.Out(out.str());
        std::string text = err.str();
        while (!text.empty() && text.back() == '\n') text.pop_back();
        if (!text.empty()) io.ErrLine(text);
        return status == 0 ? kExitDone : kExitUsage;
    }
    const auto usage = [&](const std::string& message) {
        io.ErrLine(std::string(kProgram) + ": " + message);
        io.ErrLine("Run with --help for more information.");
        return kExitUsage;
    };
    if (options.dest.empty()) return usage("no destination: give one with -o DIR");
    if (options.sources.empty()) return usage("no SOURCE: name module files or directories");
    if (options.select.pattern.empty()) return usage(kNoSelectPatternMessage);
    if (options.nullTerminated && !options.dryRun) return usage("-0 goes with -n");
    const auto parsed = ParseAudioFormat(format);
    if (!parsed) return usage("--format: \"" + Escaped(format) + "\" is not one of raw, wav, aiff, 8svx, flac");
    options.format = *parsed;
    if (!names.empty()) {
        std::string error;
        options.names = NameTemplate::Parse(names, error);
        if (!options.names) return usage("--name: " + error);
    }
    if (app.count("--name") && names.empty()) return usage("--name: the template is empty");
    if (app.count("--manifest") && options.manifest.empty()) return usage("--manifest: no FILE given");
    if (options.manifest == "-" && options.dryRun)
        return usage("--manifest -: standard output carries the dry run's records");
    return std::nullopt;
}

}  // namespace

int RunCli(int argc, const char* const* argv, CliIo& io, const CliHooks& hooks) {
    Options options;
    if (const auto status = Parse(argc, argv, options, io)) return *status;

    int error = 0;
    const int destFd = CheckDestination(options.dest, error);
    if (destFd < 0) {
        io.ErrLine(std::string(kProgram) + ": " + Escaped(options.dest) + ": " + std::strerror(error));
        return kExitUsage;
    }

    std::optional<ManifestTarget> manifest;
    if (!options.manifest.empty()) {
        std::string why;
        manifest = CheckManifest(options.manifest, why);
        if (!manifest) {
            io.ErrLine(std::string(kProgram) + ": " + Escaped(options.manifest) + ": " + why);
            ::close(destFd);
            return kExitUsage;
        }
    }
    struct CloseStream {
        std::optional<ManifestTarget>& target;
        ~CloseStream() {
            if (target && target->fd >= 0) ::close(target->fd);
        }
    } closeStream{manifest};

    struct stat destStat {};
    if (::fstat(destFd, &destStat) == 0)
        options.select.skipDirectory = FileIdentity{static_cast<std::uint64_t>(destStat.st_dev),
                                                    static_cast<std::uint64_t>(destStat.st_ino)};

    CliModuleList list;
    ExtractionState state;
    CliRun run(io, options, list, state, destFd, hooks, manifest ? &*manifest : nullptr);
    if (!CollectSources(options.sources, options.select, list, [&](const std::string& m) { run.Fail(Escaped(m)); })
        && list.EntryCount() == 0) {
        ::close(destFd);
        return kExitFailed;
    }

    PosixFileOps posix;
    DryRunFileOps dry(posix);
    CliSampleOutput output(options.format, options.names, options.dedupe);
    OtherFormats otherFormats(options.libraryTime ? LimitsWithTime(options.libraryTime) : LibraryLimits{});
    Services services{options.dryRun ? static_cast<FileOps&>(dry) : posix, run, run, &run, &output,
                      options.allFormats ? &otherFormats : nullptr};
    state.DecodeWideMmd = options.allFormats;
    state.ReadTrackerFormats = options.allFormats;
    const RunOutcome outcome = ExtractSelected(state, list, {options.dest, options.perModule}, services);
    if (outcome == RunOutcome::NoMemory && run.noMemory()) run.ReportEmptyFiles();
    io.ClearProgress();
    ::close(destFd);

    // A manifest streamed gets its last lines; one on standard output is
    // all that goes there, and the summary goes to standard error instead.
    if (manifest && manifest->stream) {
        run.FlushManifestStream();
        if (run.manifestError() != 0)
            run.Fail(std::string(kProgram) + ": " + Escaped(options.manifest) + ": " +
                     std::strerror(run.manifestError()));
    }
    const bool summaryToErr = manifest && manifest->standardOutput;
    const auto summary = [&](const std::string& line) {
        if (summaryToErr)
            run.Line(line);
        else
            io.Out(line + "\n");
    };
    // The records first: a reader that went away ends the program before
    // any summary is said.
    io.Flush();
    if (!options.quiet && outcome != RunOutcome::NoSelection && !run.stopped() && io.OutError() == 0) {
        if (options.dryRun) {
            run.Line("Mods to process: " + std::to_string(state.ModsProcessed));
            run.Line("Samples to save: " + std::to_string(state.SamplesSaved));
            if (options.dedupe) run.Line("Duplicates to skip: " + std::to_string(output.duplicates()));
        } else {
            if (run.panel(0) == kCompletedStatus) summary(kCompletedStatus);
            summary("Mods Processed: " + std::to_string(state.ModsProcessed));
            summary("Samples saved: " + std::to_string(state.SamplesSaved));
            if (options.dedupe) summary("Duplicates skipped: " + std::to_string(output.duplicates()));
        }
    }
    if (manifest && !manifest->stream && !run.stopped()) {
        // Written whole or not at all, like the samples, never over a module
        // of the run nor over a file the run wrote (a sample of that name).
        int openError = 0;
        const DirHandle dir = posix.OpenDirectory(manifest->directory, openError);
        const std::string& text = run.manifest();
        const WriteResult written =
            posix.WriteFileAt(dir, manifest->name, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()},
                              ProtectingInputs(state));
        posix.CloseDirectory(dir);
        if (written.status != WriteStatus::Ok) {
            const std::string reason = written.status != WriteStatus::Refused ? std::strerror(dir == kNoDirectory ? openError : written.error)
                                       : written.rule == kRuleWrittenThisRun ? "it would replace a sample written in this run"
                                                                             : kWouldReplaceInput;
            run.Fail(std::string(kProgram) + ": " + Escaped(options.manifest) + ": " + reason);
        }
    }
    if (!io.Flush()) {
        io.ErrLine(std::string(kProgram) + ": standard output: " + std::strerror(io.OutError()));
        return kExitFailed;
    }
    if (run.refused) return kExitUsage;
    return run.failed ? kExitFailed : kExitDone;
}

}  // namespace vorneck
