// SPDX-License-Identifier: MIT
#include "extra_formats/library_child.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <xmp.h>

#include <bit>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "extra_formats/record_stream.h"
#include "extra_formats/tuning.h"

#if defined(__SANITIZE_ADDRESS__)
#define VORNECK_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORNECK_UNDER_ASAN 1
#endif
#endif

// Present in builds with a sanitizer: the callback a sanitizer's report runs
// before the process dies.
extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

namespace vorneck::library {
namespace {

// What the child found for one sample, before any of it is sent.
struct Found {
    int index = 0;
    std::uint64_t frames = 0;
    std::uint8_t bits = 8;
    LoopMode loop = LoopMode::None;
    std::uint64_t loopStart = 0;
    std::uint64_t loopEnd = 0;
    std::uint32_t rate = 8363;
    std::uint8_t volume = 64;
    std::int32_t finetune = 0;
    std::int32_t transpose = 0;
    std::string name;
};

std::string Text(const char* text, std::size_t size) { return std::string(text, strnlen(text, size)); }

// Cuts the child off from the parent: signal handlers and mask, descriptors,
// the terminal, the environment's programs and temporary directory.
void Isolate(const ChildSetup& setup) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != setup.parentPid) _exit(kExitInternalError);  // the parent is already gone
    setpgid(0, 0);

    // The caller's signal handlers (a CLI's may remove its partial output
    // on SIGINT) must not run here: every signal gets its default action.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int sig = 1; sig < NSIG; ++sig)
        if (sig != SIGKILL && sig != SIGSTOP) sigaction(sig, &action, nullptr);
    // A parent that stops reading must not kill the child mid-write with a
    // signal; the failed write ends it instead.
    action.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &action, nullptr);
    sigset_t all;
    sigemptyset(&all);
    sigprocmask(SIG_SETMASK, &all, nullptr);
    // Nor does the parent's sanitizer death callback (a fuzzer's writes the
    // current input as a crash of its own): a fault in the library ends the
    // child alone.
    if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(nullptr);

    // The library's diagnostics must not reach the caller's terminal.
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        if (null > STDERR_FILENO) close(null);
    }
    // Nothing of the parent's open files stays reachable (nor keeps another
    // child's pipe open), only the answer's pipe.
    const int fd = setup.outputFd;
    if (fd > STDERR_FILENO + 1) close_range(STDERR_FILENO + 1, static_cast<unsigned>(fd - 1), 0);
    close_range(static_cast<unsigned>(fd + 1), ~0U, 0);

    const auto limit = [](int resource, std::uint64_t value) {
        struct rlimit r {};
        r.rlim_cur = value;
        r.rlim_max = value;
        setrlimit(resource, &r);
    };
    limit(RLIMIT_CORE, 0);
    if (setup.cpuSeconds) {
        // SIGXCPU at the soft limit, SIGKILL a second later.
        struct rlimit r {};
        r.rlim_cur = setup.cpuSeconds;
        r.rlim_max = setup.cpuSeconds + 1;
        setrlimit(RLIMIT_CPU, &r);
    }
    if (setup.fileSizeLimit) limit(RLIMIT_FSIZE, setup.fileSizeLimit);
    if (setup.addressSpace && AddressSpaceLimitApplies()) limit(RLIMIT_AS, setup.addressSpace);

    // The library unpacks some packed files through temporary files (in
    // TMPDIR) and hands a few formats to external programs found on PATH
    // (unrar, unmo3): the temporary files go to a directory the parent
    // removes whatever happens, and no program is found.
    setenv("TMPDIR", setup.tempDirectory.c_str(), 1);
    setenv("PATH", "/dev/null", 1);
}

AnswerKind FailureKind(int code, int savedErrno) {
    // No loader took the file, whatever a loader's test left in errno.
    if (-code == XMP_ERROR_FORMAT) return AnswerKind::NotRecognised;
    // A loader (or unpacker) that took it ran out of memory under the limit.
    if (savedErrno == ENOMEM) return AnswerKind::MemoryExhausted;
    switch (-code) {
        case XMP_ERROR_DEPACK:
            return AnswerKind::DepackFailed;
        case XMP_ERROR_SYSTEM:
            return AnswerKind::SystemError;
        default:
            return AnswerKind::LoadFailed;
    }
}

