#include "app/launchoptions.h"

#include "app/runninginstance.h"
#include "vocalumeconfig.h"

#include <QCommandLineParser>

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

// --cerca, --selezione and --servizio, in this order.
QList<QCommandLineOption> lookUpOptions()
{
    return {
        QCommandLineOption(QStringLiteral("cerca"),
            QStringLiteral("Cerca la parola nei dizionari: nel dizionario consultato per ultimo, altrimenti in tutti "
                           "quelli installati. Se Vocalume è già aperto, la ricerca compare nella sua finestra."),
            QStringLiteral("parola")),
        QCommandLineOption(QStringLiteral("selezione"),
            QStringLiteral("Come --cerca, con il testo selezionato (la selezione primaria, oppure gli appunti dove "
                           "non c'è). Adatta a una scorciatoia da tastiera del desktop.")),
        QCommandLineOption(QStringLiteral("servizio"),
            QStringLiteral("Avvia senza finestra e risponde alle ricerche del desktop sul bus di sessione; la "
                           "finestra si apre alla prima ricerca scelta. La usa il file di servizio D-Bus.")),
    };
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

bool LaunchOptions::readRequest(const QCommandLineParser& parser, const QList<QCommandLineOption>& lookUp)
{
    const QCommandLineOption& search = lookUp.at(0);
    const QCommandLineOption& selection = lookUp.at(1);
    const QCommandLineOption& serviceOnly = lookUp.at(2);
    if (parser.isSet(search) + parser.isSet(selection) + parser.isSet(serviceOnly) > 1) {
        message = QStringLiteral("Usare una sola tra --cerca, --selezione e --servizio.");
        return false;
    }
    verb = parser.isSet(search) ? RunningInstance::searchVerb()
        : parser.isSet(selection) ? RunningInstance::selectionVerb()
                                  : RunningInstance::raiseVerb();
    argument = parser.value(search);
    service = parser.isSet(serviceOnly);
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
        QStringLiteral("Indirizzo dei servizi e del negozio online: host[:porta] in HTTP in chiaro (porta 80), "
                       "oppure https://host[:porta] in TLS (porta 443) con la verifica dei certificati del "
                       "sistema, così la password non viaggia mai in chiaro. Prevale sulla variabile d'ambiente "
                       "%1. Predefinito: %2.")
            .arg(QLatin1String(environmentVariable), ServiceEndpoint::built().base()),
        QStringLiteral("indirizzo"));
    const QList<QCommandLineOption> lookUp = lookUpOptions();
    const QList<QCommandLineOption> listed = QList<QCommandLineOption> { helpOption, versionOption, storeOption } + lookUp;
    parser.addOptions(listed);
    parser.addOptions(toolkitOptions());

    if (!parser.parse(arguments)) {
        message = parser.errorText();
        return Outcome::Error;
    }
    if (parser.isSet(helpOption)) {
        message = helpText(listed);
        return Outcome::Help;
    }
    if (parser.isSet(versionOption)) {
        message = QStringLiteral("vocalume " VOCALUME_VERSION "\n");
        return Outcome::Version;
    }

    if (!readRequest(parser, lookUp))
        return Outcome::Error;

    chosenEndpoint = ServiceEndpoint::built();
    chosenStoreHost = QStringLiteral(VOCALUME_STORE_HOST);
    const bool fromOption = parser.isSet(storeOption);
    const QString address = fromOption ? parser.value(storeOption) : environment;
    if (!fromOption && address.isEmpty())
        return Outcome::Run;
    if (!ServiceEndpoint::parse(address, &chosenEndpoint)) {
        message = QStringLiteral("Indirizzo non valido (%1): %2")
                      .arg(fromOption ? QStringLiteral("--store") : QLatin1String(environmentVariable), address);
        return Outcome::Error;
    }
    // One address names both: the store's pages live beside its services.
    chosenStoreHost = chosenEndpoint.host;
    return Outcome::Run;
}
