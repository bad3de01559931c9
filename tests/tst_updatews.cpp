// The version check and the dialog that offers the download page.
#include "app/dialogs.h"
#include "app/update.h"
#include "services/updatews.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testsupport.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>

namespace {
QPushButton* button(QDialog* dialog, const char* name)
{
    return dialog->findChild<QPushButton*>(QLatin1String(name));
}
}

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
        QTest::addColumn<bool>("replied");
        QTest::addColumn<bool>("newAvailable");
        QTest::addColumn<QString>("text"); // download page, or the error text

        const auto ok = [](const QByteArray& inner) { return HttpTestServer::reply("<result>" + inner + "</result>"); };
        const auto f = [](const QByteArray& name, const QByteArray& value) {
            return "<field name=\"" + name + "\">" + value + "</field>";
        };
        const auto sw = [](const QByteArray& fields) { return "<software>" + fields + "</software>"; };
        const QString invalid = "Risposta dal server non valida";
        QTest::newRow("same version")
            << ok(sw(f("version", "1.1.0") + f("download_url", "http://x/d"))) << true << false << "http://x/d";
        QTest::newRow("older version is offered too")
            << ok(sw(f("download_url", "http://x/d") + f("version", "1.0.9"))) << true << true << "http://x/d";
        QTest::newRow("comparison is exact text") << ok(sw(f("version", "1.1.0 "))) << true << true << "";
        QTest::newRow("no download_url") << ok(sw(f("version", "1.2.0"))) << true << true << "";
        QTest::newRow("last of each name wins across software elements")
            << ok(sw(f("version", "1.2.0") + f("download_url", "http://a")) + sw(f("version", "1.1.0")))
            << true << false << "http://a";
        QTest::newRow("errorCode does not apply")
            << ok(f("errorCode", "9") + sw(f("version", "1.1.0"))) << true << false << "";
        QTest::newRow("fields outside software are ignored") << ok(f("version", "2.0") + f("download_url", "http://x"))
                                                             << false << false << invalid;
        QTest::newRow("empty version") << ok(sw(f("version", ""))) << false << false << invalid;
        QTest::newRow("root is not result") << HttpTestServer::reply(sw(f("version", "2"))) << false << false
                                            << "XML non interpretabile";
        QTest::newRow("dropped connection") << QByteArray() << false << false << "Errore di rete";
    }

    void versionReply()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, replied);
        QFETCH(bool, newAvailable);
        QFETCH(QString, text);
        HttpTestServer server;
        server.makeCurrent();
        server.respondWith(bytes);
        UpdateWS update;
        QSignalSpy replies(&update, &UpdateWS::replyUpdate);
        QSignalSpy errors(&update, &UpdateWS::errorMessage);
        update.checkVersion();
        QTRY_COMPARE(replies.count() + errors.count(), 1);
        QCOMPARE(server.targets.value(0), QByteArray("/rest/server?method=getVersion"));
        if (replied)
            QCOMPARE(replies.value(0), QList<QVariant>({ newAvailable, text }));
        else
            QCOMPARE(errors.value(0), QList<QVariant> { text });
        QVERIFY(TestSupport::recorded().diagnostics.isEmpty()); // the check writes no request line
    }

    void offerDownload_data()
    {
        QTest::addColumn<bool>("reply");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QStringList>("opened");
        QTest::newRow("no new version: no dialog") << false << "ok" << "http://x/d" << QStringList();
        QTest::newRow("Vai!") << true << "ok" << "http://x/d" << QStringList { "http://x/d" };
        QTest::newRow("Non adesso") << true << "annulla" << "http://x/d" << QStringList();
        QTest::newRow("no address, accepted") << true << "ok" << "" << QStringList();
        QTest::newRow("https") << true << "ok" << "https://x/d" << QStringList { "https://x/d" };
        QTest::newRow("local file") << true << "ok" << "file:///etc/passwd" << QStringList();
        QTest::newRow("script") << true << "ok" << "javascript:alert(1)" << QStringList();
        QTest::newRow("other scheme") << true << "ok" << "ftp://x/d" << QStringList();
    }

    void offerDownload()
    {
        QFETCH(bool, reply);
        QFETCH(QString, action);
        QFETCH(QString, url);
        QFETCH(QStringList, opened);
        QWidget window;
        QStringList shown; // each dialog's title, question and buttons, as the user sees them
        Dialogs::setHandler([&](Dialogs::Kind kind, const QString&, const QString&, QDialog* dialog) {
            auto* update = qobject_cast<Update*>(dialog);
            if (kind != Dialogs::Kind::Dialog || !update || update->parentWidget() != &window)
                return int(QDialog::Rejected);
            shown << update->windowTitle() + "|" + update->findChild<QLabel*>("label_2")->text() + "|"
                    + button(update, "pushButtonOk")->text() + "|" + button(update, "pushButtonAnnulla")->text();
            button(update, action == "ok" ? "pushButtonOk" : "pushButtonAnnulla")->click();
            return int(QDialog::Rejected);
        });
        Update::offerDownload(&window, reply, url);
        QCOMPARE(shown, reply ? QStringList { "Aggiornamento disponibile|Si desidera aprire il browser e andare alla "
                                              "pagina del download?|Vai!|Non adesso" }
                              : QStringList());
        QCOMPARE(openedUrls, opened);
    }
};

VOCALUME_TEST_MAIN(TestUpdateWS)
#include "tst_updatews.moc"
