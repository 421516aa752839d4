// SPDX-License-Identifier: MIT
#include "ui/volumes.h"

#include <QString>
#include <blkid/blkid.h>
#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include "ui/dir_paths.h"
#include "ui/name_order.h"

namespace vorneck {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Volumes on a disk, a partition, a loop image or a pool of disks.
bool IsBlockBacked(const MountRecord& record) {
    return StartsWith(record.source, "/dev/") || record.fsType == "zfs";
}

std::string Lower(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toLower().toStdString();
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Undoes the kernel's octal escapes of blanks, tabs, newlines and
// backslashes in mount table fields.
std::string UnescapeMountField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out += static_cast<char>(((a - '0') << 6) | ((b - '0') << 3) | (c - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::string ReadWholeFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string CanonicalPath(const std::string& path) {
    char buffer[PATH_MAX];
    if (::realpath(path.c_str(), buffer) == nullptr) return path;
    return buffer;
}

// Whether the disk behind a device node takes removable media; a partition
// asks its disk.
bool IsRemovableDevice(const std::string& deviceNode) {
    struct stat st {};
    if (::stat(deviceNode.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return false;
    const std::string base =
        "/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
    for (const char* candidate : {"/removable", "/../removable"}) {
        std::string value = ReadWholeFile((base + candidate).c_str());
        if (!value.empty()) return value[0] == '1';
    }
    return false;
}

}  // namespace

bool IsNetworkFileSystem(std::string_view fsType) {
    static constexpr std::array<std::string_view, 16> kTypes = {
        "nfs",  "nfs4",      "cifs",          "smb3",         "smbfs",         "ncpfs",
        "afs",  "ceph",      "9p",            "glusterfs",    "fuse.glusterfs", "fuse.sshfs",
        "davfs", "fuse.rclone", "fuse.s3fs", "lustre",
    };
    return std::find(kTypes.begin(), kTypes.end(), fsType) != kTypes.end();
}

std::optional<VolumeKind> ClassifyMount(const MountRecord& record) {
    if (IsNetworkFileSystem(record.fsType)) return VolumeKind::Network;
    static constexpr std::array<std::string_view, 7> kLeftOut = {
        "tmpfs", "ramfs", "overlay", "squashfs", "erofs", "devtmpfs", "aufs",
    };
    if (std::find(kLeftOut.begin(), kLeftOut.end(), record.fsType) != kLeftOut.end()) return std::nullopt;
    if (!IsBlockBacked(record) || !record.isDirectory) return std::nullopt;
    if (record.totalBytes && *record.totalBytes == 0) return std::nullopt;

    const std::string_view source = record.source;
    if (record.fsType == "iso9660" || record.fsType == "udf" || StartsWith(source, "/dev/sr") ||
        StartsWith(source, "/dev/scd") || StartsWith(source, "/dev/cdrom"))
        return VolumeKind::CdRom;
    if (StartsWith(source, "/dev/ram") || StartsWith(source, "/dev/zram")) return VolumeKind::Ram;
    if (record.removable) return VolumeKind::Removable;
    return VolumeKind::Fixed;
}

std::string VolumeText(const MountRecord& record, VolumeKind kind) {
    switch (kind) {
        case VolumeKind::Removable:
            return record.mountPath;
        case VolumeKind::Network:
            if (!record.source.empty()) return record.mountPath + " " + Lower(record.source);
            break;
        default:
            break;
    }
    return record.mountPath + " [" + Lower(record.label) + "]";
}

std::vector<Volume> VolumesFromMounts(const std::vector<MountRecord>& records) {
    // Later mounts over the same path hide the earlier ones.
    std::map<std::string, const MountRecord*> visible;
    for (const MountRecord& record : records) visible[record.mountPath] = &record;

    std::vector<Volume> volumes;
    bool haveRoot = false;
    for (const auto& [path, record] : visible) {
        const std::optional<VolumeKind> kind = ClassifyMount(*record);
        if (!kind) continue;
        haveRoot = haveRoot || path == "/";
        volumes.push_back({path, *kind, VolumeText(*record, *kind)});
    }
    if (!haveRoot) {
        // The root is always offered, whatever it is made of (in a
        // container it is often an overlay).
        MountRecord root;
        root.mountPath = "/";
        if (auto it = visible.find("/"); it != visible.end()) root.label = it->second->label;
        volumes.push_back({"/", VolumeKind::Fixed, VolumeText(root, VolumeKind::Fixed)});
    }
    std::sort(volumes.begin(), volumes.end(), [](const Volume& a, const Volume& b) {
        if ((a.mountPath == "/") != (b.mountPath == "/")) return a.mountPath == "/";
        return ListNameLess(a.mountPath, b.mountPath);
    });
    return volumes;
}

std::size_t DriveOfPath(const std::vector<Volume>& volumes, std::string_view path) {
    std::size_t best = 0;
    std::size_t bestLength = 0;
    for (std::size_t i = 0; i < volumes.size(); ++i) {
        const std::string& mount = volumes[i].mountPath;
        if (PathIsUnder(path, mount) && mount.size() > bestLength) {
            best = i;
            bestLength = mount.size();
        }
    }
    return best;
}

std::vector<MountRecord> ParseMountInfo(std::string_view text) {
    std::vector<MountRecord> records;
    std::size_t lineStart = 0;
    while (lineStart < text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) lineEnd = text.size();
        const std::string_view line = text.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;

        std::vector<std::string_view> fields;
        std::size_t pos = 0;
        while (pos < line.size()) {
            std::size_t blank = line.find(' ', pos);
            if (blank == std::string_view::npos) blank = line.size();
            if (blank > pos) fields.push_back(line.substr(pos, blank - pos));
            pos = blank + 1;
        }
        // id parent major:minor root mount-path options [optional...] - type source super-options
        const auto separator = std::find(fields.begin() + std::min<std::size_t>(fields.size(), 6), fields.end(), "-");
        if (fields.size() < 6 || separator == fields.end() || fields.end() - separator < 3) continue;
        MountRecord record;
        record.mountPath = UnescapeMountField(fields[4]);
        record.fsType = UnescapeMountField(separator[1]);
        record.source = UnescapeMountField(separator[2]);
        if (record.mountPath.empty() || record.mountPath.front() != '/') continue;
        records.push_back(std::move(record));
    }
    return records;
}

std::string DecodeUdevName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            const int high = HexDigit(name[i + 2]);
            const int low = HexDigit(name[i + 3]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>((high << 4) | low);
                i += 3;
                continue;
            }
        }
        out += name[i];
    }
    return out;
}

std::string ProbeVolumeLabel(const std::string& device) {
    blkid_probe probe = blkid_new_probe_from_filename(device.c_str());
    if (probe == nullptr) return {};
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_LABEL);
    std::string label;
    const char* data = nullptr;
    std::size_t length = 0;
    if (blkid_do_safeprobe(probe) == 0 && blkid_probe_lookup_value(probe, "LABEL", &data, &length) == 0 &&
        data != nullptr)
        label.assign(data, ::strnlen(data, length));
    blkid_free_probe(probe);
    return label;
}