// The first sub-instrument that plays sample `index`: where the library
// keeps the sample's volume and tuning.
const xmp_subinstrument* SubFor(const xmp_module& mod, int index, const xmp_instrument** owner) {
    if (!mod.xxi) return nullptr;
    for (int i = 0; i < mod.ins; ++i) {
        const auto& ins = mod.xxi[i];
        if (!ins.sub) continue;
        for (int k = 0; k < ins.nsm; ++k) {
            if (ins.sub[k].sid == index) {
                *owner = &ins;
                return &ins.sub[k];
            }
        }
    }
    return nullptr;
}

// What kind of MMD instrument the library made `owner` from. Sampled and
// multi-octave instruments get a release from their decay (never 0); hybrid
// and synthetic ones none. A synthetic instrument has one sample per
// waveform, each a short wave looped whole.
MedInstrument MedKind(const xmp_instrument& owner, const xmp_sample& sample) {
    if (owner.rls != 0) return owner.nsm > 1 ? MedInstrument::MultiOctave : MedInstrument::Sampled;
    constexpr int kLongestWaveform = 256;
    const bool waveform = (sample.flg & XMP_SAMPLE_LOOP) && sample.lps == 0 && sample.lpe == sample.len &&
                          sample.len <= kLongestWaveform;
    return owner.nsm > 1 || waveform ? MedInstrument::Synthetic : MedInstrument::Hybrid;
}

std::vector<Found> Samples(const xmp_module& mod, bool tunedFromRate, bool mmd) {
    std::vector<Found> found;
    if (!mod.xxs) return found;
    for (int i = 0; i < mod.smp; ++i) {
        const xmp_sample& s = mod.xxs[i];
        if (s.len <= 0 || !s.data || (s.flg & XMP_SAMPLE_SYNTH)) continue;
        Found f;
        f.index = i;
        f.bits = (s.flg & XMP_SAMPLE_16BIT) ? 16 : 8;
        f.frames = static_cast<std::uint64_t>(s.len);
        if ((s.flg & XMP_SAMPLE_LOOP) && s.lps >= 0 && s.lps < s.lpe && s.lpe <= s.len) {
            f.loop = (s.flg & XMP_SAMPLE_LOOP_BIDIR) ? LoopMode::PingPong : LoopMode::Forward;
            f.loopStart = static_cast<std::uint64_t>(s.lps);
            f.loopEnd = static_cast<std::uint64_t>(s.lpe);
            // Every frame is sent, also those after the loop end: the few
            // the library overwrites there are marked by the parent (see
            // LibraryAlteredFrames), every later one is the module's own.
        }
        const xmp_instrument* owner = nullptr;
        if (const xmp_subinstrument* sub = SubFor(mod, i, &owner)) {
            f.volume = static_cast<std::uint8_t>(sub->vol < 0 ? 0 : sub->vol > 64 ? 64 : sub->vol);
            if (mmd) {
                // The module's own tuning, as the engine's walker reads it.
                const MedTuning tuning = MedTuningFromLibrary(MedKind(*owner, s), sub->xpo, sub->fin);
                f.rate = TunedRate(tuning.transpose, tuning.finetune);
                f.transpose = tuning.transpose;
                f.finetune = tuning.finetune;
            } else {
                f.rate = RateFromTuning(sub->xpo, sub->fin, tunedFromRate);
                // Formats tuned by a rate have no transpose or finetune of
                // their own (the library's are its rendering of the rate);
                // the others keep theirs, the finetune in eighths of a semitone.
                if (!tunedFromRate) {
                    f.transpose = sub->xpo;
                    f.finetune =
                        static_cast<std::int32_t>(sub->fin >= 0 ? (sub->fin + 8) / 16 : -((8 - sub->fin) / 16));
                }
            }
        }
        // Formats that name instruments, not samples (MOD, S3M, IT without
        // instruments), leave the sample's name empty in the library.
        f.name = Text(s.name, sizeof s.name);
        if (f.name.empty() && owner) f.name = Text(owner->name, sizeof owner->name);
        found.push_back(std::move(f));
    }
    return found;
}

