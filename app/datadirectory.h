// The per-user data directory ~/.vocalumezenta: layout, first-start preparation, engine
// deployment from the embedded archive and the migration on a version change.
#pragma once

#include "base/directorytree.h"

#include <QDir>
#include <QString>

class MainWindow;

// A QDir on the user's home directory.
QDir homeDirectory();
// Copies ":/engine.zip" into `dataDir` and unpacks it into `dataDir`/engine.
// Ends the process with exit code 1 when the archive cannot be copied. True when it unpacked.
bool deployEngine(MainWindow* mainWindow, const QDir& dataDir);
// Whether the deployed engine, if there is one, is the one this program carries (its archive's
// digest is the one the last deployment recorded). An engine from another build would miss what this program
// answers, or ask what it no longer does: it is deployed again, as on a version change.
bool engineIsCurrent();
// Run when the stored version differs from this build's, or the engine is another build's
// (engineIsCurrent): redeploys the engine, keeping the
// installed dictionaries and the cached covers. False when it stopped short (the old engine, or
// the books outside it, are then kept for the next attempt): the version must not be stored.
bool migrateDataDirectory(MainWindow* mainWindow);
// Start-up preparation: data directory, web-database files, engine, web storage paths, and
// the removal of downloads left unfinished. Does nothing when the data directory cannot be made.
// A missing web database is made from its template; a damaged one is kept aside under a new
// name and made again, and the user is told once the window is up.
void prepareDataDirectory(MainWindow* mainWindow);

// Directory resolution of the first page: `dir` ends in the data directory (created when
// missing), then in "engine" (deployed when missing). False when a step failed; `dir` is then
// not to be used. (Everything else that reads the engine leaves a missing one alone.)
bool enterEngineDirectory(MainWindow* mainWindow, QDir& dir);
// Copies a resource file to `target` and gives the copy owner read and write only.
bool copyResource(const QString& resource, const QString& target);
