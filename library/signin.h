// The bookkeeping of the page's sign-ins: every attempt gets a number and exactly one answer,
// unless a newer attempt replaced it first; and the literals the page's login callback hears.
#pragma once

#include <QString>

class SignIn
{
public:
    // A new attempt replaces any earlier one, whatever stage that one has reached.
    void begin(const QString& username);
    // The login was accepted: the attempt now waits for the synchronisation that completes it.
    void accepted();
    // The attempt the synchronisation now under way completes, or -1 when none waits for it.
    // Nothing waits for the synchronisation afterwards.
    int takeWaiting();
    // Whether an accepted attempt still waits for its synchronisation.
    bool waiting() const { return loginPending; }
    // Whether `attempt` is still the newest one.
    bool isCurrent(int attempt) const { return attempt >= 0 && attempt == signInAttempt; }
    int current() const { return signInAttempt; }
    // Marks `attempt` answered; false when it has been answered already or was replaced.
    bool answer(int attempt);
    const QString& username() const { return loginUsername; }

    static QString success();
    // A failure whose text comes from elsewhere (a service, the database driver).
    static QString failure(const QString& error);
    static QString refused();
    static QString unreachableStore();
    // The login service did not answer within its time.
    static QString noAnswer();

private:
    int signInAttempt = 0;
    bool signInAnswered = true;
    bool loginPending = false;
    QString loginUsername;
};