void SendModule(StreamWriter& out, const xmp_module& mod, const std::string& loaderName,
                const std::vector<Found>& found) {
    out.U32(kStreamMagic);
    out.U8(static_cast<std::uint8_t>(AnswerKind::Module));
    out.Text(FormatName(loaderName));
    out.Text(Text(mod.type, sizeof mod.type));
    out.Text(Text(mod.name, sizeof mod.name));
    out.U32(static_cast<std::uint32_t>(found.size()));
    std::vector<std::uint8_t> swapped;
    for (const auto& f : found) {
        out.U32(static_cast<std::uint32_t>(f.index + 1));
        out.U8(f.bits);
        out.U8(1);  // the library (4.5) keeps no stereo samples
        out.U32(f.rate);
        out.U8(static_cast<std::uint8_t>(f.loop));
        out.U64(f.loopStart);
        out.U64(f.loopEnd);
        out.U8(f.volume);
        out.I32(f.finetune);
        out.I32(f.transpose);
        out.U64(f.frames);
        out.Text(f.name);
        const unsigned char* data = mod.xxs[f.index].data;
        const std::size_t bytes = static_cast<std::size_t>(f.frames) * (f.bits / 8u);
        if (f.bits == 16 && std::endian::native == std::endian::big) {
            // The library holds 16-bit samples in the machine's byte order.
            swapped.assign(data, data + bytes);
            for (std::size_t i = 0; i + 1 < bytes; i += 2) std::swap(swapped[i], swapped[i + 1]);
            out.Put(swapped.data(), bytes);
        } else {
            out.Put(data, bytes);
        }
    }
    out.U32(kTrailerMagic);
}

void Load(const ChildSetup& setup, StreamWriter& out) {
    xmp_test_info info{};
    errno = 0;
    int code = xmp_test_module(setup.path.c_str(), &info);
    if (code < 0) {
        const int savedErrno = errno;
        WriteAnswer(out, FailureKind(code, savedErrno), static_cast<std::uint64_t>(savedErrno));
        return;
    }
    const std::string loaderName = Text(info.type, sizeof info.type);

    xmp_context context = xmp_create_context();
    if (!context) throw std::bad_alloc();
    errno = 0;
    code = xmp_load_module(context, setup.path.c_str());
    if (code < 0) {
        const int savedErrno = errno;
        WriteAnswer(out, FailureKind(code, savedErrno), static_cast<std::uint64_t>(savedErrno));
        return;
    }
    xmp_module_info moduleInfo{};
    xmp_get_module_info(context, &moduleInfo);
    if (!moduleInfo.mod) {
        WriteAnswer(out, AnswerKind::LoadFailed, 0);
        return;
    }
    const xmp_module& mod = *moduleInfo.mod;
    const std::vector<Found> found = Samples(mod, TunedFromRate(loaderName), IsMmdLoader(loaderName));

    std::uint64_t total = 0;
    for (const auto& f : found) total += f.frames * (f.bits / 8u);
    if (total > setup.pcmBudget) {
        WriteAnswer(out, AnswerKind::OutputTooLarge, total);
        return;
    }
    SendModule(out, mod, loaderName, found);
    out.Flush();
    // The module is left loaded: the process ends now and takes it along.
}

}  // namespace

bool AddressSpaceLimitApplies() {
#ifdef VORNECK_UNDER_ASAN
    return false;
#else
    return true;
#endif
}

void RunLoadingChild(const ChildSetup& setup, const std::function<void(int)>& hook) {
    Isolate(setup);
    StreamWriter out(setup.outputFd);
    try {
        if (hook) hook(setup.outputFd);
        Load(setup, out);
    } catch (const std::bad_alloc&) {
        _exit(kExitOutOfMemory);
    } catch (...) {
        _exit(kExitInternalError);
    }
    // _exit, not exit: the parent's unflushed stdio buffers and atexit
    // handlers belong to the parent.
    _exit(out.Ok() ? 0 : kExitWriteFailed);
}

}  // namespace vorneck::library
