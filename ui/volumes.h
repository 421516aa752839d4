// SPDX-License-Identifier: MIT
// The volumes the drive list offers: "/" first, then every other mounted
// volume that is backed by a block device or a network file system, in order
// of their mount paths. Everything here works on plain mount records; only
// ReadSystemMounts() asks the system.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorneck {

enum class VolumeKind { Removable, Fixed, Network, CdRom, Ram };

// One line of the system's mount table, with what the drive list needs to
// know about the volume mounted there.
struct MountRecord {
    std::string mountPath;
    std::string source;   // the device, or the network name of a network mount
    std::string fsType;
    std::string label;    // the volume label; empty when there is none
    bool removable = false;    // the backing device takes removable media
    bool isDirectory = true;   // false for a single file mounted over a file
    std::optional<std::uint64_t> totalBytes;  // the volume's size, when known
};

struct Volume {
    std::string mountPath;
    VolumeKind kind = VolumeKind::Fixed;
    std::string text;  // the drive list's line, UTF-8
};

// The file system types that reach another machine.
bool IsNetworkFileSystem(std::string_view fsType);

// The kind of volume a record is, or nothing when the drive list leaves it
// out: pseudo file systems, memory file systems (tmpfs), overlays,
// read-only package images (squashfs, erofs), empty volumes and mounts over
// single files.
std::optional<VolumeKind> ClassifyMount(const MountRecord& record);

// The drive list's line: the mount path, a blank, and the label in lower
// case in square brackets ("/ [system]", "/data []"); a network volume
// shows its network name in lower case instead; a removable volume shows
// its mount path only.
std::string VolumeText(const MountRecord& record, VolumeKind kind);

// The volumes of a mount table, "/" first (always present, even when the
// root is an overlay), then the others in the file list's name order of
// their mount paths. A path mounted more than once is taken from its last
// record, the one that is visible.
std::vector<Volume> VolumesFromMounts(const std::vector<MountRecord>& records);

// The index of the volume whose mount path is the longest prefix of `path`
// (whole path parts), or 0 when none is.
std::size_t DriveOfPath(const std::vector<Volume>& volumes, std::string_view path);

// Reads the kernel's mount table format (/proc/self/mountinfo): mount path,
// source and type of each line, with "\040"-style escapes undone.
std::vector<MountRecord> ParseMountInfo(std::string_view text);

// Undoes the "\x20"-style escapes of udev's /dev/disk/by-label names.
std::string DecodeUdevName(std::string_view name);

// The label of the file system on `device` (a block device, or an image
// file), read from the volume itself with libblkid; empty when it has none
// or cannot be read.
std::string ProbeVolumeLabel(const std::string& device);

// Volume labels by device. Where udev keeps its /dev/disk/by-label links
// they are taken from there (a device without a link has no label); where
// that directory is absent (containers, systems without udev) each volume
// is asked itself, with ProbeVolumeLabel.
class VolumeLabels {
public:
    explicit VolumeLabels(const std::string& byLabelDirectory = "/dev/disk/by-label");
    std::string Of(const std::string& device) const;

private:
    bool haveLinks_ = false;
    std::map<std::string, std::string> labels_;  // canonical device path -> label
};

// The system's mount table, with labels, removable flags, sizes and mount
// point kinds filled in for block-device volumes. Network volumes are not
// asked anything: a share whose server is gone would hang the call.
std::vector<MountRecord> ReadSystemMounts();

std::vector<Volume> SystemVolumes();

}  // namespace vorneck
