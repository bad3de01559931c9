// The program on a session bus of the test's own, called as the desktop calls it (gdbus): search
// provider, runner and the program's own object; a dictionary too slow for the deadline is left out.
#include "base/datapaths.h"
#include "desktop/colorschemeportal.h"
#include "desktop/desktopbus.h"
#include "desktop/headwordqueries.h"
#include "tests/support/fakeportal.h"
#include "tests/support/privatebus.h"
#include "tests/support/storerows.h"
#include "tests/support/testdictionary.h"

#include <QProcess>

using TestDictionary::entry;

namespace {
const QString provider = QStringLiteral("org.gnome.Shell.SearchProvider2.");
const QString runner = QStringLiteral("org.kde.krunner1.");

// What gdbus prints for the call, or its error.
QString call(const QString& method, const QStringList& arguments)
{
    const QString path = method.startsWith(provider) ? DesktopBus::searchProviderPath()
        : method.startsWith(runner)                  ? DesktopBus::runnerPath()
                                                     : DesktopBus::objectPath();
    QProcess gdbus;
    gdbus.start("gdbus", QStringList { "call", "--session", "--dest", DesktopBus::serviceName(), "--object-path", path,
                                       "--method", method } + arguments);
    gdbus.waitForFinished(30000);
    return QString::fromUtf8(gdbus.readAllStandardOutput() + gdbus.readAllStandardError()).trimmed();
}
}

