// SPDX-License-Identifier: MIT
// Reading the next module, and writing the next samples, on second threads
// changes nothing the run shows: the same messages in the same order, the
// same numbers and files, whatever fails where.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/read_ahead.h"
#include "engine/write_ahead.h"
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

struct Seen {
    std::vector<std::string> errors;
    std::vector<std::string> status;
    std::vector<std::pair<std::string, SampleFate>> events;
    std::vector<std::string> files;
    std::vector<std::string> read;
    std::int64_t saved = 0;
    std::int64_t processed = 0;
};

struct Ways {
    bool readAhead = false;
    bool writeAhead = false;
    bool perModule = false;
};

// One run over a list in which nearly everything goes wrong somewhere.
Seen RunWith(Ways ways, const std::string& tag) {
    TempDir src;
    TempDir out;
    std::vector<std::string> names;
    const auto add = [&](const std::string& name, const Bytes& bytes) {
        src.Write(name, bytes);
        names.push_back(name);
    };
    add("a.mod", ModWith({100, 200, 300}));
    add("b-unreadable.mod", ModWith({10}));
    add("c.txt", Bytes(3000, 'c'));
    add("d-short.mod", ModWith({400}));
    add("e.mod", ModWith({50, 60}));
    add("f-big.mod", ModWith({60000, 60000, 60000}));  // more than the image may hold
    add("g-empty.mod", Bytes{});
    add("h-damaged.mod", ModWith({500, 500}));
    add("i.mod", ModWith({70, 80, 90}));
    add("j-large.mod", ModWith({65000, 65000}));
    // Samples shared by two instruments, an empty slot, a synthetic one.
    demo::MmdRecipe med;
    med.signature = "MMD1";
    for (int i = 0; i < 6; ++i) med.instruments.push_back({false, 0, Bytes(300 + 40 * i, static_cast<std::uint8_t>(i))});
    med.instruments[2].empty = true;
    med.instruments[4].type = -1;
    std::vector<demo::SampleRange> ranges;
    Bytes medBytes = demo::BuildMmd(med, &ranges);
    add("k.med", medBytes);
    add("l-same.mod", ModWith({90, 90, 90, 90}));
    add("m.mod", ModWith({30, 40, 50, 60, 70, 80}));
    // h's second sample runs past its end.
    Bytes damaged = ReadAll(src / "h-damaged.mod");
    damaged.resize(damaged.size() - 200);
    src.Write("h-damaged.mod", damaged);
    // Outputs that cannot be created use no number, refused ones use one:
    // the next names depend on how each write went.
    const std::string e = ways.perModule ? "e.mod/" : "";
    const std::string i = ways.perModule ? "i.mod/" : "";
    out.Write(i + "1_i.mod", Bytes{});
    std::filesystem::create_directories(out / (e + "0_e.mod"));
    // An earlier run's file of m's, holding its bytes, then new names again.
    out.Write((ways.perModule ? "m.mod/" : "") + std::string("2_m.mod"), Bytes(50, 3));

    RunHarness h;
    h.state.ReadAheadAllowed = ways.readAhead;
    h.state.WriteAheadAllowed = ways.writeAhead;
    h.state.ModuleImageLimit = 150000;
    h.files.failRead = [](const std::string& path) { return path.find("b-unreadable") != std::string::npos; };
    h.files.shortRead = [](const std::string& path) { return path.find("d-short") != std::string::npos; };
    h.files.failCreate = [](const std::string& name) { return name == "1_a.mod" || name == "3_m.mod"; };
    h.Run(ListOf(src.path(), names), out.path(), ways.perModule);

    Seen seen;
    const auto strip = [&](std::string text) {
        for (const std::string* dir : {&src.path(), &out.path()})
            for (std::size_t at; (at = text.find(*dir)) != std::string::npos;) text.replace(at, dir->size(), tag);
        return text;
    };
    for (const auto& e : h.recorder.errors) seen.errors.push_back(strip(e));
    for (const auto& s : h.recorder.statusLog) seen.status.push_back(strip(s));
    for (const auto& e : h.recorder.events) seen.events.emplace_back(strip(e.path), e.fate);
    for (const auto& f : FilesIn(out.path())) {
        const auto bytes = std::filesystem::is_regular_file(out / f) ? ReadAll(out / f) : Bytes{};
        seen.files.push_back(f + ":" + std::string(bytes.begin(), bytes.end()));
    }
    for (const auto& r : h.files.read) seen.read.push_back(strip(r));
    seen.saved = h.state.SamplesSaved;
    seen.processed = h.state.ModsProcessed;
    return seen;
}

