#include "app/launchoptions.h"

#include "vocalumeconfig.h"

#include <QCommandLineParser>
#include <QUrl>

namespace {
// The toolkit reads these itself when the application object is created; they are accepted
// here so that they do not count as unknown.
QList<QCommandLineOption> toolkitOptions()
{
    QList<QCommandLineOption> options;
    for (const char* name : { "platform", "platformpluginpath", "platformtheme", "plugin", "style", "stylesheet",
             "geometry", "qwindowgeometry", "qwindowicon", "qwindowtitle", "display", "title", "name", "session" }) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        options << option;
    }
    for (const char* name : { "reverse", "widgetcount", "nograb", "dograb", "sync" }) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        options << option;
    }
    return options;
}

// The parser's own help text needs the application object, which does not exist yet.
QString helpText(const QList<QCommandLineOption>& options)
{
    QString text = QStringLiteral(
        "Uso: vocalume [opzioni]\nVocalume: i dizionari digitali dell'editore sul desktop.\n\nOpzioni:\n");
    for (const QCommandLineOption& option : options) {
        QStringList names;
        for (const QString& name : option.names())
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        QString left = names.join(QStringLiteral(", "));
        if (!option.valueName().isEmpty())
            left += QStringLiteral(" <%1>").arg(option.valueName());
        text += QStringLiteral("  %1\n      %2\n").arg(left, option.description());
    }
    return text;
}
}

bool LaunchOptions::parseAddress(const QString& text, QString* host, quint16* port)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.contains(QLatin1Char('/')) || trimmed.contains(QLatin1Char('@')))
        return false;
    const QUrl url(QStringLiteral("http://") + trimmed, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.path().isEmpty() || url.hasQuery() || url.hasFragment())
        return false;
    const int chosen = url.port(80);
    if (chosen <= 0 || chosen > 65535)
        return false;
    *host = url.host();
    *port = quint16(chosen);
    return true;
}

LaunchOptions::Outcome LaunchOptions::parse(const QStringList& arguments, const QString& environment)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption helpOption(
        { QStringLiteral("h"), QStringLiteral("help") }, QStringLiteral("Mostra questo aiuto ed esce."));
    const QCommandLineOption versionOption(
        { QStringLiteral("v"), QStringLiteral("version") }, QStringLiteral("Mostra la versione ed esce."));
    const QCommandLineOption storeOption(QStringLiteral("store"),
        QStringLiteral("Indirizzo (host[:porta]) dei servizi e del negozio online; prevale sulla variabile "
                       "d'ambiente %1. Predefinito: %2.")
            .arg(QLatin1String(environmentVariable),
                QStringLiteral(VOCALUME_SERVICE_HOST ":%1").arg(VOCALUME_HTTP_PORT)),
        QStringLiteral("host[:porta]"));
    parser.addOptions({ helpOption, versionOption, storeOption });
    parser.addOptions(toolkitOptions());

    if (!parser.parse(arguments)) {
        message = parser.errorText();
        return Outcome::Error;
    }
    if (parser.isSet(helpOption)) {
        message = helpText({ helpOption, versionOption, storeOption });
        return Outcome::Help;
    }
    if (parser.isSet(versionOption)) {
        message = QStringLiteral("vocalume " VOCALUME_VERSION "\n");
        return Outcome::Version;
    }

    chosenEndpoint = { QStringLiteral(VOCALUME_SERVICE_HOST), quint16(VOCALUME_HTTP_PORT) };
    chosenStoreHost = QStringLiteral(VOCALUME_STORE_HOST);
    const bool fromOption = parser.isSet(storeOption);
    const QString address = fromOption ? parser.value(storeOption) : environment;
    if (!fromOption && address.isEmpty())
        return Outcome::Run;
    if (!parseAddress(address, &chosenEndpoint.host, &chosenEndpoint.port)) {
        message = QStringLiteral("Indirizzo non valido (%1): %2")
                      .arg(fromOption ? QStringLiteral("--store") : QLatin1String(environmentVariable), address);
        return Outcome::Error;
    }
    // One address names both: the store's pages live beside its services.
    chosenStoreHost = chosenEndpoint.host;
    return Outcome::Run;
}