class TestDesktopBus : public QObject {
    Q_OBJECT
    QStringList heard; // what the bus asked of the window: "signal:arguments"

private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(DataPaths::webStorageDirectory()));
        TestSupport::storeExec("CREATE TABLE SYSTEM (ID INTEGER, REFBOOK TEXT, VARIABLE TEXT, VALUE TEXT)");
        QVERIFY(TestDictionary::install("voc", { entry("casa"), entry("casale"), entry("casato"), entry("andare"), entry("zeta/beta") }));
        QVERIFY(TestDictionary::install("due", { entry("casaccio"), entry("Casa") }));
        QVERIFY(TestDictionary::install("nascosto", { entry("casamatta") }));
        QVERIFY(TestSupport::storeBook("due", "Due", "2", "1", "2"));
        QVERIFY(TestSupport::storeBook("voc", "Vocabolario", "1", "1", "1"));
        QVERIFY(TestSupport::storeBook("nascosto", "Nascosto", "1", "0", "0"));
        QVERIFY(TestSupport::storeBook("comprato", "Comprato", "0", "1", "0"));
        // Answers wait for every dictionary here, however busy the machine.
        HeadwordQueries::setDeadline(20000);
        auto* bus = new DesktopBus(this);
        QVERIFY(bus->start());
        connect(bus, &DesktopBus::entryWanted, this,
            [this](const QString& sku, const QString& word) { heard << "entry:" + sku + '|' + word; });
        connect(bus, &DesktopBus::lookUpWanted, this, [this](const QString& word) { heard << "word:" + word; });
        connect(bus, &DesktopBus::selectionLookUpWanted, this, [this] { heard << "selection:"; });
        // Calls are answered on the objects' own thread once this loop has run: the test then
        // waits for gdbus without running it.
        QCoreApplication::processEvents();
    }

    // Each method with its arguments, gdbus's print of the reply, and what it asked of the window.
    void calledAsTheDesktopCalls_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("asked");
        QTest::newRow("shell: first text") << provider + "GetInitialResultSet" << QStringList { "['CAS']" }
            << "(['voc/casa', 'due/Casa', 'due/casaccio', 'voc/casale', 'voc/casato'],)" << "";
        QTest::newRow("shell: a headword with a slash") << provider + "GetInitialResultSet" << QStringList { "['zeta']" }
                                                        << "(['voc/zeta%2Fbeta'],)" << "";
        QTest::newRow("shell: choosing one") << provider + "ActivateResult" << QStringList { "due/Casa", "['cas']", "0" }
                                             << "()" << "entry:due|Casa";
        QTest::newRow("shell: the whole search") << provider + "LaunchSearch" << QStringList { "['la', 'casa']", "0" }
                                                 << "()" << "word:la casa";
        QTest::newRow("runner: beginning") << runner + "Match" << QStringList { "casal" }
            << "([('voc/casale', 'casale', 'it.zenta.Vocalume', 30, 1.0, {'actions': <@as []>, 'subtext': <'Vocabolario'>})],)"
            << "";
        QTest::newRow("own: a word") << "it.zenta.Vocalume.Cerca" << QStringList { "l'acqua" } << "()" << "word:l'acqua";
    }

    void calledAsTheDesktopCalls()
    {
        QFETCH(QString, method);
        QFETCH(QStringList, arguments);
        QFETCH(QString, reply);
        QFETCH(QString, asked);
        heard.clear();
        QCOMPARE(call(method, arguments), reply);
        if (!asked.isEmpty())
            QTRY_COMPARE(heard, QStringList { asked });
        QTest::qWait(20);
        QCOMPARE(heard, asked.isEmpty() ? QStringList() : QStringList { asked });
    }

    // A dictionary whose statement runs on and on: the answer goes out at the deadline with what
    // is ready, here nothing, since that dictionary comes first.
    void aSlowDictionaryIsLeftOut()
    {
        QVERIFY(TestDictionary::installEndless("lento"));
        QVERIFY(TestSupport::storeBook("lento", "Lento", "1", "1", "0"));
        HeadwordQueries::setDeadline(100);
        QCOMPARE(call(provider + "GetInitialResultSet", { "['casa']" }), QStringLiteral("(@as [],)"));
        HeadwordQueries::setDeadline(20000);
        {
            // Its own statement ends by the statement time limit, or the program never could.
            const TestSupport::Deadline deadline(30, "a prefix search of the endless dictionary");
            QVERIFY(PrefixSearch::inBook({ "lento", "Lento", "it" }, "casa", HeadwordQueries::limit).isEmpty());
        }
        TestSupport::storeExec("DELETE FROM SYSTEM WHERE REFBOOK = 'lento'");
        QCOMPARE(call(provider + "GetInitialResultSet", { "['casal']" }), QStringLiteral("(['voc/casale'],)"));
    }

    void colorScheme_data()
    {
        QTest::addColumn<uint>("scheme");
        QTest::addColumn<bool>("old");
        QTest::newRow("dark, ReadOne") << 1u << false;
        QTest::newRow("light, Read of an older portal") << 2u << true;
        QTest::newRow("no preference") << 0u << false;
    }

    // The portal's value is read at the start, then every change of that one setting follows.
    void colorScheme()
    {
        QFETCH(uint, scheme);
        QFETCH(bool, old);
        FakePortal fake(scheme, old, QTest::currentDataTag());
        QVERIFY(fake.publish());

        ColorSchemePortal portal;
        QList<int> told;
        connect(&portal, &ColorSchemePortal::preferenceChanged, this, [&told](int preference) { told << preference; });
        QVERIFY(portal.start());
        QTRY_COMPARE(told, QList<int> { int(scheme) });

        QVERIFY(fake.change(QStringLiteral("accent-color"), 1));
        QVERIFY(fake.change(QStringLiteral("color-scheme"), 2 - scheme % 2));
        QTRY_COMPARE(told, (QList<int> { int(scheme), int(2 - scheme % 2) }));
    }

    void colorSchemeWithoutBus()
    {
        ColorSchemePortal portal;
        QVERIFY(!portal.start(QDBusConnection(QStringLiteral("no bus"))));
    }

    void colorSchemeValues_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("preference");
        QTest::newRow("dark") << QVariant(1u) << int(ColorSchemePortal::PreferDark);
        QTest::newRow("light, wrapped twice") << QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusVariant(2u))))
                                              << int(ColorSchemePortal::PreferLight);
        QTest::newRow("out of range") << QVariant(7u) << int(ColorSchemePortal::NoPreference);
        QTest::newRow("not a number") << QVariant(QStringLiteral("dark")) << int(ColorSchemePortal::NoPreference);
    }

    void colorSchemeValues()
    {
        QFETCH(QVariant, value);
        QFETCH(int, preference);
        QCOMPARE(int(ColorSchemePortal::preferenceOf(value)), preference);
    }
};

int main(int argc, char* argv[])
{
    PrivateBus::enter(argc, argv);
    TestSupport::prepareEnvironment();
    QCoreApplication app(argc, argv);
    TestSupport::resetHome();
    TestDesktopBus tc;
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_desktopbus.moc"
