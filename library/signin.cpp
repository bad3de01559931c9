#include "library/signin.h"

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
