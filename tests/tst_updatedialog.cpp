// The dialog that offers the download page of a newer version.
#include "app/dialogs.h"
#include "app/update.h"
#include "tests/support/testsupport.h"

#include <QDesktopServices>
#include <QPushButton>

class TestUpdateDialog : public QObject
{
    Q_OBJECT
public slots:
    void recordOpenedUrl(const QUrl& url) { openedUrls << url.toString(); }

public:
    QStringList openedUrls;

private slots:
    void initTestCase()
    {
        for (const char* scheme : { "http", "https", "", "file", "javascript", "ftp" })
            QDesktopServices::setUrlHandler(scheme, this, "recordOpenedUrl");
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
        openedUrls.clear();
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

VOCALUME_TEST_MAIN(TestUpdateDialog)
#include "tst_updatedialog.moc"
