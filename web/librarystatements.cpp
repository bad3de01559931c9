#include "web/librarystatements.h"

#include "base/scriptliteral.h"

namespace LibraryStatements {

QString signIn(SignIn::Answer answer, const QString& error)
{
    switch (answer) {
    case SignIn::Answer::Accepted:
        return QStringLiteral("{result:true,error:\"\"}");
    case SignIn::Answer::Refused:
        return QStringLiteral("{result:false,error:\"Impossibile eseguire l\\'accesso. Controlla i dati inseriti oppure "
                              "effettua la registrazione.\"}");
    case SignIn::Answer::StoreUnreachable:
        return QStringLiteral("{result:false,error:\"Impossibile contattare il negozio. Controlla la connessione a "
                              "Internet e riprova.\"}");
    case SignIn::Answer::NoAnswer:
        return QStringLiteral("{result:false,error:\"Il servizio di accesso non ha risposto in tempo. Controlla la "
                              "connessione a Internet e riprova.\"}");
    case SignIn::Answer::Failed:
        break;
    }
    // The text lands in a double-quoted string of a single-quoted literal.
    return QStringLiteral("{result:false,error:\"")
        + ScriptLiteral::escapeNested(error, QLatin1Char('"'), QLatin1Char('\'')) + QStringLiteral("\"}");
}

QString syncProblem()
{
    return QStringLiteral("messageDialog(\"Si è verificato un problema durante la sincronizzazione dei tuoi "
                          "acquisti!<br/>Ti invitiamo a riprovare più tardi\")");
}

QString syncStopped() { return QStringLiteral("__APP.spinner=false"); }
}
