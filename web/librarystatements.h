// What the page hears of the account's library (LibrarySync): the literal its login callback is
// answered with, and the statements run when a synchronisation fails.
#pragma once

#include "library/signin.h"

#include <QString>

namespace LibraryStatements {
// {result:true,error:""}, or {result:false,error:"<why>"}: the failure's own words, made safe for
// a double-quoted string inside a single-quoted one, for SignIn::Answer::Failed.
QString signIn(SignIn::Answer answer, const QString& error);
// The page's box telling that a synchronisation failed.
QString syncProblem();
// The page stops showing that it waits for a synchronisation.
QString syncStopped();
}
