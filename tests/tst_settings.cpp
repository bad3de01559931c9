// What the program keeps on disk: the settings file, the data folder's layout, and the removal of
// a folder tree.
#include "base/appsettings.h"
#include "base/datapaths.h"
#include "base/directorytree.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QSettings>
#include <unistd.h>

class TestSettings : public QObject
{
    Q_OBJECT
private:
    const QString file = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/ZENTA/VocalumeZENTA.conf");

private slots:
    void init() { TestSupport::resetHome(); }

    // Every object reads the one file at once, under the names stored on users' disks.
    void writesAreSeenByOtherObjectsAndTheFile()
    {
        AppSettings().setUsername(QStringLiteral("mario"));
        AppSettings().setStartCharset(QStringLiteral("à|è"), QStringLiteral("2"));
        QCOMPARE(AppSettings().username(), QStringLiteral("mario"));
        QSettings raw(file, QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("login/username")).toString(), QStringLiteral("mario"));
        QCOMPARE(raw.value(QStringLiteral("startCharset/2")).toString(), QStringLiteral("à|è"));
        AppSettings().clear();
        QCOMPARE(AppSettings().username() + AppSettings().startCharset(QStringLiteral("2")), QString());
    }

    // Also a file that an older release or a restored backup left open to others.
    void fileHoldingTheSessionIsOwnerOnly_data()
    {
        QTest::addColumn<int>("earlierMode"); // of a file already there; 0: none
        QTest::newRow("new file") << 0;
        QTest::newRow("readable by all") << 0x6044; // owner read and write, read for group and others
    }

    void fileHoldingTheSessionIsOwnerOnly()
    {
        QFETCH(int, earlierMode);
        if (earlierMode) {
            QVERIFY(TestSupport::writeFile(file, "[login]\n"));
            QVERIFY(QFile::setPermissions(file, QFile::Permissions(earlierMode)));
        }
        AppSettings().setSessionId(QStringLiteral("secret"));
        AppSettings().setVersion(QStringLiteral("1.1.0"));
        QCOMPARE(int(QFile::permissions(file) & 0x6077), 0x6000); // owner read and write, nothing for the others
    }

    // The layout is stored on users' disks and shared with the page's script: stated here on its
    // own, so that a slip in the one place that builds the paths shows.
    void dataPathsFollowTheStoredLayout()
    {
        const QString data = QDir::homePath() + "/.vocalumezenta";
        const QStringList paths = { DataPaths::dataDirectory(), DataPaths::engineDirectory(),
                                    DataPaths::booksDirectory(), DataPaths::coversDirectory(),
                                    DataPaths::bookDirectory("ZTEST"), DataPaths::bookDatabase("ZTEST"),
                                    DataPaths::webStorageDirectory(), DataPaths::bookmarksDatabase(),
                                    DataPaths::dataDirectory() + '/' + DataPaths::webDatabasesName() };
        QCOMPARE(paths, QStringList({ data, data + "/engine", data + "/engine/books", data + "/engine/covers",
                                      data + "/engine/books/ZTEST", data + "/engine/books/ZTEST/database.db",
                                      data + "/file__0", data + "/file__0/bookmarks.db", data + "/Databases.db" }));
    }

    // Hidden files and nested folders go; links are removed, never followed; a missing path
    // counts as removed.
    void treeIsRemovedLinksAreNotFollowed()
    {
        QVERIFY(removeDirectoryTree(QStringLiteral("/nonexistent/vocalume/x")));
        QTemporaryDir tmp;
        const QString outside = tmp.path() + "/outside", root = tmp.path() + "/tree";
        for (const QString& file : { outside + "/keep/precious.txt", outside + "/file.txt", root + "/.hidden",
                                     root + "/a/.hidden-dir/b/file" })
            QVERIFY(TestSupport::writeFile(file, "x"));
        QVERIFY(QFile::link(outside, root + "/dirlink"));
        QVERIFY(QFile::link(outside + "/file.txt", root + "/filelink"));
        QVERIFY(QFile::link(tmp.path() + "/nowhere", root + "/broken"));
        QVERIFY(QFile::link(outside, tmp.path() + "/toplink"));
        QVERIFY(removeDirectoryTree(root) && removeDirectoryTree(tmp.path() + "/toplink"));
        QVERIFY(!QFileInfo::exists(root) && !QFileInfo(tmp.path() + "/toplink").isSymLink());
        QVERIFY(QFile::exists(outside + "/keep/precious.txt") && QFile::exists(outside + "/file.txt"));
        // An entry that cannot go stops the removal and keeps what is left.
        if (::geteuid() == 0)
            QSKIP("an unremovable entry: permissions do not hold back the superuser");
        QVERIFY(TestSupport::writeFile(root + "/locked/file", "x"));
        QVERIFY(QFile::setPermissions(root + "/locked", QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(!removeDirectoryTree(root) && QFile::exists(root + "/locked/file"));
        QFile::setPermissions(root + "/locked", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

VOCALUME_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
