#include "base/appsettings.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QSettings>

class TestSettings : public QObject
{
    Q_OBJECT
private:
    const QString file = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/ZENTA/VocalumeZENTA.conf");

private slots:
    void init() { TestSupport::resetHome(); }

    // Every object reads the one file at once, under the names stored on users' disks.
    void writesAreSeenByOtherObjectsAndTheFile()
    {
        QCOMPARE(AppSettings().startCharset(QStringLiteral("2")), QString());
        AppSettings().setUsername(QStringLiteral("mario"));
        AppSettings().setStartCharset(QStringLiteral("à|è"), QStringLiteral("2"));
        QCOMPARE(AppSettings().username(), QStringLiteral("mario"));
        QSettings raw(file, QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("login/username")).toString(), QStringLiteral("mario"));
        QCOMPARE(raw.value(QStringLiteral("startCharset/2")).toString(), QStringLiteral("à|è"));
        AppSettings().clear();
        QCOMPARE(AppSettings().username(), QString());
        QCOMPARE(AppSettings().startCharset(QStringLiteral("2")), QString());
    }

    // Also a file that an older release or a restored backup left open to others.
    void fileHoldingTheSessionIsOwnerOnly_data()
    {
        QTest::addColumn<int>("earlierMode"); // of a file already there; 0: none
        QTest::newRow("new file") << 0;
        QTest::newRow("readable by all")
            << int(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }

    void fileHoldingTheSessionIsOwnerOnly()
    {
        QFETCH(int, earlierMode);
        if (earlierMode) {
            QVERIFY(TestSupport::writeFile(file, "[login]\n"));
            QVERIFY(QFile::setPermissions(file, QFile::Permissions(earlierMode)));
        }
        AppSettings().setSessionId(QStringLiteral("secret"));
        AppSettings().setVersion(QStringLiteral("1.1.0"));
        const QFile::Permissions perms = QFile::permissions(file);
        QVERIFY(perms & QFile::ReadOwner);
        QVERIFY(perms & QFile::WriteOwner);
        QCOMPARE(int(perms & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
                              | QFile::WriteOther | QFile::ExeOther)),
                 0);
    }
};

VOCALUME_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
