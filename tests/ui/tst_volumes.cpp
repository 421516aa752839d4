// SPDX-License-Identifier: MIT
// The drive list's volumes, built from made-up mount tables so that the
// results do not depend on the machine the tests run on.
#include <QtEndian>
#include <QtTest>

#include "ui/volumes.h"

using vorneck::MountRecord;
using vorneck::Volume;
using vorneck::VolumeKind;

namespace {

MountRecord Mount(std::string path, std::string source, std::string type, std::string label = {}) {
    MountRecord record;
    record.mountPath = std::move(path);
    record.source = std::move(source);
    record.fsType = std::move(type);
    record.label = std::move(label);
    record.totalBytes = 1u << 30;
    return record;
}

QStringList Texts(const std::vector<Volume>& volumes) {
    QStringList texts;
    for (const Volume& volume : volumes) texts << QString::fromStdString(volume.text);
    return texts;
}

}  // namespace

class TestVolumes : public QObject {
    Q_OBJECT

private slots:
    void parsesMountInfoLines() {
        const std::string text =
            "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
            "27 1 254:0 / / rw,relatime shared:1 master:2 - ext4 /dev/vda rw\n"
            "40 27 8:17 / /media/my\\040stick rw - vfat /dev/sdb1 rw\n"
            "41 27 0:50 / /mnt/share rw - cifs //Server/Music rw\n"
            "garbage line without separator\n"
            "42 27 8:1 / relative rw - ext4 /dev/sda1 rw\n"
            "43 27 8:2 / /tail\\134x rw - ext4 /dev/sda2";  // no final newline
        const std::vector<MountRecord> records = vorneck::ParseMountInfo(text);
        QCOMPARE(records.size(), std::size_t(5));
        QCOMPARE(records[0].mountPath, std::string("/proc"));
        QCOMPARE(records[1].mountPath, std::string("/"));
        QCOMPARE(records[1].fsType, std::string("ext4"));  // optional fields skipped
        QCOMPARE(records[1].source, std::string("/dev/vda"));
        QCOMPARE(records[2].mountPath, std::string("/media/my stick"));
        QCOMPARE(records[3].source, std::string("//Server/Music"));
        QCOMPARE(records[4].mountPath, std::string("/tail\\x"));
    }

    void decodesUdevLabelNames() {
        QCOMPARE(vorneck::DecodeUdevName("MY\\x20DISK"), std::string("MY DISK"));
        QCOMPARE(vorneck::DecodeUdevName("a\\x2fb"), std::string("a/b"));
        // Incomplete or invalid escapes stay as they are.
        QCOMPARE(vorneck::DecodeUdevName("x\\x2"), std::string("x\\x2"));
        QCOMPARE(vorneck::DecodeUdevName("x\\xzz"), std::string("x\\xzz"));
    }

    void keepsOnlyRealVolumesInMountPathOrder() {
        MountRecord emptyVolume = Mount("/mnt/empty", "/dev/sdc1", "ext4");
        emptyVolume.totalBytes = 0;
        MountRecord fileBind = Mount("/etc/hosts", "/dev/vda", "ext4");
        fileBind.isDirectory = false;
        MountRecord stick = Mount("/media/Stick", "/dev/sdb1", "vfat", "STICK");
        stick.removable = true;
        const std::vector<MountRecord> records = {
            Mount("/proc", "proc", "proc"),
            Mount("/", "/dev/vda", "ext4", "System"),
            Mount("/tmp", "tmpfs", "tmpfs"),
            Mount("/snap/core/1", "/dev/loop3", "squashfs"),
            Mount("/var/lib/docker/x", "overlay", "overlay"),
            Mount("/home", "/dev/vda2", "ext4"),
            Mount("/Data", "/dev/vdb1", "btrfs", "Archiv \xC3\x84pfel"),
            Mount("/mnt/nas", "NAS:/Export/Music", "nfs4"),
            Mount("/media/cd", "/dev/sr0", "iso9660", "AUDIO_CD"),
            Mount("/mnt/ram", "/dev/zram1", "ext2"),
            Mount("/tank", "tank", "zfs"),
            stick,
            emptyVolume,
            fileBind,
        };
        const std::vector<Volume> volumes = vorneck::VolumesFromMounts(records);
        // "/" first, the rest without regard to case; labels and network
        // names in lower case (non-ASCII letters too); removable volumes
        // show their path only.
        QCOMPARE(Texts(volumes), QStringList({
                                     "/ [system]",
                                     QString::fromUtf8("/Data [archiv \xC3\xA4pfel]"),
                                     "/home []",
                                     "/media/cd [audio_cd]",
                                     "/media/Stick",
                                     "/mnt/nas nas:/export/music",
                                     "/mnt/ram []",
                                     "/tank []",
                                 }));
        const std::vector<VolumeKind> kinds = {VolumeKind::Fixed, VolumeKind::Fixed,     VolumeKind::Fixed,
                                               VolumeKind::CdRom, VolumeKind::Removable, VolumeKind::Network,
                                               VolumeKind::Ram,   VolumeKind::Fixed};
        for (std::size_t i = 0; i < kinds.size(); ++i) QCOMPARE(volumes[i].kind, kinds[i]);
    }

