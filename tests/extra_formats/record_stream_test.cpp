// SPDX-License-Identifier: MIT
// The parent's reading of a child's answer: whatever the bytes, it ends in a
// clear outcome, holds no more than the budget and accepts only what a
// well-behaved child sends.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include "extra_formats/record_stream.h"

namespace vorneck::library {
namespace {

using Bytes = std::vector<std::uint8_t>;

class MemorySource : public ByteSource {
public:
    explicit MemorySource(Bytes bytes) : bytes_(std::move(bytes)) {}
    Status Read(void* data, std::size_t size) override {
        if (bytes_.size() - at_ < size) {
            at_ = bytes_.size();
            return Status::End;
        }
        if (size) std::memcpy(data, bytes_.data() + at_, size);
        at_ += size;
        return Status::Ok;
    }

private:
    Bytes bytes_;
    std::size_t at_ = 0;
};

struct SampleFields {
    std::uint32_t slot = 1;
    std::uint8_t bits = 8;
    std::uint8_t channels = 1;
    std::uint32_t rate = 8363;
    std::uint8_t loop = 1;
    std::uint64_t loopStart = 2;
    std::uint64_t loopEnd = 6;
    std::uint8_t volume = 64;
    std::int32_t finetune = -2;
    std::int32_t transpose = 3;
    std::uint64_t frames = 8;
    std::string name = "sample";
    std::size_t pcmBytes = SIZE_MAX;  // frames * bytes per frame unless set
};

struct StreamFields {
    std::uint32_t magic = kStreamMagic;
    std::uint8_t kind = 0;
    std::string format = "xm";
    std::string detail = "FastTracker v2.00 XM 1.04";
    std::string song = "song";
    std::vector<SampleFields> samples = {SampleFields{}, [] {
                                             SampleFields s;
                                             s.slot = 4;
                                             s.bits = 16;
                                             s.channels = 2;
                                             s.loop = 0;
                                             s.loopStart = s.loopEnd = 0;
                                             s.frames = 5;
                                             s.name = "";
                                             return s;
                                         }()};
    std::optional<std::uint32_t> count;
    std::uint32_t trailer = kTrailerMagic;
    bool extraByte = false;
};

// The stream as the format describes it, written independently of StreamWriter.
Bytes Encode(const StreamFields& f) {
    Bytes out;
    const auto put = [&](std::uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    const auto text = [&](const std::string& t) {
        put(t.size(), 2);
        out.insert(out.end(), t.begin(), t.end());
    };
    put(f.magic, 4);
    put(f.kind, 1);
    if (f.kind != 0) {
        put(12345, 8);
    } else {
        text(f.format);
        text(f.detail);
        text(f.song);
        put(f.count.value_or(static_cast<std::uint32_t>(f.samples.size())), 4);
        for (const auto& s : f.samples) {
            put(s.slot, 4);
            put(s.bits, 1);
            put(s.channels, 1);
            put(s.rate, 4);
            put(s.loop, 1);
            put(s.loopStart, 8);
            put(s.loopEnd, 8);
            put(s.volume, 1);
            put(static_cast<std::uint32_t>(s.finetune), 4);
            put(static_cast<std::uint32_t>(s.transpose), 4);
            put(s.frames, 8);
            text(s.name);
            const std::size_t pcm = s.pcmBytes != SIZE_MAX ? s.pcmBytes : s.frames * (s.bits / 8u) * s.channels;
            for (std::size_t i = 0; i < pcm; ++i) out.push_back(static_cast<std::uint8_t>(i * 13 + s.slot));
        }
    }
    put(f.trailer, 4);
    if (f.extraByte) out.push_back(0);
    return out;
}

ReadOutcome Read(const Bytes& bytes, std::uint64_t budget = 1 << 20) {
    MemorySource source(bytes);
    return ReadAnswer(source, budget);
}

TEST(RecordStream, WellFormedAnswerIsReadWhole) {
    const ReadOutcome out = Read(Encode(StreamFields{}));
    ASSERT_EQ(out.status, ReadOutcome::Status::Complete) << out.problem;
    EXPECT_EQ(out.answer.kind, AnswerKind::Module);
    const LibraryModule& m = out.answer.module;
    EXPECT_EQ(m.module.format, "xm");
    EXPECT_EQ(m.formatDetail, "FastTracker v2.00 XM 1.04");
    EXPECT_EQ(m.module.songName, "song");
    ASSERT_EQ(m.samples.size(), 2u);
    const SampleInfo& a = m.samples[0].info;
    EXPECT_EQ(a.slot, 1);
    EXPECT_EQ(a.loopMode, LoopMode::Forward);
    EXPECT_EQ(a.loopStart, 2u);
    EXPECT_EQ(a.loopEnd, 6u);
    EXPECT_EQ(a.finetune, -2);
    EXPECT_EQ(a.transpose, 3);
    EXPECT_EQ(a.name, "sample");
    EXPECT_TRUE(a.decoded);
    EXPECT_EQ(a.encoding, DecodedPcm(8, 1));
    EXPECT_EQ(m.samples[0].pcm.size(), 8u);
    EXPECT_EQ(m.samples[0].pcm[1], 14);
    const SampleInfo& b = m.samples[1].info;
    EXPECT_EQ(b.slot, 4);
    EXPECT_EQ(b.encoding, DecodedPcm(16, 2));
    EXPECT_EQ(b.loopMode, LoopMode::None);
    EXPECT_EQ(m.samples[1].pcm.size(), 20u);
    EXPECT_EQ(m.samples[1].Frames(), 5u);
}

TEST(RecordStream, WriterProducesTheFormat) {
    const int fd = ::memfd_create("answer", 0);
    ASSERT_GE(fd, 0);
    StreamWriter writer(fd);
    WriteAnswer(writer, AnswerKind::MemoryExhausted, 12345);
    EXPECT_TRUE(writer.Ok());
    Bytes written(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)));
    ASSERT_EQ(::pread(fd, written.data(), written.size(), 0), static_cast<ssize_t>(written.size()));
    ::close(fd);
    StreamFields f;
    f.kind = static_cast<std::uint8_t>(AnswerKind::MemoryExhausted);
    EXPECT_EQ(written, Encode(f));
    const ReadOutcome out = Read(written);
    ASSERT_EQ(out.status, ReadOutcome::Status::Complete);
    EXPECT_EQ(out.answer.kind, AnswerKind::MemoryExhausted);
    EXPECT_EQ(out.answer.value, 12345u);
}

TEST(RecordStream, WriterStopsOnceTheReaderIsGone) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    StreamWriter writer(ends[1]);
    writer.Put(Bytes(200000, 1).data(), 200000);
    EXPECT_FALSE(writer.Flush());
    EXPECT_FALSE(writer.Ok());
    ::sigaction(SIGPIPE, &previous, nullptr);
    ::close(ends[1]);
}

