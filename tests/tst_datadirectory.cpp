// Recursive removal of a directory tree, and the web page's fixed settings.
#include "app/datadirectory.h"
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
    static void touch(const QString& path)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }

private slots:
    void missingPathCountsAsRemoved() { QVERIFY(removeDirectoryTree(QStringLiteral("/nonexistent/vocalume/x"))); }

    void hiddenFilesAndNestedFoldersGo()
    {
        QTemporaryDir tmp;
        const QString root = tmp.path() + "/tree";
        QVERIFY(QDir().mkpath(root + "/a/.hidden-dir/b"));
        touch(root + "/.hidden");
        touch(root + "/a/.hidden-dir/b/file");
        QVERIFY(removeDirectoryTree(root));
        QVERIFY(!QFile::exists(root));
    }

    void linksAreRemovedNotFollowed()
    {
        QTemporaryDir tmp;
        const QString outside = tmp.path() + "/outside";
        QVERIFY(QDir().mkpath(outside + "/keep"));
        touch(outside + "/keep/precious.txt");
        touch(outside + "/file.txt");
        const QString root = tmp.path() + "/tree";
        QVERIFY(QDir().mkpath(root));
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

    void userAgentIsFixedForEveryUrl_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::newRow("empty") << QUrl();
        QTest::newRow("web") << QUrl("http://example.invalid/x");
        QTest::newRow("file") << QUrl::fromLocalFile("/tmp/x.html");
    }

    void userAgentIsFixedForEveryUrl()
    {
        QFETCH(QUrl, url);
        ProbePage page;
        QCOMPARE(page.userAgentForUrl(url), QStringLiteral("brevinapc Qt"));
        QVERIFY(!page.shouldInterruptJavaScript());
    }
};

VOCALUME_TEST_MAIN(TestDataDirectory)
#include "tst_datadirectory.moc"
