// Recursive removal of a directory tree, the data folder's layout, and the web page's fixed settings.
#include "app/datadirectory.h"
#include "base/datapaths.h"
#include "tests/support/testsupport.h"
#include "web/webpage.h"

#include <QApplication>
#include <QTemporaryDir>
#include <unistd.h>

class ProbePage : public webPage
{
public:
    using webPage::userAgentForUrl;
};

class TestDataDirectory : public QObject
{
    Q_OBJECT
private:
    static void touch(const QString& path) { QVERIFY(QFile(path).open(QIODevice::WriteOnly)); }

private slots:
    void missingPathCountsAsRemoved() { QVERIFY(removeDirectoryTree(QStringLiteral("/nonexistent/vocalume/x"))); }

    // Hidden files and nested folders go; links are removed, never followed.
    void treeIsRemovedLinksAreNotFollowed()
    {
        QTemporaryDir tmp;
        const QString outside = tmp.path() + "/outside";
        QVERIFY(QDir().mkpath(outside + "/keep"));
        touch(outside + "/keep/precious.txt");
        touch(outside + "/file.txt");
        const QString root = tmp.path() + "/tree";
        QVERIFY(QDir().mkpath(root + "/a/.hidden-dir/b"));
        touch(root + "/.hidden");
        touch(root + "/a/.hidden-dir/b/file");
        QVERIFY(QFile::link(outside, root + "/dirlink"));
        QVERIFY(QFile::link(outside + "/file.txt", root + "/filelink"));
        QVERIFY(QFile::link(tmp.path() + "/nowhere", root + "/broken"));
        QVERIFY(removeDirectoryTree(root));
        QVERIFY(!QFileInfo::exists(root));
        QVERIFY(QFile::exists(outside + "/keep/precious.txt"));
        QVERIFY(QFile::exists(outside + "/file.txt"));
    }

    void unremovableEntryStopsAndKeepsTheDirectory()
    {
        if (::geteuid() == 0)
            QSKIP("permissions do not hold back the superuser");
        QTemporaryDir tmp;
        const QString root = tmp.path() + "/tree";
        QVERIFY(QDir().mkpath(root + "/locked"));
        touch(root + "/locked/file");
        QFile::setPermissions(root + "/locked", QFile::ReadOwner | QFile::ExeOwner);
        QVERIFY(!removeDirectoryTree(root));
        QVERIFY(QFile::exists(root + "/locked/file"));
        QFile::setPermissions(root + "/locked", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // The layout is stored on users' disks and shared with the page's script: it is stated here
    // on its own, so that a slip in the one place that builds the paths shows.
    void dataPathsFollowTheStoredLayout_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("inDataDirectory");
        QTest::newRow("data") << DataPaths::dataDirectory() << "";
        QTest::newRow("engine") << DataPaths::engineDirectory() << "/engine";
        QTest::newRow("books") << DataPaths::booksDirectory() << "/engine/books";
        QTest::newRow("covers") << DataPaths::coversDirectory() << "/engine/covers";
        QTest::newRow("book") << DataPaths::bookDirectory("ZTEST") << "/engine/books/ZTEST";
        QTest::newRow("book database") << DataPaths::bookDatabase("ZTEST") << "/engine/books/ZTEST/database.db";
        QTest::newRow("web storage") << DataPaths::webStorageDirectory() << "/file__0";
        QTest::newRow("bookmarks") << DataPaths::bookmarksDatabase() << "/file__0/bookmarks.db";
        QTest::newRow("web databases") << DataPaths::dataDirectory() + '/' + DataPaths::webDatabasesName()
                                       << "/Databases.db";
    }

    void dataPathsFollowTheStoredLayout()
    {
        QFETCH(QString, path);
        QFETCH(QString, inDataDirectory);
        QCOMPARE(path, QDir::homePath() + "/.vocalumezenta" + inDataDirectory);
    }

    void userAgentIsFixedForEveryUrl()
    {
        ProbePage page;
        for (const QUrl& url : { QUrl(), QUrl("http://example.invalid/x"), QUrl::fromLocalFile("/tmp/x.html") })
            QCOMPARE(page.userAgentForUrl(url), QStringLiteral("brevinapc Qt"));
        QVERIFY(!page.shouldInterruptJavaScript());
    }
};

VOCALUME_TEST_MAIN(TestDataDirectory)
#include "tst_datadirectory.moc"
