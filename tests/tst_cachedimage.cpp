// The cover cache: local names, and pictures refused before they are decoded.
#include "packages/cachedimage.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testsupport.h"

#include <QBuffer>
#include <QImage>

namespace {
// A black PNG of `size`, one bit a pixel: small to send, though it decodes to a picture that big.
QByteArray blackPng(const QSize& size)
{
    QImage image(size, QImage::Format_Mono);
    image.fill(0);
    QBuffer png;
    return png.open(QIODevice::WriteOnly) && image.save(&png, "PNG") ? png.data() : QByteArray();
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
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("stored");
        const int most = CachedImage::MaxSourceSide;
        QTest::newRow("no extension") << "/media/cover" << QSize(40, 40) << true;
        QTest::newRow("largest side allowed") << "/media/big.png" << QSize(most, most) << true;
        QTest::newRow("10000 pixels wide") << "/media/big.png" << QSize(10000, 40) << false;
        QTest::newRow("10000 pixels tall") << "/media/big.png" << QSize(40, 10000) << false;
    }

    // Stored under the address's last name, scaled to a cover, and found again.
    void coversAreStoredOrRefusedBeforeDecoding()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QFETCH(bool, stored);
        server->respondWith(HttpTestServer::reply(blackPng(size)));
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
        server->respondWith(HttpTestServer::reply(blackPng(QSize(40, 40))));
        CachedImage cover(address(QStringLiteral("/media/cover.jpg")));
        QVERIFY(cover.localPath.isEmpty() && !cover.present);
        QVERIFY(!cover.download());
        QCOMPARE(QDir::home().entryList({ "engine", "covers", "cover*" }), QStringList());
    }
};

VOCALUME_TEST_MAIN(TestCachedImage)
#include "tst_cachedimage.moc"
