// Archive extraction into <dest>_tmp and the rename into place, with hostile archives.
#include "app/mainwindow.h"
#include "web/qtjavascriptinteraction.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

using Entries = QList<QPair<QString, QByteArray>>;

class TestUnpackBook : public QObject
{
    Q_OBJECT
private:
    MainWindow* window = nullptr;
    QTemporaryDir* work = nullptr;
    QString base;

    QString path(const QString& rel) const { return base + QLatin1Char('/') + rel; }
    QString read(const QString& rel) const
    {
        QFile f(path(rel));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<missing>");
    }
    bool unpack(const QString& zip, const QString& dest) { return window->unpackBook(path(zip), path(dest), base); }

private slots:
    void initTestCase()
    {
        TestSupport::resetHome();
        window = new MainWindow;
    }
    void cleanupTestCase() { delete window; }
    void init()
    {
        TestSupport::recorded() = TestSupport::Recorded();
        work = new QTemporaryDir;
        base = work->path();
    }
    void cleanup() { delete work; }

    void nestedEntriesAndFoldersAreUnpacked()
    {
        QVERIFY(TestSupport::writeZip(path("book.zip"),
                                      Entries{{"empty/", {}}, {"a/b/c.txt", "deep"}, {"top.txt", "top"}}));
        QVERIFY(unpack("book.zip", "book"));
        QVERIFY(QFileInfo(path("book/empty")).isDir());
        QCOMPARE(read("book/a/b/c.txt"), QStringLiteral("deep"));
        QCOMPARE(read("book/top.txt"), QStringLiteral("top"));
        QVERIFY(!QFile::exists(path("book.zip")));
        QVERIFY(!QFile::exists(path("book_tmp")));
        QVERIFY(!window->unpacking);
        QVERIFY(TestSupport::recorded().dialogs.isEmpty());
    }

