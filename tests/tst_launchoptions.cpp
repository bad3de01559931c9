// The start-up choices of the command line and the environment: the store address (option over
// environment over the built-in one), the request to the running copy, refused input; and the
// program printing its version although it discards its output in normal runs.
#include "app/launchoptions.h"
#include "tests/support/testsupport.h"
#include "vocalumeconfig.h"

#include <QProcess>

namespace {
// "host:port", " tls" when every request goes over TLS, then the store's host when it is not that host.
QString address(const ServiceEndpoint& at, const QString& storeHost)
{
    return QStringLiteral("%1:%2%3%4").arg(at.host).arg(at.port).arg(at.secure ? " tls" : "")
        .arg(storeHost == at.host ? QString() : " " + storeHost);
}
}

class TestLaunchOptions : public QObject {
    Q_OBJECT
private slots:
    // Expected: the address, then the request to the running copy as "verb|argument|service only".
    void parse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("expected"); // or "error", with a text saying why
        const auto row = [](const char* name, const QStringList& arguments, const QString& environment,
                            const QString& expected) { QTest::newRow(name) << arguments << environment << expected; };
        row("built-in", {}, "", address(ServiceEndpoint::built(), VOCALUME_STORE_HOST) + " raise||0");
        row("environment", {}, "127.0.0.1:47800", "127.0.0.1:47800 raise||0");
        row("option over environment", { "--store", "localhost:5000" }, "127.0.0.1:47800", "localhost:5000 raise||0");
        row("http, with =, default port", { "--store=http://h/" }, "", "h:80 raise||0");
        row("toolkit option passes", { "-platform", "offscreen", "--store", "h:81" }, "", "h:81 raise||0");
        row("https", { "--store", "https://Negozio.it" }, "", "negozio.it:443 tls raise||0");
        row("https with a path", { "--store", "https://h/api" }, "", "error");
        row("other scheme", { "--store", "ftp://h" }, "", "error");
        row("bad port", { "--store", "h:99999" }, "", "error");
        row("path", { "--store", "h/x" }, "", "error");
        row("empty option", { "--store=" }, "", "error");
        row("bad environment", {}, "h:x", "error");
        row("option hides bad environment", { "--store", "h:82" }, "h:x", "h:82 raise||0");
        row("a word", { "--cerca", "l'acqua è" }, "h:1", "h:1 cerca|l'acqua è|0");
        row("the selection", { "--selezione" }, "h:1", "h:1 selezione||0");
        row("the bus's start", { "--servizio" }, "h:1", "h:1 raise||1");
        row("two requests", { "--cerca", "casa", "--selezione" }, "", "error");
    }

    void parse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, environment);
        QFETCH(QString, expected);
        LaunchOptions options;
        const LaunchOptions::Outcome outcome = options.parse(QStringList { "vocalume" } + arguments, environment);
        if (outcome != LaunchOptions::Outcome::Run) {
            const bool explained = outcome == LaunchOptions::Outcome::Error && !options.text().isEmpty();
            QCOMPARE(explained ? "error" : "other", expected);
            return;
        }
        const QString request = QStringLiteral(" %1|%2|%3").arg(options.requestVerb(), options.requestArgument());
        QCOMPARE(address(options.endpoint(), options.storeHost()) + request.arg(options.serviceOnly()), expected);
    }

    // The program closes its output streams at start; what the user asked to read must come first.
    void programPrints_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("version") << QStringList { "-v" } << 0 << "vocalume " VOCALUME_VERSION "\n" << "";
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