TEST(ReadAhead, TheRunLooksTheSameWithAndWithout) {
    if (!ReadAhead::Worthwhile() || !WriteAhead::Worthwhile()) GTEST_SKIP() << "one core: nothing is done ahead";
    for (const bool perModule : {false, true}) {
        SCOPED_TRACE(perModule ? "a directory per module" : "one directory");
        const Seen alone = RunWith({false, false, perModule}, "T");
        for (int round = 0; round < 4; ++round) {
            for (const Ways ways : {Ways{true, false, perModule}, Ways{false, true, perModule},
                                    Ways{true, true, perModule}}) {
                const Seen ahead = RunWith(ways, "T");
                EXPECT_EQ(ahead.errors, alone.errors);
                EXPECT_EQ(ahead.status, alone.status);
                EXPECT_EQ(ahead.events, alone.events);
                EXPECT_EQ(ahead.files, alone.files);
                EXPECT_EQ(ahead.read, alone.read);
                EXPECT_EQ(ahead.saved, alone.saved);
                EXPECT_EQ(ahead.processed, alone.processed);
            }
        }
        // The run met every kind of trouble it was meant to: failed creates
        // (whose numbers are used again), failed and short reads, files of
        // no format, no memory, a damaged module, an instrument of no
        // sample, a taken name holding other bytes and one holding the same.
        EXPECT_EQ(alone.errors.size(), perModule ? 18u : 14u);
        EXPECT_EQ(alone.saved, 19);
    }
}

TEST(ReadAhead, LoadsFilesAsTheRunWould) {
    TempDir dir;
    const Bytes module = ModWith({100, 200});
    dir.Write("m.mod", module);
    dir.Write("t.txt", Bytes(5000, 't'));
    PosixFileOps files;
    ReadAhead ahead(files);
    ModuleImage image;

    ahead.Start(3, dir / "m.mod", module.size(), UINT64_MAX);
    EXPECT_TRUE(ahead.Holds(3, dir / "m.mod"));
    EXPECT_FALSE(ahead.Holds(4, dir / "m.mod"));
    EXPECT_FALSE(ahead.Holds(3, dir / "other.mod"));
    LoadedFile loaded = ahead.Take(image);
    EXPECT_EQ(loaded.step, LoadedFile::Step::Loaded);
    EXPECT_EQ(loaded.kind, ModuleKind::FourChannel);
    ASSERT_EQ(loaded.size, module.size());
    EXPECT_EQ(Bytes(image.bytes.get(), image.bytes.get() + loaded.size), module);
    EXPECT_FALSE(ahead.Holds(3, dir / "m.mod"));

    // Not a module: only its first bytes are read.
    ahead.Start(0, dir / "t.txt", 5000, UINT64_MAX);
    loaded = ahead.Take(image);
    EXPECT_EQ(loaded.step, LoadedFile::Step::NotModule);
    EXPECT_EQ(loaded.size, kDetectionBytes);

    // A load started and never taken is dropped; a missing file fails to open.
    ahead.Start(1, dir / "m.mod", module.size(), UINT64_MAX);
    ahead.Start(2, dir / "gone.mod", 10, UINT64_MAX);
    loaded = ahead.Take(image);
    EXPECT_EQ(loaded.step, LoadedFile::Step::OpenFailed);
    EXPECT_EQ(loaded.error, ENOENT);

    // Over the memory limit: no memory, and the run is told so.
    ReadAhead fresh(files);
    fresh.Start(5, dir / "m.mod", module.size(), 2000);
    ModuleImage other;
    EXPECT_EQ(fresh.Take(other).step, LoadedFile::Step::NoMemory);
    ahead.Start(6, dir / "m.mod", module.size(), UINT64_MAX);
    // Destroyed with a load under way: it waits for it.
}

}  // namespace
}  // namespace vorneck
