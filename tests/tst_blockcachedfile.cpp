// The block-cached archive device reads exactly what the file holds, wherever a read starts.
#include "packages/blockcachedfile.h"
#include "tests/support/testsupport.h"

class TestBlockCachedFile : public QObject {
    Q_OBJECT
private:
    static constexpr qint64 block = BlockCachedFile::BlockSize;
    QByteArray content;
    const QString path = QDir::home().filePath("archive.zip");

private slots:
    void initTestCase()
    {
        // Not a whole number of blocks, so the last block is a short one.
        content = TestSupport::noise(int(block * 5 + 1234));
        QVERIFY(TestSupport::writeFile(path, content));
    }

    void reads_data()
    {
        QTest::addColumn<qint64>("offset");
        QTest::addColumn<qint64>("length");
        QTest::newRow("across one boundary") << block - 10 << qint64(20);
        QTest::newRow("across several blocks") << block / 2 << 3 * block;
        QTest::newRow("into the short last block") << 5 * block - 5 << qint64(100);
        QTest::newRow("past the end") << 5 * block + 1200 << qint64(500);
        QTest::newRow("at the end") << 5 * block + 1234 << qint64(10);
        QTest::newRow("whole file") << qint64(0) << 6 * block;
    }

    void reads()
    {
        QFETCH(qint64, offset);
        QFETCH(qint64, length);
        BlockCachedFile device(path);
        QVERIFY(device.open(QIODevice::ReadOnly));
        QCOMPARE(device.size(), qint64(content.size()));
        QVERIFY(device.seek(offset));
        QVERIFY(device.read(length) == content.mid(int(offset), int(length)));
        QCOMPARE(device.pos(), qMin<qint64>(offset + length, content.size()));
    }

    // Directory at the end, entries from the front, as a zip reader goes; more blocks than kept.
    void jumpsEvictAndRereadBlocks()
    {
        BlockCachedFile device(path);
        QVERIFY(device.open(QIODevice::ReadOnly));
        for (int round = 0; round < 3; ++round) {
            for (qint64 at = 0; at < content.size(); at += block / 3) {
                const qint64 back = content.size() - 100 - at / 50;
                QVERIFY(device.seek(back) && device.read(46) == content.mid(int(back), 46));
                QVERIFY(device.seek(at) && device.read(300) == content.mid(int(at), 300));
            }
        }
    }
};

VOCALUME_TEST_MAIN(TestBlockCachedFile)
#include "tst_blockcachedfile.moc"
