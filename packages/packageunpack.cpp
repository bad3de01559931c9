#include "packages/packageunpack.h"

#include "base/datapaths.h"
#include "base/diagnostics.h"
#include "base/directorytree.h"
#include "packages/archiveextractor.h"
#include "packages/diskspace.h"
#include "search/dictionarycheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QThread>
#include <cstdio>

namespace {
template <typename Function, typename... Arguments>
void tell(const Function& function, Arguments&&... arguments)
{
    if (function)
        function(std::forward<Arguments>(arguments)...);
}
}

PackageUnpack::PackageUnpack(const QString& zipPath, const QString& destPath, const QString& baseDir, Contents contents)
    : zipPath(zipPath)
    , destPath(destPath)
    , baseDir(baseDir)
    , contents(contents)
{
}

bool PackageUnpack::fail(const QString& diagnostic, const QString& box)
{
    diagnosticText = diagnostic;
    boxText = box;
    return false;
}

bool PackageUnpack::run(const Reporter& reporter)
{
    boxText.clear();
    diagnosticText.clear();
    archiveOpened = true;
    const QString tmp = DataPaths::unpackFolder(destPath);
    Diagnostics::debug("Path destinazione: %s", qPrintable(tmp));
    // A package that is not installed leaves nothing behind: neither what was unpacked of it nor
    // the package itself, which a new download fetches again anyway.
    bool installed = false;
    const auto leaveNothing = qScopeGuard([&] {
        if (installed)
            return;
        removeDirectoryTree(tmp);
        QFile::remove(zipPath);
    });
    installed = unpackInto(tmp, reporter) && moveIntoPlace(tmp);
    if (installed) {
        QFile::remove(zipPath);
        tell(reporter.progressHidden);
        tell(reporter.status, QString(), 0);
        return true;
    }
    // An archive that did not open never showed the progress bar: only the status says so.
    if (!archiveOpened) {
        Diagnostics::warning("%s", qPrintable(diagnosticText));
        tell(reporter.status, QStringLiteral("Errore nell'apertura del file zippato ") + zipPath, 2000);
        return false;
    }
    tell(reporter.progressHidden);
    tell(reporter.status, QString(), 0);
    Diagnostics::warning("%s", qPrintable(diagnosticText));
    tell(reporter.status, QStringLiteral("Errore nell'apertura del libro"), 2000);
    return false;
}

bool PackageUnpack::unpackInto(const QString& tmp, const Reporter& reporter)
{
    // What a killed or failed attempt left there must never end up in the installed book.
    if (!removeDirectoryTree(tmp) || !QDir(baseDir).mkpath(tmp))
        return fail(QStringLiteral("Impossibile svuotare %1").arg(tmp), QStringLiteral("Errori decomprimendo il libro"));

    ArchiveExtractor extractor(zipPath, tmp);
    if (!extractor.open()) {
        archiveOpened = false;
        return fail(extractor.diagnostic(), extractor.errorString());
    }
    if (!extractor.inspect())
        return fail(extractor.diagnostic(), extractor.errorString());
    const QString shortage = DiskSpace::shortage(extractor.declaredTotal(), baseDir);
    if (!shortage.isEmpty())
        return fail(QStringLiteral("Spazio insufficiente per %1: %2").arg(zipPath, shortage),
            QStringLiteral("Spazio su disco insufficiente per installare il libro: ") + shortage);

    tell(reporter.progressShown);
    tell(reporter.status, QStringLiteral("Apertura file zippato %1 in corso...").arg(zipPath), 0);
    int shown = -1;
    const bool extracted = extractor.extract([&](int percent) {
        if (percent == shown)
            return;
        shown = percent;
        tell(reporter.progress, percent);
    });
    if (!extracted)
        return fail(extractor.diagnostic(), extractor.errorString());
    // Checked where it was unpacked, before it replaces anything: a damaged dictionary is never
    // reported installed, and the previous version stays.
    const QString database = tmp + QLatin1Char('/') + DataPaths::bookDatabaseName();
    const QString problem = contents == Contents::Dictionary ? DictionaryCheck::problem(database) : QString();
    if (!problem.isEmpty())
        return fail(QStringLiteral("Dizionario danneggiato in %1: %2").arg(zipPath, problem),
            QStringLiteral("Il dizionario scaricato è danneggiato e non è stato installato. Riprovare a scaricarlo."));
    return true;
}

// An earlier version of the book stays in place until the new one is complete, then makes way
// for it; should the new one not move in, the old one goes back.
bool PackageUnpack::moveIntoPlace(const QString& tmp)
{
    const QString renameFailed = QStringLiteral("Si è verificato un errore nel rinominare la directory del libro");
    const QString old = DataPaths::previousFolder(destPath);
    const QFileInfo installed(destPath);
    const bool replacing = installed.isDir() && !installed.isSymLink();
    if (replacing && !(removeDirectoryTree(old) && QDir().rename(destPath, old)))
        return fail(QStringLiteral("Si è verificato un errore nel rinominare la directory del libro decompresso: da %1 a %2")
                        .arg(destPath, old),
            renameFailed);
    bool renamed = false;
    for (int attempt = 0; attempt < 50 && !renamed; ++attempt) {
        renamed = std::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(destPath).constData()) == 0;
        if (!renamed && attempt < 49)
            QThread::msleep(100);
    }
    if (!renamed) {
        if (replacing)
            QDir().rename(old, destPath);
        return fail(QStringLiteral("Si è verificato un errore nel rinominare la directory del libro decompresso: da %1 a %2")
                        .arg(tmp, destPath),
            renameFailed);
    }
    if (replacing && !removeDirectoryTree(old))
        Diagnostics::warning("Errori nella rimozione di %s", qPrintable(old));
    return true;
}
