// The cover cache: local names, and pictures refused before they are decoded.
#include "packages/cachedimage.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QtEndian>
#include <zlib.h>

namespace {
QByteArray chunk(const char* type, const QByteArray& data)
{
    QByteArray out(4, '\0');
    qToBigEndian(quint32(data.size()), out.data());
    const QByteArray body = QByteArray(type, 4) + data;
    QByteArray crc(4, '\0');
    qToBigEndian(quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))), crc.data());
    return out + body + crc;
}

// A valid grey PNG of `side` x `side` pixels, all black: a few kilobytes that decode to
// side * side bytes.
QByteArray blackSquarePng(quint32 side)
{
    QByteArray header(13, '\0');
    qToBigEndian(side, header.data());
    qToBigEndian(side, header.data() + 4);
    header[8] = 8; // bit depth
    header[9] = 0; // grey
    z_stream stream {};
    deflateInit(&stream, Z_BEST_COMPRESSION);
    QByteArray row(int(side) + 1, '\0');
    QByteArray compressed;
    char out[65536];
    for (quint32 y = 0; y < side; ++y) {
        stream.next_in = reinterpret_cast<Bytef*>(row.data());
        stream.avail_in = uInt(row.size());
        const int flush = y + 1 == side ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(out);
            stream.avail_out = sizeof out;
            deflate(&stream, flush);
            compressed.append(out, int(sizeof out - stream.avail_out));
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", compressed) + chunk("IEND", {});
}

QString covers() { return TestSupport::dataDirectory() + QStringLiteral("/engine/covers"); }
}

class TestCachedImage : public QObject {
    Q_OBJECT
private:
    QScopedPointer<HttpTestServer> server;

    QString address(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server->port()).arg(path);
    }

private slots:
    void init()
    {
        TestSupport::resetHome();
        server.reset(new HttpTestServer);
        server->makeCurrent();
    }

    void addressWithoutExtensionIsCachedUnderItsName()
    {
        server->respondWith(HttpTestServer::reply(blackSquarePng(40)));
        const QString url = address(QStringLiteral("/media/cover"));
        {
            CachedImage cover(url);
            QCOMPARE(cover.name, QStringLiteral("cover"));
            QCOMPARE(cover.localPath, covers() + QStringLiteral("/cover"));
            QVERIFY(!cover.present);
            QVERIFY(!CachedImage::isCached(url));
            QVERIFY(cover.download());
        }
        QVERIFY(CachedImage::isCached(url));
        CachedImage again(url);
        QVERIFY(again.present);
        QCOMPARE(QImage(again.localPath).size(), QSize(115, 170));
    }

    void dataFolderThatIsAFileLeavesNoFoldersElsewhere()
    {
        QDir().remove(TestSupport::dataDirectory());
        QDir(TestSupport::dataDirectory()).removeRecursively();
        QFile blocker(TestSupport::dataDirectory());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        server->respondWith(HttpTestServer::reply(blackSquarePng(40)));
        CachedImage cover(address(QStringLiteral("/media/cover.jpg")));
        QVERIFY(cover.localPath.isEmpty());
        QVERIFY(!cover.present);
        QVERIFY(!cover.download());
        const QDir home(QDir::homePath());
        QVERIFY(!home.exists(QStringLiteral("engine")));
        QVERIFY(!home.exists(QStringLiteral("covers")));
        QVERIFY(!home.exists(QStringLiteral("cover.png")));
    }

    void pictureTooLargeForACoverIsRefusedBeforeDecoding_data()
    {
        QTest::addColumn<quint32>("side");
        QTest::addColumn<bool>("stored");
        QTest::newRow("4096 pixels") << quint32(CachedImage::MaxSourceSide) << true;
        QTest::newRow("10000 pixels") << quint32(10000) << false;
    }

    void pictureTooLargeForACoverIsRefusedBeforeDecoding()
    {
        QFETCH(quint32, side);
        QFETCH(bool, stored);
        server->respondWith(HttpTestServer::reply(blackSquarePng(side)));
        CachedImage cover(address(QStringLiteral("/media/big.png")));
        QCOMPARE(cover.download(), stored);
        QCOMPARE(QFile::exists(covers() + QStringLiteral("/big.png")), stored);
    }
};

VOCALUME_TEST_MAIN(TestCachedImage)
#include "tst_cachedimage.moc"
