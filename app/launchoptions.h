// What the command line and the environment choose at start: the address of the publisher's
// services and store (a command-line option wins over the environment variable, which wins over
// the address the program was built with), a word or the selection to look up, a start without
// a window for the desktop's bus, or a request for the help or version text.
#pragma once

#include "services/serviceendpoint.h"

#include <QList>
#include <QString>
#include <QStringList>

class QCommandLineOption;
class QCommandLineParser;

class LaunchOptions {
public:
    enum class Outcome { Run, Help, Version, Error };

    static constexpr const char* environmentVariable = "VOCALUME_STORE";

    // `arguments` as the process received them (program name first); `environment` is the
    // value of the environment variable (empty when unset). Needs no application object, so it
    // can run before the output streams are closed.
    Outcome parse(const QStringList& arguments, const QString& environment);

    // Help, version or error text to print, depending on the outcome.
    QString text() const { return message; }
    // Valid after Outcome::Run: where services, downloads, covers and store pages go.
    ServiceEndpoint endpoint() const { return chosenEndpoint; }
    QString storeHost() const { return chosenStoreHost; }
    // What this start asks of the running copy, as RunningInstance's verb and argument: bring the
    // window up, look a word up (--cerca) or the selection (--selezione).
    QString requestVerb() const { return verb; }
    QString requestArgument() const { return argument; }
    // --servizio: started by the session bus, the window comes only when a look-up asks for it.
    bool serviceOnly() const { return service; }

private:
    // The look-up request of --cerca, --selezione or --servizio; false when more than one is given.
    bool readRequest(const QCommandLineParser& parser, const QList<QCommandLineOption>& lookUp);

    QString message;
    ServiceEndpoint chosenEndpoint;
    QString chosenStoreHost;
    QString verb;
    QString argument;
    bool service = false;
};
