// storeservice: the reference implementation of the publisher's store for development, demos and
// end-to-end tests. Listens on 127.0.0.1 only and prints "PORT <n>" as its first line.
//
//   storeservice --catalog tools/storeservice/demo --packages /tmp/packages --port 0
//                [--cert server.pem --key server.key]
#include "catalog.h"
#include "storeserver.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

namespace {
int failWith(const QString& message)
{
    std::fprintf(stderr, "storeservice: %s\n", qPrintable(message));
    return 1;
}

bool readNumber(const QCommandLineParser& parser, const QCommandLineOption& option, qint64 minimum, qint64* value)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    *value = parser.value(option).toLongLong(&ok);
    return ok && *value >= minimum;
}
}

int main(int argc, char* argv[])
{
    // Covers are drawn with fonts, which need a GUI application but never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Reference store service: login, purchase history, package download, version check, covers and store pages."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Port on 127.0.0.1 (0: any free port)."),
                                        QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption catalogOption(QStringLiteral("catalog"), QStringLiteral("Directory holding catalog.ini."),
                                           QStringLiteral("dir"));
    const QCommandLineOption packagesOption(QStringLiteral("packages"),
                                            QStringLiteral("Directory of the package files (default: the catalog directory)."),
                                            QStringLiteral("dir"));
    const QCommandLineOption denyOption(QStringLiteral("deny"), QStringLiteral("Answer every session check with \"Accesso negato\"."));
    const QCommandLineOption delayOption(QStringLiteral("delay-ms"), QStringLiteral("Delay every reply."), QStringLiteral("ms"));
    const QCommandLineOption cutOption(QStringLiteral("cut-after"),
                                       QStringLiteral("Close each package reply after this many body bytes."), QStringLiteral("bytes"));
    const QCommandLineOption cutTimesOption(QStringLiteral("cut-times"),
                                            QStringLiteral("Cut only the first this many package replies (with --cut-after)."),
                                            QStringLiteral("n"));
    const QCommandLineOption slowOption(QStringLiteral("slow-download"),
                                        QStringLiteral("Send package bodies at most this fast."), QStringLiteral("bytes-per-second"));
    const QCommandLineOption refusals200Option(QStringLiteral("refusals-as-200"),
        QStringLiteral("Refuse package requests with status 200 and the error envelope, as the real service does."));
    const QCommandLineOption expireOnRangeOption(QStringLiteral("expire-on-range"),
        QStringLiteral("A package request that continues a transfer (a Range) finds the session expired."));
    const QCommandLineOption packageStatusOption(QStringLiteral("package-status"),
        QStringLiteral("Refuse every package request with this HTTP status (400, 407, 418...)."), QStringLiteral("code"));
    const QCommandLineOption noLengthOption(QStringLiteral("no-length"),
        QStringLiteral("Send package bodies without Content-Length, ended by closing the connection."));
    const QCommandLineOption certOption(QStringLiteral("cert"),
                                        QStringLiteral("Serve HTTPS with this certificate chain (PEM); needs --key."),
                                        QStringLiteral("file"));
    const QCommandLineOption keyOption(QStringLiteral("key"), QStringLiteral("Private key of --cert (PEM)."),
                                       QStringLiteral("file"));
    parser.addOptions({ portOption, catalogOption, packagesOption, denyOption, delayOption, cutOption, cutTimesOption,
                        slowOption, refusals200Option, expireOnRangeOption, packageStatusOption, noLengthOption,
                        certOption, keyOption });
    parser.process(app);

    if (!parser.isSet(catalogOption))
        return failWith(QStringLiteral("--catalog is required"));
    qint64 port = 0;
    qint64 delay = 0;
    qint64 cutAfter = -1;
    qint64 cutTimes = -1;
    qint64 slow = 0;
    qint64 packageStatus = 0;
    if (!readNumber(parser, portOption, 0, &port) || port > 65535)
        return failWith(QStringLiteral("invalid --port"));
    if (parser.isSet(certOption) != parser.isSet(keyOption))
        return failWith(QStringLiteral("--cert and --key go together"));
    if (!readNumber(parser, delayOption, 0, &delay) || !readNumber(parser, cutOption, 0, &cutAfter)
        || !readNumber(parser, cutTimesOption, 0, &cutTimes) || cutTimes > 1000000 || !readNumber(parser, slowOption, 1, &slow)
        || !readNumber(parser, packageStatusOption, 100, &packageStatus) || packageStatus > 599)
        return failWith(QStringLiteral("invalid number"));

    Catalog catalog;
    QString error;
    const QString catalogDir = parser.value(catalogOption);
    if (!catalog.load(catalogDir, &error))
        return failWith(error);

    StoreServer::Options options;
    options.packages = QDir(parser.isSet(packagesOption) ? parser.value(packagesOption) : catalogDir).absolutePath();
    catalog.matchPackages(options.packages);
    options.deny = parser.isSet(denyOption);
    options.delayMs = int(delay);
    options.cutAfter = cutAfter;
    options.cutTimes = int(cutTimes);
    options.slowDownload = slow;
    options.refusalsAs200 = parser.isSet(refusals200Option);
    options.expireOnRange = parser.isSet(expireOnRangeOption);
    options.packageStatus = int(packageStatus);
    options.noLength = parser.isSet(noLengthOption);
    options.certificate = parser.value(certOption);
    options.key = parser.value(keyOption);

    StoreServer server(catalog, options);
    if (!server.isValid())
        return failWith(
            QStringLiteral("cannot load the certificate %1 or its key %2").arg(options.certificate, options.key));
    const int bound = server.bind(int(port));
    if (bound <= 0)
        return failWith(QStringLiteral("cannot listen on 127.0.0.1:%1").arg(port));
    std::printf("PORT %d\n", bound);
    std::fflush(stdout);
    std::fprintf(stderr, "storeservice: %s://127.0.0.1:%d/ catalog %s, packages %s\n",
                 options.certificate.isEmpty() ? "http" : "https", bound,
                 qPrintable(QDir(catalogDir).absolutePath()), qPrintable(options.packages));
    return server.run() ? 0 : 1;
}
