// SPDX-License-Identifier: MIT
// What a run may and may not do to the user's disk: links at output paths,
// a destination swapped during the run, full disks, the inputs themselves,
// hostile sample tables, huge files, long names and name collisions.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sys/mount.h>

#include "demo/tracker_builder.h"
#include "engine/sample_writer.h"
#include "tests/support/engine_fixtures.h"

namespace vorneck {
namespace {

using demo::Bytes;
using testing::FilesIn;
using testing::ListOf;
using testing::ModWith;
using testing::ReadAll;
using testing::RunHarness;
using testing::TempDir;

// The modules of a list given as whole paths, in the order given.
class PathList : public ModuleList {
public:
    explicit PathList(std::vector<std::string> paths) : paths_(std::move(paths)) {}
    std::uint64_t EntryCount() const override { return paths_.size(); }
    std::uint64_t SelectedCount() const override { return paths_.size(); }
    bool IsSelected(std::uint64_t p) const override { return p < paths_.size(); }
    std::string EntryText(std::uint64_t p) const override { return paths_.at(p); }
    std::string EntryPath(std::uint64_t p) const override { return paths_.at(p); }

private:
    std::vector<std::string> paths_;
};

TEST(SafeWriting, LinksAtOutputPathsAreReplacedNotFollowed) {
    TempDir src;
    TempDir out;
    TempDir home;
    src.Write("song.mod", ModWith({10, 20, 30}));
    const auto bashrc = home.Write(".bashrc", Bytes(7, 'b'));
    std::filesystem::create_symlink(bashrc, out / "0_song.mod");
    std::filesystem::create_symlink(home / "planted", out / "1_song.mod");
    std::filesystem::create_hard_link(bashrc, out / "2_song.mod");
    RunHarness h;
    h.Run(ListOf(src.path(), {"song.mod"}), out.path());
    EXPECT_TRUE(h.recorder.errors.empty());
    EXPECT_EQ(ReadAll(bashrc), Bytes(7, 'b'));
    EXPECT_FALSE(std::filesystem::exists(home / "planted"));
    for (int i = 0; i < 3; ++i) {
        const std::string path = out / (std::to_string(i) + "_song.mod");
        EXPECT_FALSE(std::filesystem::is_symlink(path));
        EXPECT_EQ(ReadAll(path), Bytes(10 * (i + 1), static_cast<std::uint8_t>(i + 1)));
    }
}

TEST(SafeWriting, APerModuleDirectoryThatIsALinkIsNotFilled) {
    TempDir src;
    TempDir out;
    TempDir elsewhere;
    src.Write("song.mod", ModWith({10, 20}));
    std::filesystem::create_directory_symlink(elsewhere.path(), out / "song.mod");
    RunHarness h;
    h.Run(ListOf(src.path(), {"song.mod"}), out.path(), true);
    EXPECT_TRUE(FilesIn(elsewhere.path()).empty());
    // The directory cannot be made, and no sample can be created in it; the
    // failed first sample keeps number 0, so the directory step runs twice.
    const std::vector<std::string> expected = {
        "Unable to create directory: " + out / "song.mod",
        "Failed to create: " + out / "song.mod/0_song.mod",
        "Unable to create directory: " + out / "song.mod",
        "Failed to create: " + out / "song.mod/0_song.mod",
    };
    EXPECT_EQ(h.recorder.errors, expected);
    EXPECT_EQ(h.state.SamplesSaved, 0);
}

TEST(SafeWriting, ADestinationSwappedDuringTheRunIsNotFollowed) {
    TempDir src;
    TempDir base;
    TempDir elsewhere;
    src.Write("a.mod", ModWith({10}));
    src.Write("b.mod", ModWith({10}));
    const std::string dest = base.Mkdir("dest");
    RunHarness h;
    h.recorder.onEntryDone = [&](std::uint64_t done, std::uint64_t) {
        if (done != 1) return;
        std::filesystem::rename(dest, base / "moved");
        std::filesystem::create_directory_symlink(elsewhere.path(), dest);
    };
    h.Run(ListOf(src.path(), {"a.mod", "b.mod"}), dest);
    EXPECT_TRUE(FilesIn(elsewhere.path()).empty());
    EXPECT_EQ(FilesIn(base / "moved"), (std::vector<std::string>{"0_a.mod", "0_b.mod"}));

    // The same with per-module directories: b's directory is made in the
    // directory the run opened.
    RunHarness h2;
    const std::string dest2 = base.Mkdir("dest2");
    h2.recorder.onEntryDone = [&](std::uint64_t done, std::uint64_t) {
        if (done != 1) return;
        std::filesystem::rename(dest2, base / "moved2");
        std::filesystem::create_directory_symlink(elsewhere.path(), dest2);
    };
    h2.Run(ListOf(src.path(), {"a.mod", "b.mod"}), dest2, true);
    EXPECT_TRUE(FilesIn(elsewhere.path()).empty());
    EXPECT_EQ(FilesIn(base / "moved2"),
              (std::vector<std::string>{"a.mod/", "a.mod/0_a.mod", "b.mod/", "b.mod/0_b.mod"}));
}

TEST(SafeWriting, AFullDiskKeepsTheEarlierOutput) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", ModWith({8000}));
    const auto old = out.Write("0_a.mod", Bytes(500, 'o'));
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* previous = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = saved;
    limit.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    RunHarness h;
    h.Run(ListOf(src.path(), {"a.mod"}), out.path());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);
    EXPECT_EQ(h.recorder.errors, std::vector<std::string>{"Failed to write (disk full?): " + out / "0_a.mod"});
    EXPECT_EQ(h.recorder.reports.at(0).osError, EFBIG);
    EXPECT_EQ(ReadAll(old), Bytes(500, 'o'));
    EXPECT_EQ(FilesIn(out.path()), std::vector<std::string>{"0_a.mod"});
}

