// The start-up choices of the command line and the environment: the store address (option over
// environment over the built-in address), help and version, refused input; and the program
// itself printing help and version although it discards its output in normal runs.
#include "app/launchoptions.h"
#include "tests/support/testsupport.h"
#include "vocalumeconfig.h"

#include <QProcess>

Q_DECLARE_METATYPE(LaunchOptions::Outcome)

class TestLaunchOptions : public QObject {
    Q_OBJECT
private slots:
    void storeAddress_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("environment");
        QTest::addColumn<LaunchOptions::Outcome>("outcome");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");

        const QString builtHost = QStringLiteral(VOCALUME_SERVICE_HOST);
        const int builtPort = VOCALUME_SERVICE_PORT;
        using O = LaunchOptions::Outcome;
        QTest::newRow("built-in") << QStringList() << QString() << O::Run << builtHost << builtPort;
        QTest::newRow("environment") << QStringList() << "127.0.0.1:47800" << O::Run << "127.0.0.1" << 47800;
        QTest::newRow("option over environment")
            << QStringList { "--store", "localhost:5000" } << "127.0.0.1:47800" << O::Run << "localhost" << 5000;
        QTest::newRow("option with =")
            << QStringList { "--store=negozio.esempio" } << QString() << O::Run << "negozio.esempio" << 80;
        QTest::newRow("toolkit option passes")
            << QStringList { "-platform", "offscreen", "--store", "h:81" } << QString() << O::Run << "h" << 81;
        // With https:// every request goes over TLS; the other forms stay plain HTTP.
        QTest::newRow("http scheme")
            << QStringList { "--store", "http://h:8080/" } << QString() << O::Run << "h" << 8080;
        QTest::newRow("https")
            << QStringList { "--store", "https://Negozio.it" } << QString() << O::Run << "negozio.it" << 443;
        QTest::newRow("https, environment")
            << QStringList() << "https://127.0.0.1:8443" << O::Run << "127.0.0.1" << 8443;
        QTest::newRow("https with a path")
            << QStringList { "--store", "https://h/api" } << QString() << O::Error << "" << 0;
        QTest::newRow("other scheme") << QStringList { "--store", "ftp://h" } << QString() << O::Error << "" << 0;
        QTest::newRow("bad port") << QStringList { "--store", "h:99999" } << QString() << O::Error << "" << 0;
        QTest::newRow("path") << QStringList { "--store", "h/x" } << QString() << O::Error << "" << 0;
        QTest::newRow("empty option") << QStringList { "--store=" } << QString() << O::Error << "" << 0;
        QTest::newRow("bad environment") << QStringList() << "h:x" << O::Error << "" << 0;
        QTest::newRow("option hides bad environment")
            << QStringList { "--store", "h:82" } << "h:x" << O::Run << "h" << 82;
        QTest::newRow("unknown option") << QStringList { "--nessuna" } << QString() << O::Error << "" << 0;
        QTest::newRow("help") << QStringList { "--help" } << QString() << O::Help << "" << 0;
        QTest::newRow("version") << QStringList { "-v" } << QString() << O::Version << "" << 0;
    }

    void storeAddress()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, environment);
        QFETCH(LaunchOptions::Outcome, outcome);
        QFETCH(QString, host);
        QFETCH(int, port);

        LaunchOptions options;
        QCOMPARE(options.parse(QStringList { "vocalume" } + arguments, environment), outcome);
        if (outcome == LaunchOptions::Outcome::Run) {
            QCOMPARE(options.endpoint().host, host);
            QCOMPARE(int(options.endpoint().port), port);
            const bool chosen = !arguments.isEmpty() || !environment.isEmpty();
            QCOMPARE(options.storeHost(), chosen ? host : QStringLiteral(VOCALUME_STORE_HOST));
            const bool https = (arguments.join(' ') + environment).contains("https://");
            QCOMPARE(options.endpoint().secure, chosen ? https : bool(VOCALUME_SERVICE_SECURE));
        } else {
            QVERIFY(!options.text().isEmpty());
        }
        if (outcome == LaunchOptions::Outcome::Help)
            QVERIFY(options.text().contains(QLatin1String("--store")));
        if (outcome == LaunchOptions::Outcome::Version)
            QCOMPARE(options.text(), QStringLiteral("vocalume " VOCALUME_VERSION "\n"));
    }

    // What a start asks of the running copy: bring the window up, look a word or the selection up,
    // or (started by the bus) wait without a window.
    void request_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("request"); // "verb|argument|service", or "error"
        QTest::newRow("plain start") << QStringList() << "raise||0";
        QTest::newRow("a word") << QStringList { "--cerca", "l'acqua è" } << "cerca|l'acqua è|0";
        QTest::newRow("the selection") << QStringList { "--selezione" } << "selezione||0";
        QTest::newRow("the bus's start") << QStringList { "--servizio" } << "raise||1";
        QTest::newRow("no word") << QStringList { "--cerca" } << "error";
        QTest::newRow("two requests") << QStringList { "--cerca", "casa", "--selezione" } << "error";
    }

    void request()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, request);
        LaunchOptions options;
        const bool run = options.parse(QStringList { "vocalume" } + arguments, QString()) == LaunchOptions::Outcome::Run;
        QCOMPARE(run ? QStringLiteral("%1|%2|%3").arg(options.requestVerb(), options.requestArgument()).arg(options.serviceOnly())
                     : QStringLiteral("error"),
            request);
    }

    // The program closes its output streams at start; what the user asked to read must come first.
    void programPrints_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("version") << QStringList { "--version" } << 0 << "vocalume " VOCALUME_VERSION "\n" << "";
        QTest::newRow("help") << QStringList { "--help" } << 0 << "--store" << "";
        QTest::newRow("help on the look-up") << QStringList { "-h" } << 0 << "--cerca <parola>\n      Cerca la parola" << "";
        QTest::newRow("refused") << QStringList { "--store", "h:0" } << 2 << "" << "--store";
    }

    void programPrints()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const QString program = qEnvironmentVariable("VOCALUME_BINARY_DIR") + QStringLiteral("/vocalume");
        if (!QFileInfo(program).isExecutable())
            QSKIP("the program is not built");
        QProcess process;
        process.start(program, arguments);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        const QString stdOut = QString::fromLocal8Bit(process.readAllStandardOutput());
        const QString stdErr = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.contains(out), qPrintable(stdOut));
        QVERIFY2(err.isEmpty() ? stdErr.isEmpty() : stdErr.contains(err), qPrintable(stdErr));
    }
};

VOCALUME_TEST_MAIN(TestLaunchOptions)
#include "tst_launchoptions.moc"
