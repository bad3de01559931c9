// The cover cache: local names, and pictures refused before they are decoded.
#include "packages/cachedimage.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testsupport.h"

#include <QImage>
#include <QtEndian>
#include <zlib.h>

namespace {
QByteArray chunk(const char* type, const QByteArray& data)
{
    QByteArray out(4, '\0'), crc(4, '\0');
    qToBigEndian(quint32(data.size()), out.data());
    const QByteArray body = QByteArray(type, 4) + data;
    qToBigEndian(quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))), crc.data());
    return out + body + crc;
}

// A valid grey PNG of `side` x `side` black pixels: a few kilobytes that decode to side * side bytes.
QByteArray blackSquarePng(quint32 side)
{
    QByteArray header(13, '\0');
    qToBigEndian(side, header.data());
    qToBigEndian(side, header.data() + 4);
    header[8] = 8; // bit depth; colour type 0 is grey
    z_stream stream {};
    deflateInit(&stream, Z_BEST_COMPRESSION);
    QByteArray row(int(side) + 1, '\0'), compressed;
    char out[65536];
    for (quint32 y = 0; y < side; ++y) {
        stream.next_in = reinterpret_cast<Bytef*>(row.data());
        stream.avail_in = uInt(row.size());
        do {
            stream.next_out = reinterpret_cast<Bytef*>(out);
            stream.avail_out = sizeof out;
            deflate(&stream, y + 1 == side ? Z_FINISH : Z_NO_FLUSH);
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

    QString address(const QString& path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(server->port()).arg(path); }

private slots:
    void init()
    {
        TestSupport::resetHome();
        server.reset(new HttpTestServer);
        server->makeCurrent();
    }

    void coversAreStoredOrRefusedBeforeDecoding_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<quint32>("side");
        QTest::addColumn<bool>("stored");
        QTest::newRow("no extension") << "/media/cover" << quint32(40) << true;
        QTest::newRow("largest side allowed") << "/media/big.png" << quint32(CachedImage::MaxSourceSide) << true;
        QTest::newRow("10000 pixels") << "/media/big.png" << quint32(10000) << false;
    }

    // Stored under the address's last name, scaled to a cover, and found again.
    void coversAreStoredOrRefusedBeforeDecoding()
    {
        QFETCH(QString, path);
        QFETCH(quint32, side);
        QFETCH(bool, stored);
        server->respondWith(HttpTestServer::reply(blackSquarePng(side)));
        const QString url = address(path);
        {
            CachedImage cover(url);
            QCOMPARE(cover.localPath, covers() + path.mid(path.lastIndexOf('/')));
            QVERIFY(!cover.present && !CachedImage::isCached(url));
            QCOMPARE(cover.download(), stored);
        }
        QCOMPARE(CachedImage::isCached(url), stored);
        QCOMPARE(CachedImage(url).present, stored);
        QCOMPARE(QImage(CachedImage(url).localPath).size(), stored ? QSize(115, 170) : QSize(0, 0));
    }

    void dataFolderThatIsAFileLeavesNoFoldersElsewhere()
    {
        QDir(TestSupport::dataDirectory()).removeRecursively();
        QVERIFY(TestSupport::writeFile(TestSupport::dataDirectory(), {}));
        server->respondWith(HttpTestServer::reply(blackSquarePng(40)));
        CachedImage cover(address(QStringLiteral("/media/cover.jpg")));
        QVERIFY(cover.localPath.isEmpty() && !cover.present);
        QVERIFY(!cover.download());
        QCOMPARE(QDir::home().entryList({ "engine", "covers", "cover*" }), QStringList());
    }
};

VOCALUME_TEST_MAIN(TestCachedImage)
#include "tst_cachedimage.moc"
