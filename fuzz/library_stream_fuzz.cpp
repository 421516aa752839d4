// SPDX-License-Identifier: MIT
// Arbitrary bytes as a loading child's answer: the parent's reading must end
// in an outcome without crashing, and a complete answer must hold only
// consistent samples within the budget.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "extra_formats/record_stream.h"

namespace {

class MemorySource : public vorneck::library::ByteSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    Status Read(void* out, std::size_t size) override {
        if (size_ - at_ < size) {
            at_ = size_;
            return Status::End;
        }
        if (size) std::memcpy(out, data_ + at_, size);
        at_ += size;
        return Status::Ok;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The budget comes from the input too, so that both sides of it are reached.
    std::uint64_t budget = 1 << 16;
    if (size >= 2) {
        budget = (std::uint64_t{data[0]} << 8 | data[1]) * 4;
        data += 2;
        size -= 2;
    }
    MemorySource source(data, size);
    const auto outcome = vorneck::library::ReadAnswer(source, budget);
    if (outcome.status != vorneck::library::ReadOutcome::Status::Complete) return 0;
    std::uint64_t total = 0;
    for (const auto& sample : outcome.answer.module.samples) {
        const auto& info = sample.info;
        if (sample.pcm.size() != sample.Frames() * info.encoding.BytesPerFrame() || sample.pcm.empty()) std::abort();
        if (info.loopMode != vorneck::LoopMode::None && info.loopEnd > sample.Frames()) std::abort();
        total += sample.pcm.size();
    }
    if (total > budget) std::abort();
    return 0;
}
