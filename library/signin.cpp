#include "library/signin.h"

#include "base/scriptliteral.h"

void SignIn::begin(const QString& username)
{
    loginUsername = username;
    ++signInAttempt;
    signInAnswered = false;
    loginPending = false;
}

void SignIn::accepted()
{
    loginPending = true;
    signInAnswered = false;
}

int SignIn::takeWaiting()
{
    const int attempt = loginPending ? signInAttempt : -1;
    loginPending = false;
    return attempt;
}

bool SignIn::answer(int attempt)
{
    if (!isCurrent(attempt) || signInAnswered)
        return false;
    signInAnswered = true;
    loginPending = false;
    return true;
}

QString SignIn::success()
{
    return QStringLiteral("{result:true,error:\"\"}");
}

QString SignIn::failure(const QString& error)
{
    // The text lands in a double-quoted string of a single-quoted literal.
    return QStringLiteral("{result:false,error:\"") + ScriptLiteral::escapeNested(error, QLatin1Char('"'), QLatin1Char('\''))
        + QStringLiteral("\"}");
}

QString SignIn::unreachableStore()
{
    return QStringLiteral("{result:false,error:\"Impossibile contattare il negozio. Controlla la connessione a Internet "
                          "e riprova.\"}");
}

QString SignIn::noAnswer()
{
    return QStringLiteral("{result:false,error:\"Il servizio di accesso non ha risposto in tempo. Controlla la "
                          "connessione a Internet e riprova.\"}");
}

QString SignIn::refused()
{
    return QStringLiteral("{result:false,error:\"Impossibile eseguire l\\'accesso. Controlla i dati inseriti oppure "
                          "effettua la registrazione.\"}");
}
