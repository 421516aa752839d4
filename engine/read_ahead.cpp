// SPDX-License-Identifier: MIT
#include "engine/read_ahead.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>

#include "engine/extraction_run.h"
#include "engine/tracker_formats.h"

namespace vorneck {
namespace {

// Makes the image hold at least `size` bytes, keeping its first `keep`
// bytes. False when the memory cannot be had.
bool Reserve(ModuleImage& image, std::uint64_t size, std::uint64_t keep, std::uint64_t limit) {
    if (size <= image.capacity) return true;
    if (size > limit || size > PTRDIFF_MAX) return false;
    // Round up a little so that a run over modules of similar sizes does not
    // reallocate for each one.
    const std::uint64_t capacity =
        std::min<std::uint64_t>(std::max<std::uint64_t>(size, image.capacity + image.capacity / 4), limit);
    std::unique_ptr<std::uint8_t[]> bytes(new (std::nothrow) std::uint8_t[capacity]);
    if (!bytes) return false;
    if (keep > 0) std::memcpy(bytes.get(), image.bytes.get(), keep);
    image.bytes = std::move(bytes);
    image.capacity = capacity;
    return true;
}

}  // namespace

LoadedFile LoadFile(FileOps& files, const std::string& path, std::uint64_t fileSize, ModuleImage& image,
                    std::uint64_t limit, bool trackerFormats) {
    using Step = LoadedFile::Step;
    LoadedFile loaded;
    const auto input = files.OpenInput(path, loaded.error);
    if (!input) return loaded;

    // The first bytes tell the format; only a module is loaded further, and
    // only as far as its format can address.
    const std::uint64_t head = std::min(fileSize, kDetectionBytes);
    if (!Reserve(image, std::max<std::uint64_t>(head, 1), 0, limit)) {
        loaded.step = Step::HeadNoMemory;
        return loaded;
    }
    const auto gotHead = input->Read({image.bytes.get(), static_cast<std::size_t>(head)});
    if (!gotHead || *gotHead < head) {
        loaded.step = Step::HeadReadFailed;
        loaded.error = gotHead ? 0 : EIO;
        return loaded;
    }
    loaded.size = head;
    loaded.kind = DetectModuleKind({image.bytes.get(), static_cast<std::size_t>(head)});
    // The command line's own readers of the tracker formats come before any
    // fallback; a fifteen-sample module is only known as one once its
    // patterns have been seen, so it is confirmed after loading.
    ModuleKind loadAs = loaded.kind;
    if (trackerFormats)
        loadAs = DetectTrackerKind({image.bytes.get(), static_cast<std::size_t>(head)}, fileSize, loaded.kind);
    if (loadAs == ModuleKind::None) {
        loaded.step = Step::NotModule;
        return loaded;
    }

    if ((loadAs == ModuleKind::Mmd && fileSize > kMmdImageCap) ||
        ((loadAs == ModuleKind::Xm || loadAs == ModuleKind::S3m || loadAs == ModuleKind::It) &&
         fileSize > kTrackerImageCap)) {
        loaded.kind = loadAs;
        loaded.step = Step::TooLarge;
        return loaded;
    }

    const std::uint64_t size = std::min(fileSize, AddressableSize(loadAs));
    if (!Reserve(image, size, head, limit)) {
        loaded.step = Step::NoMemory;
        return loaded;
    }
    const auto gotRest = input->Read({image.bytes.get() + head, static_cast<std::size_t>(size - head)});
    if (!gotRest || *gotRest < size - head) {
        loaded.step = Step::ReadFailed;
        loaded.error = gotRest ? 0 : EIO;
        return loaded;
    }
    loaded.size = size;
    if (loadAs != loaded.kind) loaded.kind = ConfirmTrackerKind({image.bytes.get(), static_cast<std::size_t>(size)}, loadAs, loaded.kind);
    loaded.step = loaded.kind == ModuleKind::None ? Step::NotModule : Step::Loaded;
    return loaded;
}

bool ReadAhead::Worthwhile() { return TwoCoresOrMore(); }

ReadAhead::~ReadAhead() {
    if (!thread_.joinable()) return;
    {
        auto lock = handoff_.Lock();
        stopping_ = true;
    }
    handoff_.Changed();
    thread_.join();
}

void ReadAhead::Start(std::uint64_t position, const std::string& path, std::uint64_t fileSize,
                      std::uint64_t limit) {
    Drop();
    {
        auto lock = handoff_.Lock();
        request_ = path;
        fileSize_ = fileSize;
        limit_ = limit;
        failed_ = false;
        stage_ = Stage::Requested;
    }
    if (!thread_.joinable() && !StartThread()) {
        // No thread to be had: the run reads every file itself.
        auto lock = handoff_.Lock();
        stage_ = Stage::Idle;
        return;
    }
    handoff_.Changed();
    active_ = true;
    position_ = position;
    path_ = path;
}

bool ReadAhead::StartThread() {
    if (unavailable_) return false;
    unavailable_ = !StartBeside(thread_, [this] { Work(); });
    return !unavailable_;
}

// Returns true when the thread has loaded the request (or failed at it);
// false when the request was taken back before the thread began it.
bool ReadAhead::Settle(std::unique_lock<std::mutex>& lock) {
    if (stage_ == Stage::Requested) {
        stage_ = Stage::Idle;
        return false;
    }
    handoff_.Wait(lock, [this] { return stage_ == Stage::Idle; });
    return true;
}

LoadedFile ReadAhead::Take(ModuleImage& image) {
    auto lock = handoff_.Lock();
    active_ = false;
    if (!Settle(lock) || failed_) {
        // Not begun yet, or whatever went wrong is met again, and reported,
        // by the run.
        lock.unlock();
        return LoadFile(files_, path_, fileSize_, image, limit_, trackerFormats_);
    }
    std::swap(image, image_);
    if (image_.capacity > kMostBytes) image_ = ModuleImage{};
    return result_;
}

void ReadAhead::Drop() {
    if (!active_) return;
    auto lock = handoff_.Lock();
    Settle(lock);
    active_ = false;
}

void ReadAhead::Work() {
    auto lock = handoff_.Lock();
    for (;;) {
        handoff_.Sleep(lock, [this] { return stage_ == Stage::Requested || stopping_; });
        if (stopping_) return;
        stage_ = Stage::Loading;
        lock.unlock();
        // The request's fields are not written while a load is under way.
        try {
            result_ = LoadFile(files_, request_, fileSize_, image_, limit_, trackerFormats_);
        } catch (...) {
            failed_ = true;
        }
        lock.lock();
        stage_ = Stage::Idle;
        handoff_.Changed();
    }
}

}  // namespace vorneck