TEST(SafeWriting, SelectedInputsAreNeverReplaced) {
    // The destination is the source folder, and a selected module is named
    // like an output of another: whichever comes first, it is kept whole and
    // extracted itself, and the other module's sample that would replace it
    // is refused but keeps its number.
    for (const bool outputFirst : {false, true}) {
        TempDir dir;
        const Bytes inputModule = ModWith({40, 50});
        dir.Write("x.mod", ModWith({10, 20}));
        dir.Write("0_x.mod", inputModule);
        RunHarness h;
        const std::vector<std::string> order =
            outputFirst ? std::vector<std::string>{"0_x.mod", "x.mod"} : std::vector<std::string>{"x.mod", "0_x.mod"};
        h.Run(ListOf(dir.path(), order), dir.path());
        EXPECT_EQ(ReadAll(dir / "0_x.mod"), inputModule);
        EXPECT_EQ(h.recorder.errors, std::vector<std::string>{"Failed to create: " + dir / "0_x.mod"});
        EXPECT_EQ(ReadAll(dir / "1_x.mod"), Bytes(20, 2));  // x's second sample keeps its name
        EXPECT_EQ(ReadAll(dir / "0_0_x.mod"), Bytes(40, 1));
        EXPECT_EQ(ReadAll(dir / "1_0_x.mod"), Bytes(50, 2));
        EXPECT_EQ(h.state.SamplesSaved, 3);
        EXPECT_EQ(h.recorder.events.at(outputFirst ? 2 : 0).fate, SampleFate::Refused);
    }
}

