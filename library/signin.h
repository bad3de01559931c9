// The bookkeeping of the page's sign-ins: every attempt gets a number and exactly one answer,
// unless a newer attempt replaced it first; and the answers an attempt can get.
#pragma once

#include <QString>

class SignIn
{
public:
    // How a sign-in ended.
    enum class Answer {
        Accepted, // signed in, the account's library merged
        Refused, // the login refused the name or the password
        StoreUnreachable, // nobody answered at the store's address
        NoAnswer, // the login service did not answer within its time
        Failed, // for a reason told in words (a service's, the database driver's)
    };

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

private:
    int signInAttempt = 0;
    bool signInAnswered = true;
    bool loginPending = false;
    QString loginUsername;
};
