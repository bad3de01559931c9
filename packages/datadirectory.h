// The per-user data directory ~/.vocalumezenta: layout, first-start preparation, engine
// deployment from the embedded archive, the migration on a version change and the clean-up of
// what interrupted installations left. It shows nothing: what the user is to be told goes out
// as a signal the window turns into a box.
#pragma once

#include <QDir>
#include <QObject>
#include <QString>

class BookInstaller;

class DataDirectory : public QObject
{
    Q_OBJECT
public:
    // The engine is unpacked by `installer`, whose reports the window shows.
    explicit DataDirectory(BookInstaller* installer, QObject* parent = nullptr);

    // A QDir on the user's home directory.
    static QDir homeDirectory();
    // Copies ":/engine.zip" into `dataDir` and unpacks it into `dataDir`/engine.
    // Ends the process with exit code 1 when the archive cannot be copied. True when it unpacked.
    bool deployEngine(const QDir& dataDir);
    // Whether the deployed engine, if there is one, is the one this program carries (its
    // archive's digest is the one the last deployment recorded). An engine from another build
    // would miss what this program answers, or ask what it no longer does: it is deployed again,
    // as on a version change. Not current either while dictionaries wait outside the engine for
    // a replacement that stopped half-way.
    static bool engineIsCurrent();
    // Run when the stored version differs from this build's, or the engine is another build's
    // (engineIsCurrent): redeploys the engine, keeping the installed dictionaries and the cached
    // covers. False when it stopped short (the old engine, or the books outside it, are then
    // kept for the next attempt): the version must not be stored.
    bool migrate();
    // Start-up preparation: data directory, web-database files, engine and the removal of
    // downloads left unfinished. Does nothing (false) when the data directory cannot be made.
    // A missing web database is made from its template; a damaged one is kept aside under a new
    // name and made again (storeSetAside follows once events run).
    bool prepare();
    // Where the page keeps its web databases and its local storage, once prepared.
    QString dataPath() const { return preparedData; }
    QString storagePath() const { return preparedStorage; }

    // Directory resolution of the first page: `dir` ends in the data directory (created when
    // missing), then in "engine" (deployed when missing). False when a step failed; `dir` is
    // then not to be used. (Everything else that reads the engine leaves a missing one alone.)
    bool enterEngineDirectory(QDir& dir);
    // Copies a resource file to `target` and gives the copy owner read and write only.
    static bool copyResource(const QString& resource, const QString& target);

signals:
    // The damaged web database was set aside as `aside` and replaced by an empty one.
    void storeSetAside(const QString& aside);

private:
    BookInstaller* installer;
    QString preparedData;
    QString preparedStorage;
};
