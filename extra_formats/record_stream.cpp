// SPDX-License-Identifier: MIT
#include "extra_formats/record_stream.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "extra_formats/tuning.h"

namespace vorneck::library {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
constexpr std::size_t kPcmChunk = 1 << 20;

class Reader {
public:
    explicit Reader(ByteSource& in) : in_(in) {}

    bool Raw(void* data, std::size_t size) {
        if (failed_) return false;
        status_ = in_.Read(data, size);
        failed_ = status_ != ByteSource::Status::Ok;
        return !failed_;
    }
    bool U8(std::uint8_t& v) { return Raw(&v, 1); }
    bool U16(std::uint16_t& v) { return Int(v); }
    bool U32(std::uint32_t& v) { return Int(v); }
    bool U64(std::uint64_t& v) { return Int(v); }
    bool I32(std::int32_t& v) {
        std::uint32_t u = 0;
        if (!Int(u)) return false;
        v = static_cast<std::int32_t>(u);
        return true;
    }
    ByteSource::Status status() const { return status_; }

private:
    template <typename T>
    bool Int(T& v) {
        std::uint8_t bytes[sizeof(T)];
        if (!Raw(bytes, sizeof(T))) return false;
        v = 0;
        for (std::size_t i = sizeof(T); i-- > 0;) v = static_cast<T>((v << 8) | bytes[i]);
        return true;
    }

    ByteSource& in_;
    ByteSource::Status status_ = ByteSource::Status::Ok;
    bool failed_ = false;
};

ReadOutcome Stopped(const Reader& reader) {
    ReadOutcome out;
    switch (reader.status()) {
        case ByteSource::Status::TimedOut:
            out.status = ReadOutcome::Status::TimedOut;
            break;
        case ByteSource::Status::Error:
            out.status = ReadOutcome::Status::ReadError;
            break;
        default:
            out.status = ReadOutcome::Status::Truncated;
            break;
    }
    return out;
}

ReadOutcome Malformed(std::string problem) {
    ReadOutcome out;
    out.status = ReadOutcome::Status::Malformed;
    out.problem = std::move(problem);
    return out;
}

// A text field; false with `problem` set when it breaks the format's rules.
bool ReadText(Reader& reader, std::string& text, std::string& problem, const char* what) {
    std::uint16_t length = 0;
    if (!reader.U16(length)) return false;
    if (length > kMaxText) {
        problem = std::string(what) + " of " + std::to_string(length) + " bytes";
        return false;
    }
    text.assign(length, '\0');
    if (!reader.Raw(text.data(), length)) return false;
    if (text.find('\0') != std::string::npos) {
        problem = std::string(what) + " with a NUL byte";
        return false;
    }
    return true;
}

}  // namespace

void StreamWriter::U16(std::uint16_t v) {
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    Put(b, 2);
}

void StreamWriter::U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v));
    U16(static_cast<std::uint16_t>(v >> 16));
}

void StreamWriter::U64(std::uint64_t v) {
    U32(static_cast<std::uint32_t>(v));
    U32(static_cast<std::uint32_t>(v >> 32));
}

void StreamWriter::Text(const std::string& text) {
    const std::size_t length = std::min(text.size(), kMaxText);
    U16(static_cast<std::uint16_t>(length));
    Put(text.data(), length);
}

void StreamWriter::Put(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (size >= kBufferSize) {
        // Large blocks (sample data) go out as they are.
        if (!Flush()) return;
        while (ok_ && size > 0) {
            const ssize_t n = ::write(fd_, bytes, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ok_ = false;
                return;
            }
            bytes += n;
            size -= static_cast<std::size_t>(n);
        }
        return;
    }
    while (ok_ && size > 0) {
        if (buffer_.size() >= kBufferSize && !Flush()) return;
        const std::size_t take = std::min(size, kBufferSize - std::min(buffer_.size(), kBufferSize));
        buffer_.insert(buffer_.end(), bytes, bytes + take);
        bytes += take;
        size -= take;
    }
}