TEST(RecordStream, EveryBreachOfTheFormatIsMalformed) {
    const std::vector<std::pair<const char*, std::function<void(StreamFields&)>>> cases = {
        {"magic", [](StreamFields& f) { f.magic = 0x12345678; }},
        {"answer kind", [](StreamFields& f) { f.kind = 7; }},
        {"long text", [](StreamFields& f) { f.song.assign(kMaxText + 1, 'x'); }},
        {"NUL in text", [](StreamFields& f) { f.samples[0].name = std::string("a\0b", 3); }},
        {"too many samples", [](StreamFields& f) { f.count = kMaxSamples + 1; }},
        {"slot 0", [](StreamFields& f) { f.samples[0].slot = 0; }},
        {"slots out of order", [](StreamFields& f) { f.samples[1].slot = 1; }},
        {"negative slot", [](StreamFields& f) { f.samples[1].slot = 0x80000000u; }},
        {"bits", [](StreamFields& f) { f.samples[0].bits = 24; }},
        {"channels", [](StreamFields& f) { f.samples[0].channels = 3; }},
        {"no rate", [](StreamFields& f) { f.samples[0].rate = 0; }},
        {"rate too high", [](StreamFields& f) { f.samples[0].rate = 1'000'001; }},
        {"loop mode", [](StreamFields& f) { f.samples[0].loop = 3; }},
        {"volume", [](StreamFields& f) { f.samples[0].volume = 65; }},
        {"no frames", [](StreamFields& f) { f.samples[0].frames = 0; }},
        {"loop past the end", [](StreamFields& f) { f.samples[0].loopEnd = 9; }},
        {"empty loop", [](StreamFields& f) { f.samples[0].loopStart = 6; }},
        {"loop bounds without a loop", [](StreamFields& f) { f.samples[1].loopEnd = 2; }},
        {"end marker", [](StreamFields& f) { f.trailer = 0; }},
        {"data after the end", [](StreamFields& f) { f.extraByte = true; }},
        {"more samples than announced", [](StreamFields& f) { f.count = 1; }},
    };
    for (const auto& [what, breach] : cases) {
        StreamFields f;
        breach(f);
        const ReadOutcome out = Read(Encode(f));
        EXPECT_EQ(out.status, ReadOutcome::Status::Malformed) << what;
        EXPECT_FALSE(out.problem.empty()) << what;
    }
}

TEST(RecordStream, EveryCutShortStreamIsTruncated) {
    const Bytes whole = Encode(StreamFields{});
    for (std::size_t size = 0; size < whole.size(); ++size) {
        const ReadOutcome out = Read(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)));
        EXPECT_EQ(out.status, ReadOutcome::Status::Truncated) << "cut at " << size;
    }
}

TEST(RecordStream, PcmBeyondTheBudgetIsRefusedBeforeItIsHeld) {
    StreamFields f;  // 8 + 20 bytes of PCM
    EXPECT_EQ(Read(Encode(f), 28).status, ReadOutcome::Status::Complete);
    EXPECT_EQ(Read(Encode(f), 27).status, ReadOutcome::Status::OverBudget);

    // Claims whose byte count overflows 64 bits, with no data behind them.
    for (const std::uint64_t frames : {std::uint64_t{1} << 62, UINT64_MAX}) {
        StreamFields huge;
        huge.samples.resize(1);
        huge.samples[0].bits = 16;
        huge.samples[0].channels = 2;
        huge.samples[0].loop = 0;
        huge.samples[0].loopStart = huge.samples[0].loopEnd = 0;
        huge.samples[0].frames = frames;
        huge.samples[0].pcmBytes = 0;
        EXPECT_EQ(Read(Encode(huge), UINT64_MAX / 2).status, ReadOutcome::Status::OverBudget);
    }
}

}  // namespace
}  // namespace vorneck::library
