// SPDX-License-Identifier: MIT
// The directory chooser's path rules and its listing of sub-directories.
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "ui/dir_paths.h"

using vorneck::DirectoryLine;

class TestDialogPaths : public QObject {
    Q_OBJECT

private slots:
    void normalizesPaths_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("absolute") << "/home/ann/mods" << "/home/ann/mods";
        QTest::newRow("trailing slash") << "/home/ann/" << "/home/ann";
        QTest::newRow("doubled slashes") << "//home///ann" << "/home/ann";
        QTest::newRow("dots") << "/home/./ann/../bob/." << "/home/bob";
        QTest::newRow("above the root") << "/../../x" << "/x";
        QTest::newRow("root") << "/" << "/";
        QTest::newRow("empty is the base") << "" << "/base/dir";
        QTest::newRow("relative") << "mods/x" << "/base/dir/mods/x";
        QTest::newRow("relative upwards") << "../../.." << "/";
        QTest::newRow("blanks kept") << "/a b /c " << "/a b /c ";
    }
    void normalizesPaths() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(vorneck::NormalizePath(text.toStdString(), "/base/dir")), expected);
    }

    void comparesWholePathParts() {
        QVERIFY(vorneck::PathIsUnder("/mnt/a", "/mnt/a"));
        QVERIFY(vorneck::PathIsUnder("/mnt/a/b", "/mnt/a"));
        QVERIFY(!vorneck::PathIsUnder("/mnt/ab", "/mnt/a"));
        QVERIFY(!vorneck::PathIsUnder("/mnt", "/mnt/a"));
        QVERIFY(vorneck::PathIsUnder("/anything", "/"));
        QVERIFY(vorneck::PathIsUnder("/", "/"));

        using Levels = std::vector<std::string>;
        QCOMPARE(vorneck::PathLevels("/", "/home/ann"), Levels({"home", "ann"}));
        QCOMPARE(vorneck::PathLevels("/media/stick", "/media/stick/a/b"), Levels({"a", "b"}));
        QCOMPARE(vorneck::PathLevels("/media/stick", "/media/stick"), Levels());
        QCOMPARE(vorneck::PathLevels("/media/stick", "/media/sticky/a"), Levels());
    }

    void buildsRootLevelsAndSubdirectoryLines() {
        const std::vector<DirectoryLine> lines =
            vorneck::BuildDirectoryLines("/media/stick", "/media/stick/mods/old", {"a", "B"});
        QCOMPARE(lines.size(), std::size_t(5));
        const std::vector<std::string> texts = {"/media/stick", "mods", "old", "a", "B"};
        const std::vector<std::string> paths = {"/media/stick", "/media/stick/mods", "/media/stick/mods/old",
                                                "/media/stick/mods/old/a", "/media/stick/mods/old/B"};
        const std::vector<int> levels = {0, 1, 2, 3, 3};
        for (std::size_t i = 0; i < lines.size(); ++i) {
            QCOMPARE(lines[i].text, texts[i]);
            QCOMPARE(lines[i].path, paths[i]);
            QCOMPARE(lines[i].level, levels[i]);
            QCOMPARE(lines[i].open, i < 3);
        }
        const std::vector<DirectoryLine> atRoot = vorneck::BuildDirectoryLines("/", "/", {"bin"});
        QCOMPARE(atRoot.size(), std::size_t(2));
        QCOMPARE(atRoot[1].path, std::string("/bin"));
    }

    void listsSubdirectoriesOnly() {
        QTemporaryDir temp;
        QVERIFY(temp.isValid());
        const std::string dir = temp.path().toStdString();
        for (const char* name : {"beta", "Alpha", "alpha", "gamma", ".hidden", "Gamma dir", "a_z", "^top"})
            QVERIFY(::mkdir((dir + "/" + name).c_str(), 0755) == 0);
        std::ofstream(dir + "/file.mod") << "x";
        QVERIFY(::symlink((dir + "/beta").c_str(), (dir + "/link-to-dir").c_str()) == 0);
        QVERIFY(::symlink((dir + "/file.mod").c_str(), (dir + "/link-to-file").c_str()) == 0);
        QVERIFY(::symlink((dir + "/nowhere").c_str(), (dir + "/dangling").c_str()) == 0);

        const vorneck::SubdirectoryListing listing = vorneck::ListSubdirectories(dir);
        QCOMPARE(listing.error, 0);
        // Letters compared as lower case, so "^" and "_" come before them;
        // names equal but for case by their bytes.
        QCOMPARE(listing.names, std::vector<std::string>({"^top", "a_z", "Alpha", "alpha", "beta", "gamma",
                                                          "Gamma dir", "link-to-dir"}));
    }

    void reportsDirectoriesThatCannotBeEntered() {
        QTemporaryDir temp;
        QVERIFY(temp.isValid());
        const std::string dir = temp.path().toStdString();
        std::ofstream(dir + "/file") << "x";
        QCOMPARE(vorneck::ListSubdirectories(dir + "/missing").error, ENOENT);
        QCOMPARE(vorneck::ListSubdirectories(dir + "/file").error, ENOTDIR);
        QCOMPARE(vorneck::ListSubdirectories(dir + std::string("\0/x", 3)).error, EINVAL);
        QCOMPARE(vorneck::ListSubdirectories(dir + "/" + std::string(5000, 'x')).error, ENAMETOOLONG);
        if (::geteuid() != 0) {
            QVERIFY(::mkdir((dir + "/locked").c_str(), 0) == 0);
            QCOMPARE(vorneck::ListSubdirectories(dir + "/locked").error, EACCES);
            // Readable but not enterable.
            QVERIFY(::mkdir((dir + "/noenter").c_str(), 0444) == 0);
            QCOMPARE(vorneck::ListSubdirectories(dir + "/noenter").error, EACCES);
            ::chmod((dir + "/locked").c_str(), 0755);
            ::chmod((dir + "/noenter").c_str(), 0755);
        }
    }
};

QTEST_GUILESS_MAIN(TestDialogPaths)
#include "tst_dlg_paths.moc"