    void archiveMadeByTheZipTool()
    {
        const QString zipTool = QStandardPaths::findExecutable(QStringLiteral("zip"));
        if (zipTool.isEmpty())
            QSKIP("the zip tool is not installed");
        QDir(base).mkpath(QStringLiteral("src/dir/sub"));
        QFile f(path("src/dir/sub/file.xhtml"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(10000, 'x'));
        f.close();
        QProcess zip;
        zip.setWorkingDirectory(path("src"));
        zip.start(zipTool, {"-qr", path("tool.zip"), "dir"});
        QVERIFY(zip.waitForFinished());
        QCOMPARE(zip.exitCode(), 0);
        QVERIFY(unpack("tool.zip", "tool"));
        QCOMPARE(QFileInfo(path("tool/dir/sub/file.xhtml")).size(), qint64(10000));
    }

    void emptyArchiveGivesAnEmptyDirectory()
    {
        QVERIFY(TestSupport::writeZip(path("empty.zip"), Entries{}));
        QVERIFY(unpack("empty.zip", "empty"));
        QVERIFY(QDir(path("empty")).isEmpty());
    }

    void staleTmpIsEmptiedFirst()
    {
        QVERIFY(QDir(base).mkpath(QStringLiteral("book_tmp")));
        QFile old(path("book_tmp/old.txt"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        QFile over(path("book_tmp/top.txt"));
        QVERIFY(over.open(QIODevice::WriteOnly));
        over.write("stale content");
        over.close();
        QVERIFY(TestSupport::writeZip(path("book.zip"), Entries{{"top.txt", "new"}}));
        QVERIFY(unpack("book.zip", "book"));
        QCOMPARE(read("book/top.txt"), QStringLiteral("new"));
        QVERIFY(!QFile::exists(path("book/old.txt")));
    }

    void reentryIsRefusedWithoutMessage()
    {
        QVERIFY(TestSupport::writeZip(path("book.zip"), Entries{{"a.txt", "a"}}));
        window->unpacking = true;
        QVERIFY(!unpack("book.zip", "book"));
        window->unpacking = false;
        QVERIFY(QFile::exists(path("book.zip")));
        QVERIFY(!QFile::exists(path("book")));
        QVERIFY(TestSupport::recorded().dialogs.isEmpty());
    }

    void secondRequestWhileUnpackingIsRefused()
    {
        Entries many;
        for (int i = 0; i < 50; ++i)
            many << qMakePair(QStringLiteral("f%1.txt").arg(i), QByteArray("x"));
        QVERIFY(TestSupport::writeZip(path("first.zip"), many));
        QVERIFY(TestSupport::writeZip(path("second.zip"), Entries{{"a.txt", "a"}}));
        bool secondResult = true;
        bool tried = false;
        QTimer::singleShot(0, this, [&] {
            tried = true;
            secondResult = unpack("second.zip", "second");
        });
        QVERIFY(unpack("first.zip", "first"));
        QVERIFY(tried);
        QVERIFY(!secondResult);
        QVERIFY(QFile::exists(path("second.zip")));
    }

    void corruptArchiveIsReported()
    {
        QFile junk(path("junk.zip"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("this is not a zip archive at all");
        junk.close();
        QVERIFY(!unpack("junk.zip", "junk"));
        QVERIFY(!window->unpacking);
        QVERIFY(QFile::exists(path("junk.zip")));
        QVERIFY(QFileInfo(path("junk_tmp")).isDir());
        QVERIFY(!QFile::exists(path("junk")));
        QCOMPARE(TestSupport::recorded().dialogs, QStringList{"Vocalume|Impossibile aprire il libro"});
        QVERIFY(TestSupport::diagnosticsContain(QStringLiteral("Impossibile aprire il file")));
    }

    void hostileEntryNamesNeverLeaveTheTarget_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("parent") << "../escaped.txt";
        QTest::newRow("nested parent") << "a/../../escaped.txt";
        QTest::newRow("absolute") << "/tmp/vocalume-escaped.txt";
    }

    void hostileEntryNamesNeverLeaveTheTarget()
    {
        QFETCH(QString, name);
        QVERIFY(TestSupport::writeZip(path("evil.zip"), Entries{{"ok.txt", "ok"}, {name, "evil"}}));
        QVERIFY(!unpack("evil.zip", "evil"));
        QVERIFY(!QFile::exists(path("escaped.txt")));
        QVERIFY(!QFile::exists(QStringLiteral("/tmp/vocalume-escaped.txt")));
        QVERIFY(!QFile::exists(path("evil")));
        QCOMPARE(TestSupport::recorded().dialogs, QStringList{"Vocalume|Errori decomprimendo il libro"});
    }

    void symbolicLinkInStaleTmpIsRemovedNotFollowed()
    {
        QVERIFY(QDir(base).mkpath(QStringLiteral("outside")));
        QVERIFY(QDir(base).mkpath(QStringLiteral("dest_tmp")));
        QVERIFY(QFile::link(path("outside"), path("dest_tmp/link")));
        QVERIFY(TestSupport::writeZip(path("dest.zip"), Entries{{"link/pwned.txt", "evil"}}));
        QVERIFY(unpack("dest.zip", "dest"));
        QVERIFY(!QFile::exists(path("outside/pwned.txt")));
        QVERIFY(QFileInfo(path("outside")).isDir());
        QVERIFY(!QFileInfo(path("dest/link")).isSymLink());
        QCOMPARE(read("dest/link/pwned.txt"), QStringLiteral("evil"));
    }

    void identifierOfTheBookIsAPlainName()
    {
        // "../../../x" from the books folder is the home directory.
        const QString outside = QDir::homePath() + QStringLiteral("/x.zip");
        QVERIFY(TestSupport::writeZip(outside, Entries{{"a.txt", "a"}}));
        window->bridge->getHtmlFixedPage(QStringLiteral("libreria.html"), QStringLiteral("idbook=../../../x"));
        QVERIFY(!window->goToReading(outside, QStringLiteral("../../../x")));
        QVERIFY(QFile::exists(outside));
        QVERIFY(!QFile::exists(QDir::homePath() + QStringLiteral("/x")));
        QVERIFY(!QFile::exists(QDir::homePath() + QStringLiteral("/x_tmp")));
        QFile::remove(outside);
    }

    void siblingWithCommonPrefixIsOutside()
    {
        // "dest_tmp2" shares the prefix of "dest_tmp" but is another folder.
        QVERIFY(QDir(base).mkpath(QStringLiteral("dest_tmp2")));
        QVERIFY(TestSupport::writeZip(path("dest.zip"), Entries{{"../dest_tmp2/x.txt", "evil"}}));
        QVERIFY(!unpack("dest.zip", "dest"));
        QVERIFY(!QFile::exists(path("dest_tmp2/x.txt")));
    }
};

VOCALUME_TEST_MAIN(TestUnpackBook)
#include "tst_unpackbook.moc"