VolumeLabels::VolumeLabels(const std::string& byLabelDirectory) {
    DIR* dir = ::opendir(byLabelDirectory.c_str());
    if (dir == nullptr) return;
    haveLinks_ = true;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        labels_[CanonicalPath(byLabelDirectory + "/" + entry->d_name)] = DecodeUdevName(entry->d_name);
    }
    ::closedir(dir);
}

std::string VolumeLabels::Of(const std::string& device) const {
    if (!haveLinks_) return ProbeVolumeLabel(device);
    const auto it = labels_.find(CanonicalPath(device));
    return it != labels_.end() ? it->second : std::string();
}

std::vector<MountRecord> ReadSystemMounts() {
    std::vector<MountRecord> records = ParseMountInfo(ReadWholeFile("/proc/self/mountinfo"));
    const VolumeLabels labels;
    for (MountRecord& record : records) {
        if (IsNetworkFileSystem(record.fsType) || !IsBlockBacked(record)) continue;
        struct stat st {};
        record.isDirectory = ::stat(record.mountPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        struct statvfs vfs {};
        if (::statvfs(record.mountPath.c_str(), &vfs) == 0)
            record.totalBytes = static_cast<std::uint64_t>(vfs.f_blocks) * vfs.f_frsize;
        if (StartsWith(record.source, "/dev/")) {
            const std::string device = CanonicalPath(record.source);
            record.label = labels.Of(device);
            record.removable = IsRemovableDevice(device);
        }
    }
    return records;
}

std::vector<Volume> SystemVolumes() { return VolumesFromMounts(ReadSystemMounts()); }

}  // namespace vorneck
