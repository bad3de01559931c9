#include "base/appsettings.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QSettings>

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void init() { TestSupport::resetHome(); }

    void missingKeysReadEmpty()
    {
        AppSettings settings;
        QCOMPARE(settings.version(), QString());
        QCOMPARE(settings.startCharset(QStringLiteral("never")), QString());
    }

    void writesAreSeenByOtherObjectsAndTheFile()
    {
        AppSettings().setUsername(QStringLiteral("mario"));
        AppSettings().setStartCharset(QStringLiteral("à|è"), QStringLiteral("2"));
        QCOMPARE(AppSettings().username(), QStringLiteral("mario"));
        const QString file = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/ZENTA/VocalumeZENTA.conf");
        QVERIFY(QFile::exists(file));
        QSettings raw(file, QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("login/username")).toString(), QStringLiteral("mario"));
        QCOMPARE(raw.value(QStringLiteral("startCharset/2")).toString(), QStringLiteral("à|è"));
    }

    void clearEmptiesTheStoreAtOnce()
    {
        AppSettings settings;
        settings.setSessionId(QStringLiteral("secret"));
        settings.setUsername(QStringLiteral("mario"));
        settings.clear();
        QCOMPARE(settings.username(), QString());
        QCOMPARE(AppSettings().sessionId(), QString());
    }

    void fileHoldingTheSessionIsOwnerOnly()
    {
        AppSettings().setSessionId(QStringLiteral("secret"));
        AppSettings().setVersion(QStringLiteral("1.1.0"));
        const QString file = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/ZENTA/VocalumeZENTA.conf");
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
