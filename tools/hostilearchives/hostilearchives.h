// The set of hostile and damaged packages the installation must refuse, plus one good package.
// Tests drive the extraction over them; the fuzzers start from them.
#pragma once

#include <QString>
#include <QStringList>

class HostileArchives {
public:
    // Name of the one package that must unpack.
    static QString goodName() { return QStringLiteral("good.zip"); }
    // Name of the member of "huge-declared-member.zip" and "understated-size.zip" whose
    // declared size lies.
    static QString lyingMemberName() { return QStringLiteral("page.xhtml"); }
    // Writes every archive into `directory` (created when missing); the file names written,
    // or an empty list when a file could not be written.
    static QStringList write(const QString& directory);
    // A dictionary database with the tables the searches read, `filler` stored in a table of its
    // own (so that a test gets the size it needs), then the statements `change` run on it.
    // Empty when it could not be made.
    static QByteArray dictionaryDatabase(const QByteArray& filler = QByteArray(), const char* change = "");
};