bool StreamWriter::Flush() {
    std::size_t done = 0;
    while (ok_ && done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok_ = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
    return ok_;
}

void WriteAnswer(StreamWriter& out, AnswerKind kind, std::uint64_t value) {
    out.U32(kStreamMagic);
    out.U8(static_cast<std::uint8_t>(kind));
    out.U64(value);
    out.U32(kTrailerMagic);
    out.Flush();
}

ReadOutcome ReadAnswer(ByteSource& in, std::uint64_t pcmBudget) {
    Reader reader(in);
    std::uint32_t magic = 0;
    std::uint8_t kind = 0;
    if (!reader.U32(magic)) return Stopped(reader);
    if (magic != kStreamMagic) return Malformed("no stream header");
    if (!reader.U8(kind)) return Stopped(reader);

    ReadOutcome out;
    out.answer.kind = static_cast<AnswerKind>(kind);
    if (kind > static_cast<std::uint8_t>(AnswerKind::OutputTooLarge))
        return Malformed("unknown answer " + std::to_string(kind));

    if (out.answer.kind != AnswerKind::Module) {
        if (!reader.U64(out.answer.value)) return Stopped(reader);
    } else {
        auto& module = out.answer.module;
        std::string problem;
        if (!ReadText(reader, module.module.format, problem, "format name") ||
            !ReadText(reader, module.formatDetail, problem, "format description") ||
            !ReadText(reader, module.module.songName, problem, "song name"))
            return problem.empty() ? Stopped(reader) : Malformed(problem);
        std::uint32_t count = 0;
        if (!reader.U32(count)) return Stopped(reader);
        if (count > kMaxSamples) return Malformed(std::to_string(count) + " samples");

        std::uint64_t used = 0;
        std::int32_t lastSlot = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            LibrarySample sample;
            SampleInfo& info = sample.info;
            std::uint32_t slot = 0;
            std::uint8_t bits = 0;
            std::uint8_t channels = 0;
            std::uint8_t loop = 0;
            std::uint8_t volume = 0;
            std::uint64_t frames = 0;
            if (!reader.U32(slot) || !reader.U8(bits) || !reader.U8(channels) || !reader.U32(info.rate) ||
                !reader.U8(loop) || !reader.U64(info.loopStart) || !reader.U64(info.loopEnd) ||
                !reader.U8(volume) || !reader.I32(info.finetune) || !reader.I32(info.transpose) ||
                !reader.U64(frames))
                return Stopped(reader);
            if (!ReadText(reader, info.name, problem, "sample name"))
                return problem.empty() ? Stopped(reader) : Malformed(problem);

            const std::string which = "sample " + std::to_string(i + 1) + ": ";
            if (slot == 0 || slot > 0x7FFFFFFF || static_cast<std::int32_t>(slot) <= lastSlot)
                return Malformed(which + "slot " + std::to_string(slot) + " out of order");
            if (bits != 8 && bits != 16) return Malformed(which + std::to_string(bits) + " bits");
            if (channels != 1 && channels != 2) return Malformed(which + std::to_string(channels) + " channels");
            if (info.rate == 0 || info.rate > kMaxRate) return Malformed(which + "rate " + std::to_string(info.rate));
            if (loop > static_cast<std::uint8_t>(LoopMode::PingPong))
                return Malformed(which + "loop mode " + std::to_string(loop));
            if (volume > 64) return Malformed(which + "volume " + std::to_string(volume));
            if (frames == 0) return Malformed(which + "no frames");
            info.loopMode = static_cast<LoopMode>(loop);
            if (info.loopMode == LoopMode::None ? (info.loopStart != 0 || info.loopEnd != 0)
                                                : !(info.loopStart < info.loopEnd && info.loopEnd <= frames))
                return Malformed(which + "loop outside the sample");

            const std::uint64_t bytesPerFrame = (bits / 8u) * channels;
            const std::uint64_t left = pcmBudget - used;
            if (frames > left / bytesPerFrame) {
                out.status = ReadOutcome::Status::OverBudget;
                out.problem = which + std::to_string(frames) + " frames exceed the budget";
                return out;
            }
            const std::uint64_t size = frames * bytesPerFrame;
            // Held as it arrives, never more than has been received.
            for (std::uint64_t done = 0; done < size;) {
                const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, kPcmChunk));
                sample.pcm.resize(static_cast<std::size_t>(done) + take);
                if (!reader.Raw(sample.pcm.data() + done, take)) return Stopped(reader);
                done += take;
            }
            used += size;

            info.slot = static_cast<std::int32_t>(slot);
            lastSlot = info.slot;
            info.volume = volume;
            info.encoding = DecodedPcm(bits, channels);
            info.decoded = true;
            module.samples.push_back(std::move(sample));
        }
    }

    std::uint32_t trailer = 0;
    if (!reader.U32(trailer)) return Stopped(reader);
    if (trailer != kTrailerMagic) return Malformed("no end marker");
    std::uint8_t extra = 0;
    if (reader.Raw(&extra, 1)) return Malformed("data after the end marker");
    if (reader.status() != ByteSource::Status::End) return Stopped(reader);
    out.status = ReadOutcome::Status::Complete;
    return out;
}

}  // namespace vorneck::library
