// The version check and the dialog that offers the download page.
#include "app/dialogs.h"
#include "app/update.h"
#include "services/updatews.h"
#include "tests/support/serviceoutcome.h"
#include "tests/support/testsupport.h"
#include "vocalumeconfig.h"

#include <QDesktopServices>
#include <QPushButton>

using namespace ServiceOutcome;

class TestUpdateWS : public QObject
{
    Q_OBJECT
public slots:
    void recordOpenedUrl(const QUrl& url) { openedUrls << url.toString(); }

private:
    QStringList openedUrls;

private slots:
    void initTestCase()
    {
        for (const char* scheme : { "http", "https", "", "file", "javascript", "ftp" })
            QDesktopServices::setUrlHandler(scheme, this, "recordOpenedUrl");
    }

    void init()
    {
        TestSupport::resetHome();
        openedUrls.clear();
    }

    void versionReply_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QVariantList>("replied"); // a newer version is offered, the download page
        QTest::addColumn<QString>("error");
        const QByteArray current = VOCALUME_VERSION;
        const auto sw = [](const QByteArray& fields) { return "<software>" + fields + "</software>"; };
        const QString invalid = "Risposta dal server non valida";
        QTest::newRow("same version") << result(sw(field("version", current) + field("download_url", "http://x/d")))
                                      << QVariantList { false, "http://x/d" } << "";
        QTest::newRow("older version is offered too")
            << result(sw(field("download_url", "http://x/d") + field("version", "0.0.9")))
            << QVariantList { true, "http://x/d" } << "";
        QTest::newRow("comparison is exact text, no download_url")
            << result(sw(field("version", current + " "))) << QVariantList { true, "" } << "";
        QTest::newRow("last of each name wins across software elements")
            << result(sw(field("version", "9.0") + field("download_url", "http://a")) + sw(field("version", current)))
            << QVariantList { false, "http://a" } << "";
        QTest::newRow("errorCode does not apply")
            << result(field("errorCode", "9") + sw(field("version", current))) << QVariantList { false, "" } << "";
        QTest::newRow("fields outside software are ignored")
            << result(field("version", "2.0") + field("download_url", "http://x")) << QVariantList() << invalid;
        QTest::newRow("empty version") << result(sw(field("version", ""))) << QVariantList() << invalid;
        QTest::newRow("root is not result")
            << HttpTestServer::reply(sw(field("version", "2"))) << QVariantList() << "XML non interpretabile";
        QTest::newRow("dropped connection") << QByteArray() << QVariantList() << "Errore di rete";
    }

    void versionReply()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QVariantList, replied);
        QFETCH(QString, error);
        HttpTestServer server;
        server.makeCurrent();
        server.respondWith(bytes);
        const Outcome answer = ask<UpdateWS>(&UpdateWS::replyUpdate, [](UpdateWS& c) { c.checkVersion(); });
        QCOMPARE(answer.error, error);
        QCOMPARE(answer.replied, replied);
        QCOMPARE(server.targets.value(0), QByteArray("/rest/server?method=getVersion"));
        QVERIFY(TestSupport::recorded().diagnostics.isEmpty()); // the check writes no request line
    }

    // Only a web address is ever handed to the browser.
    void offerDownload_data()
    {
        QTest::addColumn<bool>("reply");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("opened");
        QTest::newRow("no new version: no dialog") << false << true << "http://x/d" << false;
        QTest::newRow("Vai!") << true << true << "http://x/d" << true;
        QTest::newRow("Non adesso") << true << false << "http://x/d" << false;
        QTest::newRow("no address, accepted") << true << true << "" << false;
        QTest::newRow("https") << true << true << "https://x/d" << true;
        QTest::newRow("local file") << true << true << "file:///etc/passwd" << false;
        QTest::newRow("script") << true << true << "javascript:alert(1)" << false;
        QTest::newRow("other scheme") << true << true << "ftp://x/d" << false;
    }

    void offerDownload()
    {
        QFETCH(bool, reply);
        QFETCH(bool, accept);
        QFETCH(QString, url);
        QFETCH(bool, opened);
        QWidget window;
        int shown = 0; // dialogs over the window
        Dialogs::setHandler([&](Dialogs::Kind kind, const QString&, const QString&, QDialog* dialog) {
            auto* update = qobject_cast<Update*>(dialog);
            if (kind == Dialogs::Kind::Dialog && update && update->parentWidget() == &window) {
                ++shown;
                update->findChild<QPushButton*>(accept ? "pushButtonOk" : "pushButtonAnnulla")->click();
            }
            return int(QDialog::Rejected);
        });
        Update::offerDownload(&window, reply, url);
        QCOMPARE(shown, int(reply));
        QCOMPARE(openedUrls, opened ? QStringList { url } : QStringList());
    }
};

VOCALUME_TEST_MAIN(TestUpdateWS)
#include "tst_updatews.moc"