    void rootIsAlwaysOfferedAndStackedMountsShowTheTopOne() {
        // A container: the root is an overlay; /data was mounted, then
        // hidden by a tmpfs mounted over it.
        const std::vector<MountRecord> records = {
            Mount("/", "overlay", "overlay"),
            Mount("/data", "/dev/sdb1", "ext4", "DATA"),
            Mount("/data", "tmpfs", "tmpfs"),
            Mount("/srv", "tmpfs", "tmpfs"),
            Mount("/srv", "/dev/sdc1", "xfs", "Srv"),
        };
        const std::vector<Volume> volumes = vorneck::VolumesFromMounts(records);
        QCOMPARE(Texts(volumes), QStringList({"/ []", "/srv [srv]"}));
        QCOMPARE(vorneck::VolumesFromMounts({}).size(), std::size_t(1));
        QCOMPARE(vorneck::VolumesFromMounts({}).front().mountPath, std::string("/"));
    }

    void driveOfPathIsTheLongestWholePartPrefix() {
        const std::vector<Volume> volumes = vorneck::VolumesFromMounts({
            Mount("/", "/dev/vda", "ext4"),
            Mount("/mnt/a", "/dev/vdb", "ext4"),
            Mount("/mnt/a/b", "/dev/vdc", "ext4"),
            Mount("/mnt/ab", "/dev/vdd", "ext4"),
        });
        auto driveOf = [&](const char* path) { return volumes[vorneck::DriveOfPath(volumes, path)].mountPath; };
        QCOMPARE(driveOf("/"), std::string("/"));
        QCOMPARE(driveOf("/mnt"), std::string("/"));
        QCOMPARE(driveOf("/mnt/a"), std::string("/mnt/a"));
        QCOMPARE(driveOf("/mnt/a/x/y"), std::string("/mnt/a"));
        QCOMPARE(driveOf("/mnt/a/b/c"), std::string("/mnt/a/b"));
        QCOMPARE(driveOf("/mnt/ab"), std::string("/mnt/ab"));
        QCOMPARE(driveOf("/mnt/abc"), std::string("/"));
    }

    void labelsFromUdevLinksOrFromTheVolumeItself() {
        QTemporaryDir temp;
        QVERIFY(temp.isValid());
        // A small ext2 file system image labelled "Music Box": a superblock
        // at 1024 with its magic number and volume name.
        QByteArray image(64 * 1024, '\0');
        auto put32 = [&image](int at, quint32 value) { qToLittleEndian(value, image.data() + at); };
        put32(1024 + 0, 16);   // inodes
        put32(1024 + 4, 64);   // blocks
        put32(1024 + 76, 1);   // revision
        qToLittleEndian<quint16>(0xEF53, image.data() + 1024 + 56);
        image.replace(1024 + 120, 9, "Music Box");
        const QString imagePath = temp.filePath(QStringLiteral("volume.img"));
        {
            QFile file(imagePath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(image);
        }
        const std::string device = imagePath.toStdString();
        QCOMPARE(vorneck::ProbeVolumeLabel(device), std::string("Music Box"));
        QCOMPARE(vorneck::ProbeVolumeLabel(temp.filePath(QStringLiteral("missing")).toStdString()), std::string());
        const QString blank = temp.filePath(QStringLiteral("blank.img"));
        {
            QFile file(blank);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(64 * 1024, '\0'));
        }
        QCOMPARE(vorneck::ProbeVolumeLabel(blank.toStdString()), std::string());

        // Without udev's directory, the volume itself is asked.
        QCOMPARE(vorneck::VolumeLabels(temp.filePath(QStringLiteral("no-by-label")).toStdString()).Of(device),
                 std::string("Music Box"));
        // With it, its links are the labels; a device without one has none.
        QVERIFY(QDir(temp.path()).mkdir(QStringLiteral("by-label")));
        const std::string links = temp.filePath(QStringLiteral("by-label")).toStdString();
        QCOMPARE(vorneck::VolumeLabels(links).Of(device), std::string());
        QVERIFY(QFile::link(imagePath, temp.filePath(QStringLiteral("by-label/Data\\x20Disk"))));
        QCOMPARE(vorneck::VolumeLabels(links).Of(device), std::string("Data Disk"));
    }

    void systemVolumesStartAtTheRoot() {
        // Only loosely: the machine's mounts differ from place to place.
        const std::vector<Volume> volumes = vorneck::SystemVolumes();
        QVERIFY(!volumes.empty());
        QCOMPARE(volumes.front().mountPath, std::string("/"));
        for (const Volume& volume : volumes) QVERIFY(volume.mountPath.front() == '/');
    }
};

QTEST_GUILESS_MAIN(TestVolumes)
#include "tst_volumes.moc"
