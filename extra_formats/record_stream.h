// SPDX-License-Identifier: MIT
// The records a loading child sends its parent, and the parent's reading of
// them. Everything the parent reads is untrusted: every length is checked
// against what the format allows and against the output budget before a
// byte of it is held.
//
// The stream, all integers little-endian:
//   u32 magic "VXL1", u8 kind
//   kind Module:  str format, str detail, str song name, u32 sample count,
//                 then per sample: u32 slot, u8 bits, u8 channels, u32 rate,
//                 u8 loop mode, u64 loop start, u64 loop end, u8 volume,
//                 i32 finetune, i32 transpose, u64 frames, str name,
//                 frames * bits / 8 * channels bytes of PCM
//   other kinds:  u64 value (an errno, a byte count)
//   u32 magic "VEND"
// where str is u16 length (at most kMaxText) and that many bytes, no NUL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "extra_formats/module_library.h"

namespace vorneck::library {

inline constexpr std::uint32_t kStreamMagic = 0x314C5856;   // "VXL1"
inline constexpr std::uint32_t kTrailerMagic = 0x444E4556;  // "VEND"
inline constexpr std::size_t kMaxText = 64;
inline constexpr std::uint32_t kMaxSamples = 4096;

enum class AnswerKind : std::uint8_t {
    Module = 0,
    NotRecognised = 1,    // the library knows no loader for the file
    LoadFailed = 2,       // a loader took the file but could not load it
    DepackFailed = 3,     // the file is packed and could not be unpacked
    SystemError = 4,      // value: errno
    MemoryExhausted = 5,
    OutputTooLarge = 6,   // value: the decoded bytes the module holds
};

struct ChildAnswer {
    AnswerKind kind = AnswerKind::NotRecognised;
    std::uint64_t value = 0;
    LibraryModule module;  // kind Module only
};

// Buffered writing of the stream to a file descriptor (the child's end of
// the pipe). A failed write (the parent went away) makes every later call
// a no-op and Ok() false.
class StreamWriter {
public:
    explicit StreamWriter(int fd) : fd_(fd) {}
    void U8(std::uint8_t v) { Put(&v, 1); }
    void U16(std::uint16_t v);
    void U32(std::uint32_t v);
    void U64(std::uint64_t v);
    void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
    void Text(const std::string& text);  // cut to kMaxText bytes
    void Put(const void* data, std::size_t size);
    bool Flush();
    bool Ok() const { return ok_; }

private:
    int fd_;
    bool ok_ = true;
    std::vector<std::uint8_t> buffer_;
};

// Writes one whole answer: what the child sends when it has nothing to
// stream sample by sample.
void WriteAnswer(StreamWriter& out, AnswerKind kind, std::uint64_t value);

// Where the parent's bytes come from: the pipe, or memory in the tests.
class ByteSource {
public:
    enum class Status { Ok, End, TimedOut, Error };
    virtual ~ByteSource() = default;
    // Reads exactly `size` bytes; End when the stream ends first.
    virtual Status Read(void* data, std::size_t size) = 0;
};

struct ReadOutcome {
    enum class Status {
        Complete,    // a whole, well-formed answer followed by the end of the stream
        Truncated,   // the stream ended early: the child died or gave up
        Malformed,   // something no well-behaved child sends; `problem` says what
        OverBudget,  // more decoded bytes than the budget allows
        TimedOut,
        ReadError,
    };
    Status status = Status::Truncated;
    std::string problem;
    ChildAnswer answer;
};

// Reads and checks one answer. `pcmBudget` bounds the total PCM held.
ReadOutcome ReadAnswer(ByteSource& in, std::uint64_t pcmBudget);

}  // namespace vorneck::library