TEST(SafeWriting, AModuleListedByALinkKeepsItsLink) {
    // The link is what the user selected: an output of that name must not
    // replace it, though a link elsewhere would be replaced.
    TempDir dir;
    TempDir elsewhere;
    const auto target = elsewhere.Write("real.mod", ModWith({30}));
    dir.Write("x.mod", ModWith({10, 20}));
    std::filesystem::create_symlink(target, dir / "0_x.mod");
    RunHarness h;
    h.Run(ListOf(dir.path(), {"0_x.mod", "x.mod"}), dir.path());
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "0_x.mod"));
    EXPECT_EQ(h.recorder.errors, std::vector<std::string>{"Failed to create: " + dir / "0_x.mod"});
    EXPECT_EQ(ReadAll(dir / "1_x.mod"), Bytes(20, 2));
    EXPECT_EQ(ReadAll(dir / "0_0_x.mod"), Bytes(30, 1));
}

TEST(SafeWriting, NoPathIsWrittenTwiceInOneRun) {
    TempDir a;
    TempDir b;
    TempDir out;
    a.Write("song.mod", ModWith({10, 20}));
    b.Write("song.mod", ModWith({30, 40, 50}));
    RunHarness h;
    PathList list({a / "song.mod", b / "song.mod"});
    h.Run(list, out.path());
    const std::vector<std::string> expected = {
        "Failed to create: " + out / "0_song.mod",
        "Failed to create: " + out / "1_song.mod",
    };
    EXPECT_EQ(h.recorder.errors, expected);
    EXPECT_EQ(ReadAll(out / "0_song.mod"), Bytes(10, 1));
    EXPECT_EQ(ReadAll(out / "1_song.mod"), Bytes(20, 2));
    EXPECT_EQ(ReadAll(out / "2_song.mod"), Bytes(50, 3));  // numbers were used up
    EXPECT_EQ(h.state.SamplesSaved, 3);

    // A later run may replace them again.
    RunHarness h2;
    h2.Run(PathList({b / "song.mod"}), out.path());
    EXPECT_TRUE(h2.recorder.errors.empty());
    EXPECT_EQ(ReadAll(out / "0_song.mod"), Bytes(30, 1));
}

// An MMD whose 255 table entries all point at one 4000-byte instrument.
Bytes OneInstrumentEverywhere() {
    demo::MmdRecipe recipe;
    recipe.instruments.push_back({false, 0, Bytes(4000, 9), {}});
    for (int i = 1; i < 255; ++i) recipe.instruments.push_back({true, 0, {}, {}});
    demo::MmdLayout layout;
    Bytes module = demo::BuildMmd(recipe, nullptr, &layout);
    for (std::size_t i = 1; i < 255; ++i)
        demo::PutBe32(module, layout.table + 4 * i, static_cast<std::uint32_t>(layout.instruments[0]));
    return module;
}

TEST(SafeWriting, AModuleWritesNoMoreThanItsOwnSize) {
    TempDir src;
    TempDir out;
    const Bytes module = OneInstrumentEverywhere();
    src.Write("loop.med", module);
    RunHarness h;
    h.Run(ListOf(src.path(), {"loop.med"}), out.path());
    // The first copy fits in the file; the second would go past its size, so
    // it and every later slot are left out, with one message.
    EXPECT_EQ(FilesIn(out.path()), std::vector<std::string>{"0_loop.med"});
    EXPECT_EQ(h.recorder.errors, std::vector<std::string>{"Module is truncated or damaged: " + src / "loop.med"});
    EXPECT_EQ(h.recorder.events.size(), 255u);
    EXPECT_EQ(h.recorder.events[1].fate, SampleFate::Skipped);

    // The bound is per module: the next module is written in full.
    src.Write("next.mod", ModWith({100, 100}));
    RunHarness h2;
    h2.Run(ListOf(src.path(), {"loop.med", "next.mod"}), out.path());
    EXPECT_EQ(h2.state.SamplesSaved, 3);
    EXPECT_EQ(h2.recorder.errors.size(), 1u);
}

