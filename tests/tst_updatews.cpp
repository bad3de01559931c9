// The version check and the dialog that offers the download page.
#include "app/dialogs.h"
#include "app/update.h"
#include "app/updatews.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

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
        for (const QString& scheme : { QStringLiteral("http"), QStringLiteral("https"), QString() })
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
        QTest::newRow("same version")
            << ok("<software><field name=\"version\">1.1.0</field><field name=\"download_url\">http://x/d</field></software>")
            << true << false << "http://x/d";
        QTest::newRow("older version is offered too")
            << ok("<software><field name=\"download_url\">http://x/d</field><field name=\"version\">1.0.9</field></software>")
            << true << true << "http://x/d";
        QTest::newRow("newer version")
            << ok("<software><field name=\"version\">2.0</field><field name=\"download_url\">http://x/n</field></software>")
            << true << true << "http://x/n";
        QTest::newRow("comparison is exact text")
            << ok("<software><field name=\"version\">1.1.0 </field></software>") << true << true << "";
        QTest::newRow("no download_url")
            << ok("<software><field name=\"version\">1.2.0</field></software>") << true << true << "";
        QTest::newRow("last of each name wins across software elements")
            << ok("<software><field name=\"version\">1.2.0</field><field name=\"download_url\">http://a</field></software>"
                  "<software><field name=\"version\">1.1.0</field></software>")
            << true << false << "http://a";
        QTest::newRow("errorCode does not apply")
            << ok("<field name=\"errorCode\">9</field><software><field name=\"version\">1.1.0</field></software>")
            << true << false << "";
        QTest::newRow("fields outside software are ignored")
            << ok("<field name=\"version\">2.0</field><field name=\"download_url\">http://x</field>") << false << false
            << "Risposta dal server non valida";
        QTest::newRow("empty version") << ok("<software><field name=\"version\"></field></software>") << false << false
                                       << "Risposta dal server non valida";
        QTest::newRow("root is not result") << HttpTestServer::reply("<software><field name=\"version\">2</field></software>")
                                            << false << false << "XML non interpretabile";
        QTest::newRow("not XML") << HttpTestServer::reply("version=2.0") << false << false << "XML non interpretabile";
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
        if (replied) {
            QCOMPARE(replies.count(), 1);
            QCOMPARE(replies.first().at(0).toBool(), newAvailable);
            QCOMPARE(replies.first().at(1).toString(), text);
        } else {
            QCOMPARE(errors.count(), 1);
            QCOMPARE(errors.first().at(0).toString(), text);
        }
        QVERIFY(TestSupport::recorded().diagnostics.isEmpty()); // the check writes no request line
    }

    void dialogForm()
    {
        Update dialog;
        QCOMPARE(dialog.objectName(), QStringLiteral("Update"));
        QCOMPARE(dialog.size(), QSize(512, 143));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Aggiornamento disponibile"));
        QVERIFY(!dialog.windowIcon().isNull());
        auto* label = dialog.findChild<QLabel*>(QStringLiteral("label_2"));
        QVERIFY(label);
        QCOMPARE(label->geometry(), QRect(30, 30, 471, 17));
        QCOMPARE(label->text(), QStringLiteral("Si desidera aprire il browser e andare alla pagina del download?"));
        QPushButton* ok = button(&dialog, "pushButtonOk");
        QVERIFY(ok);
        QCOMPARE(ok->geometry(), QRect(30, 90, 98, 27));
        QCOMPARE(ok->text(), QStringLiteral("Vai!"));
        QPushButton* notNow = button(&dialog, "pushButtonAnnulla");
        QVERIFY(notNow);
        QCOMPARE(notNow->geometry(), QRect(150, 90, 98, 27));
        QCOMPARE(notNow->text(), QStringLiteral("Non adesso"));
        QCOMPARE(dialog.accepted, false);
    }

    void offerDownload_data()
    {
        QTest::addColumn<bool>("reply");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QStringList>("opened");
        QTest::newRow("no new version") << false << "ok" << "http://x/d" << false << QStringList();
        QTest::newRow("Vai!") << true << "ok" << "http://x/d" << true << QStringList { "http://x/d" };
        QTest::newRow("Non adesso") << true << "annulla" << "http://x/d" << true << QStringList();
        QTest::newRow("closed") << true << "close" << "http://x/d" << true << QStringList();
        QTest::newRow("no address, accepted") << true << "ok" << "" << true << QStringList { "" };
    }

    void offerDownload()
    {
        QFETCH(bool, reply);
        QFETCH(QString, action);
        QFETCH(QString, url);
        QFETCH(bool, shown);
        QFETCH(QStringList, opened);
        QWidget window;
        int dialogs = 0;
        Dialogs::setHandler([&](Dialogs::Kind kind, const QString&, const QString&, QDialog* dialog) {
            ++dialogs;
            auto* update = qobject_cast<Update*>(dialog);
            if (kind != Dialogs::Kind::Dialog || !update || update->parentWidget() != &window)
                return int(QDialog::Rejected);
            if (action == QLatin1String("ok"))
                button(update, "pushButtonOk")->click();
            else if (action == QLatin1String("annulla"))
                button(update, "pushButtonAnnulla")->click();
            else
                update->close();
            return int(QDialog::Rejected);
        });
        Update::offerDownload(&window, reply, url);
        QCOMPARE(dialogs, shown ? 1 : 0);
        QCOMPARE(openedUrls, opened);
    }
};

VOCALUME_TEST_MAIN(TestUpdateWS)
#include "tst_updatews.moc"
