// The scopes a keyword search can be restricted to, read on the GUI thread through a connection
// the program shares: it is left closed with its own options. (The searches: tst_searchentry.)
#include "search/resultliteral.h"
#include "search/scopelist.h"
#include "tests/support/testdictionary.h"

#include <QSqlDatabase>

using TestDictionary::entry;

class TestSearchFullText : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(TestDictionary::install("ft", { entry("a", "", {}, {}, { "Astronomia" }),
            entry("b", "", {}, {}, { "Botanica", "Astronomia" }), entry("c", "", {}, {}, { "Arte dell'ombra" }) }));
        QVERIFY(QDir().mkpath(TestDictionary::bookDirectory("rotto") + "/database.db"));
        QSqlDatabase::addDatabase("QSQLITE", "shared").setConnectOptions("QSQLITE_BUSY_TIMEOUT=10");
    }

    void scopes_data()
    {
        QTest::addColumn<QString>("sku");
        QTest::addColumn<int>("access");
        QTest::addColumn<QString>("literal");
        QTest::newRow("by name") << "ft" << int(DatabaseAccess::Opened)
                                 << "{tot:3, result:[{id:3, nome:'Arte dell\\\\u0027ombra'}, "
                                    "{id:1, nome:'Astronomia'}, {id:2, nome:'Botanica'}]}";
        QTest::newRow("not installed") << "none" << int(DatabaseAccess::Missing) << "{tot:0, result:[]}";
        QTest::newRow("unopenable") << "rotto" << int(DatabaseAccess::OpenFailed) << "{tot:0, result:[]}";
    }

    void scopes()
    {
        QFETCH(QString, sku);
        QFETCH(int, access);
        QFETCH(QString, literal);
        QSqlDatabase connection = QSqlDatabase::database("shared", false);
        QList<Scope> list;
        QCOMPARE(int(readScopes(connection, sku, list)), access);
        QCOMPARE(ResultLiteral::scopes(list), literal);
        QVERIFY(!connection.isOpen());
        QCOMPARE(connection.connectOptions(), QStringLiteral("QSQLITE_BUSY_TIMEOUT=10"));
    }
};

VOCALUME_TEST_MAIN(TestSearchFullText)
#include "tst_searchfulltext.moc"