TEST(SafeWriting, BigFilesCostNoMoreMemoryThanTheModule) {
    TempDir src;
    TempDir out;
    const Bytes module = ModWith({3000, 5000});
    src.Write("a.mod", module);
    // A sparse 30 GB file that is no module, and a 6 GB one that looks like
    // a four-channel module: only the first bytes of the one and what the
    // format can address of the other are read.
    for (const auto& [name, size, header] :
         {std::tuple{"huge.bin", std::uint64_t{30} << 30, Bytes{}}, std::tuple{"huge.mod", std::uint64_t{6} << 30, module}}) {
        const int fd = ::open((src / name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        if (!header.empty()) {
            ASSERT_EQ(::write(fd, header.data(), header.size()), static_cast<ssize_t>(header.size()));
        }
        if (::ftruncate(fd, static_cast<off_t>(size)) != 0) {
            ::close(fd);
            GTEST_SKIP() << "no sparse files here";
        }
        ::close(fd);
    }
    RunHarness h;
    std::uint64_t largestImage = 0;
    h.recorder.onEntryDone = [&](std::uint64_t, std::uint64_t) {
        largestImage = std::max(largestImage, h.state.ModuleImageCapacity);
    };
    h.Run(ListOf(src.path(), {"a.mod", "huge.bin", "huge.mod"}), out.path());
    EXPECT_EQ(h.recorder.errors, std::vector<std::string>{"Unrecognised file format: " + src / "huge.bin"});
    EXPECT_EQ(ReadAll(out / "1_a.mod"), Bytes(5000, 2));
    EXPECT_EQ(ReadAll(out / "1_huge.mod"), Bytes(5000, 2));
    EXPECT_LE(largestImage, AddressableSize(ModuleKind::FourChannel) * 5 / 4);
    EXPECT_LE(h.files.bytesRead, 2 * module.size() + AddressableSize(ModuleKind::FourChannel) + kDetectionBytes);
}

TEST(SafeWriting, AModuleThatCannotGetMemoryIsSkipped) {
    TempDir src;
    TempDir out;
    src.Write("big.mod", ModWith({60000, 60000}));
    src.Write("small.mod", ModWith({100}));
    RunHarness h;
    h.state.ModuleImageLimit = 50000;
    h.Run(ListOf(src.path(), {"big.mod", "small.mod"}), out.path());
    EXPECT_EQ(h.recorder.errors, std::vector<std::string>{"Unable to allocate memory. " + src / "big.mod"});
    EXPECT_EQ(FilesIn(out.path()), std::vector<std::string>{"0_small.mod"});
    EXPECT_EQ(h.state.ModsProcessed, 1);
    EXPECT_EQ(h.recorder.panels[0], "Vorneck completed.");
}

TEST(SafeWriting, NamesAreShortenedAtCharacterBoundaries) {
    EXPECT_EQ(CutAtCharacter("abcdef", 4), "abcd");
    EXPECT_EQ(CutAtCharacter("abc", 4), "abc");
    // "é" is two bytes and "日" three: neither is split.
    EXPECT_EQ(CutAtCharacter("ab\xC3\xA9", 3), "ab");
    EXPECT_EQ(CutAtCharacter("a\xE6\x97\xA5z", 3), "a");
    EXPECT_EQ(CutAtCharacter("a\xE6\x97\xA5z", 4), "a\xE6\x97\xA5");
    // Bytes that are not UTF-8 count one each.
    EXPECT_EQ(CutAtCharacter("ab\xA9\xA9", 3), "ab\xA9");
    EXPECT_EQ(DefaultSampleName(7, "song.mod", 255), "7_song.mod");
    EXPECT_EQ(DefaultSampleName(12, "song.mod", 6), "12_son");

    // A 254-byte module name: every sample is written under a name that
    // fits, and all names differ.
    TempDir src;
    TempDir out;
    const std::string name = std::string(125, 'a') + std::string(43, 'b') + "\xC3\xA9" + std::string(80, 'c') + ".mod";
    ASSERT_EQ(name.size(), 254u);
    src.Write(name, ModWith(std::vector<std::size_t>(12, 16)));
    RunHarness h;
    h.Run(ListOf(src.path(), {name}), out.path(), true);
    EXPECT_TRUE(h.recorder.errors.empty());
    EXPECT_EQ(h.state.SamplesSaved, 12);
    EXPECT_EQ(FilesIn(out.path()).size(), 13u);
}

TEST(SafeWriting, ANameLongerThanTheFileSystemTakesIsShortened) {
    TempDir src;
    TempDir out;
    src.Write("a-long-module-name.mod", ModWith({10, 10}));
    RunHarness h;
    h.files.nameMax = 12;
    h.Run(ListOf(src.path(), {"a-long-module-name.mod"}), out.path(), true);
    EXPECT_TRUE(h.recorder.errors.empty());
    EXPECT_EQ(FilesIn(out.path()), (std::vector<std::string>{"a-long-modul/", "a-long-modul/0_a-long-mod",
                                                             "a-long-modul/1_a-long-mod"}));
}

TEST(SafeWriting, SamplesThatExactlyFillTheModuleAreAllWritten) {
    // The module padded so that its size is a whole number of copies of its
    // one instrument: those copies fit, to the last byte.
    const Bytes module = OneInstrumentEverywhere();
    const std::size_t copy = 4000;
    const std::size_t copies = module.size() / copy + 1;
    ASSERT_GE(copies, 2u);
    for (const std::size_t size : {copies * copy, copies * copy - 1}) {
        TempDir src;
        TempDir out;
        Bytes padded = module;
        padded.resize(size, 0);
        src.Write("full.med", padded);
        RunHarness h;
        h.Run(ListOf(src.path(), {"full.med"}), out.path());
        const bool fits = size == copies * copy;
        EXPECT_EQ(h.state.SamplesSaved, static_cast<std::int64_t>(fits ? copies : copies - 1)) << size;
        EXPECT_EQ(h.recorder.errors.size(), 1u) << size;  // the later slots still pass the bound
        EXPECT_EQ(h.recorder.events[fits ? copies : copies - 1].fate, SampleFate::Skipped) << size;
    }
}

// --- The run's own outputs are known by the files themselves -------------

TEST(SafeWritingOutputs, AFileWrittenInTheRunIsKnownUnderAnyName) {
    // Two names of one file (as a file system that folds letter case makes
    // "0_Song.mod" and "0_song.mod"): a hard link stands in for the second
    // spelling. The second module's sample must not replace the first's.
    TempDir a;
    TempDir out;
    a.Write("a.mod", ModWith({10, 20}));
    a.Write("b.mod", ModWith({30}));
    RunHarness h;
    h.recorder.onEntryDone = [&](std::uint64_t done, std::uint64_t) {
        if (done == 1) std::filesystem::create_hard_link(out / "0_a.mod", out / "0_b.mod");
    };
    h.Run(ListOf(a.path(), {"a.mod", "b.mod"}), out.path());
    EXPECT_EQ(ReadAll(out / "0_a.mod"), Bytes(10, 1));
    EXPECT_EQ(h.recorder.errors, std::vector<std::string>{"Failed to create: " + out / "0_b.mod"});
    ASSERT_EQ(h.recorder.events.size(), 3u);
    EXPECT_EQ(h.recorder.events[2].fate, SampleFate::Refused);
    EXPECT_EQ(h.state.SamplesSaved, 2);
    // Nothing of the refused write stays behind.
    EXPECT_EQ(FilesIn(out.path()), (std::vector<std::string>{"0_a.mod", "0_b.mod", "1_a.mod"}));
}

TEST(SafeWritingOutputs, TwoFoldersThatAreOneAreWrittenOnce) {
    // The same directory under two names (a bind mount, as root): the
    // modules' outputs meet in one file, and the second is refused.
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for a bind mount";
    TempDir src;
    TempDir out;
    src.Write("A/song.mod", ModWith({10}));
    src.Write("B/song.mod", ModWith({20}));
    out.Mkdir("A");
    out.Mkdir("B");
    if (::mount((out / "A").c_str(), (out / "B").c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "no bind mount here";
    RunHarness h;
    PathList list({src / "A/song.mod", src / "B/song.mod"});
    h.Run(list, out / "A");
    RunHarness h2;
    // The same through the per-folder outputs of one destination.
    class Mirrored : public PathList {
    public:
        using PathList::PathList;
        std::string EntryOutputDirectory(std::uint64_t p) const override { return p == 0 ? "A" : "B"; }
    };
    h2.Run(Mirrored({src / "A/song.mod", src / "B/song.mod"}), out.path());
    ::umount((out / "B").c_str());
    EXPECT_EQ(h.recorder.errors, std::vector<std::string>{"Failed to create: " + out / "A/0_song.mod"});
    EXPECT_EQ(h2.recorder.errors, std::vector<std::string>{"Failed to create: " + out / "B/0_song.mod"});
    EXPECT_EQ(ReadAll(out / "A/0_song.mod"), Bytes(10, 1));
}

TEST(SafeWritingOutputs, LetterCaseFoldedOnFatIsOneFile) {
    // A real FAT file system through FUSE, where each spelling of a name
    // even gets an inode of its own: "0_Song.mod" and "0_song.mod" are one
    // file, and so are the folders "Amiga" and "amiga".
    if (::geteuid() != 0 || std::system("command -v mkfs.vfat >/dev/null && command -v fusefat >/dev/null") != 0)
        GTEST_SKIP() << "needs root, mkfs.vfat and fusefat";
    TempDir base;
    const std::string image = base / "fat.img";
    const std::string mount = base.Mkdir("fat");
    if (std::system(("truncate -s 8M " + image + " && mkfs.vfat " + image + " >/dev/null && fusefat -o rw+ " +
                     image + " " + mount + " >/dev/null 2>&1")
                        .c_str()) != 0)
        GTEST_SKIP() << "cannot mount a FAT image here";
    TempDir src;
    src.Write("Song.mod", ModWith({10, 20}));
    src.Write("other/song.mod", ModWith({30, 40}));
    RunHarness h;
    h.Run(PathList({src / "Song.mod", src / "other/song.mod"}), mount);
    const Bytes first = ReadAll(mount + "/0_Song.mod");
    const auto files = FilesIn(mount);
    ::umount(mount.c_str());
    EXPECT_EQ(first, Bytes(10, 1));
    EXPECT_EQ(files.size(), 2u);
    EXPECT_EQ(h.recorder.errors, (std::vector<std::string>{"Failed to create: " + mount + "/0_song.mod",
                                                           "Failed to create: " + mount + "/1_song.mod"}));
    EXPECT_EQ(h.state.SamplesSaved, 2);
}

// --- Inputs are protected whether or not they can be read ----------------

TEST(SafeWritingInputs, AnInputThatCannotBeOpenedIsStillProtected) {
    // The destination is the source folder; 0_x.mod is listed but cannot be
    // opened (no permission): it is reported, and x.mod's first sample must
    // not replace it.
    TempDir dir;
    dir.Write("x.mod", ModWith({10, 20}));
    const Bytes unreadable = Bytes(77, 'u');
    dir.Write("0_x.mod", unreadable);
    RunHarness h;
    h.files.failMeasure = [](const std::string& path) { return path.ends_with("/0_x.mod"); };
    h.Run(ListOf(dir.path(), {"0_x.mod", "x.mod"}), dir.path());
    EXPECT_EQ(ReadAll(dir / "0_x.mod"), unreadable);
    EXPECT_EQ(h.recorder.errors, (std::vector<std::string>{"Unable to open: " + dir / "0_x.mod",
                                                           "Failed to create: " + dir / "0_x.mod"}));
    EXPECT_EQ(ReadAll(dir / "1_x.mod"), Bytes(20, 2));

    // The same with a real mode-000 file, where permissions hold (not root).
    if (::geteuid() == 0) return;
    TempDir dir2;
    dir2.Write("x.mod", ModWith({10, 20}));
    dir2.Write("0_x.mod", unreadable);
    ::chmod((dir2 / "0_x.mod").c_str(), 0);
    RunHarness h2;
    h2.Run(ListOf(dir2.path(), {"0_x.mod", "x.mod"}), dir2.path());
    ::chmod((dir2 / "0_x.mod").c_str(), 0644);
    EXPECT_EQ(ReadAll(dir2 / "0_x.mod"), unreadable);
}

// --- Memory and output are bounded by what real modules need -------------

TEST(SafeWritingBounds, AnMmdPastTheImageCapIsSkippedUnread) {
    // A small MMD whose one instrument claims most of a sparse file: the
    // holes cost no disk, and must cost no memory nor output either.
    TempDir src;
    TempDir out;
    demo::MmdRecipe recipe;
    recipe.instruments.push_back({false, 0, Bytes(4000, 9), {}});
    demo::MmdLayout layout;
    Bytes module = demo::BuildMmd(recipe, nullptr, &layout);
    const std::uint64_t size = kMmdImageCap + 4096;
    demo::PutBe32(module, layout.instruments[0], static_cast<std::uint32_t>(size - layout.instruments[0] - 6));
    const auto path = src.Write("sparse.med", module);
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(size)), 0);
    src.Write("small.mod", ModWith({100}));
    RunHarness h;
    std::uint64_t largestImage = 0;
    h.recorder.onEntryDone = [&](std::uint64_t, std::uint64_t) {
        largestImage = std::max(largestImage, h.state.ModuleImageCapacity);
    };
    h.Run(ListOf(src.path(), {"small.mod", "sparse.med"}), out.path());
    EXPECT_EQ(h.recorder.errors, std::vector<std::string>{std::string(kTooLargePrefix) + path});
    EXPECT_EQ(FilesIn(out.path()), std::vector<std::string>{"0_small.mod"});
    EXPECT_LE(h.files.bytesRead, 2 * kDetectionBytes + 100 * 1024);
    EXPECT_LE(largestImage, std::uint64_t{1} << 20);
    EXPECT_EQ(h.state.ModsProcessed, 1);

    // At the cap, a module is read as before.
    demo::PutBe32(module, layout.instruments[0], 4000);
    src.Write("fits.med", module);
    ASSERT_EQ(::truncate((src / "fits.med").c_str(), static_cast<off_t>(kMmdImageCap)), 0);
    RunHarness h2;
    h2.Run(ListOf(src.path(), {"fits.med"}), out.path());
    EXPECT_TRUE(h2.recorder.errors.empty());
    EXPECT_EQ(ReadAll(out / "0_fits.med"), Bytes(4000, 9));
}

TEST(SafeWritingBounds, ATrackerModulePastItsCapIsSkippedUnread) {
    // The tracker readers load up to the 32-bit offsets of XM, S3M and IT;
    // a sparse file past the cap must not cost its size in memory.
    TempDir src;
    TempDir out;
    demo::XmRecipe recipe;
    demo::TrackerSample sample;
    sample.values = demo::WaveValues(demo::Wave::Sine, 500, 8);
    recipe.instruments.push_back({"one", {sample}});
    const auto path = src.Write("sparse.xm", demo::BuildXm(recipe));
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kTrackerImageCap + 4096)), 0);
    RunHarness h;
    h.state.ReadTrackerFormats = true;
    h.Run(ListOf(src.path(), {"sparse.xm"}), out.path());
    EXPECT_EQ(h.recorder.errors, std::vector<std::string>{std::string(kTrackerTooLargePrefix) + path});
    EXPECT_TRUE(FilesIn(out.path()).empty());
    EXPECT_LE(h.files.bytesRead, kDetectionBytes);
    EXPECT_LE(h.state.ModuleImageCapacity, std::uint64_t{1} << 20);
}

}  // namespace
}  // namespace vorneck
