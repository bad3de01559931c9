// One running copy of the program per data folder. The copy that starts first holds a lock file
// in the data folder for its whole run and listens on a local socket named after the user and
// the data folder. A copy started meanwhile finds the lock taken, hands its request to the
// running copy and ends before it touches anything: its start-up clean-up would otherwise delete
// the running copy's download in progress.
//
// A request is one line of UTF-8 text: a verb, a blank and the argument percent-encoded (so it
// holds neither blanks nor line ends), as in "raise " or "cerca l%27acqua". A connection may
// carry several requests; unknown verbs are the receiver's to ignore.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

class QLocalSocket;

class RunningInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        Running, // this process holds the lock and serves requests
        Other, // another copy holds it: send it the request and end
        Unguarded, // no lock can be made there (no data folder): nothing to protect it with
    };

    // The verbs: bring the window to the front; look the argument up; look the selection up.
    static QString raiseVerb() { return QStringLiteral("raise"); }
    static QString searchVerb() { return QStringLiteral("cerca"); }
    static QString selectionVerb() { return QStringLiteral("selezione"); }

    explicit RunningInstance(const QString& dataDirectory, QObject* parent = nullptr);

    // Takes the data folder's lock (making the folder when it is missing) and, when it got it,
    // starts listening. A lock left by a copy that ended without releasing it is taken over.
    Claim claim();
    // Delivers one request to the running copy; false when it cannot be reached.
    bool send(const QString& verb, const QString& argument = QString());

    // The local socket's name for `dataDirectory` and the current user.
    static QString serverName(const QString& dataDirectory);

signals:
    // A request from another copy, on this copy's thread.
    void requested(const QString& verb, const QString& argument);

private:
    void listen();
    void accept();
    void readRequests(QLocalSocket* socket);

    QString dataDirectory;
    QLockFile lock;
    QLocalServer server;
};
