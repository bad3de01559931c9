#include "store/notesexport.h"

#include "base/wholefile.h"
#include "store/webstore.h"

#include <QDir>
#include <QHash>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUrl>
#include <QVariant>

namespace {
QJsonValue jsonValue(const QVariant& value)
{
    return value.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue::fromVariant(value);
}

// The dictionaries' titles by id, as SYSTEM records them (the last row wins, as for the page).
QHash<QString, QString> titles(QSqlDatabase& db)
{
    QHash<QString, QString> out;
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("SELECT REFBOOK, VALUE FROM SYSTEM WHERE VARIABLE = 'TITLE' ORDER BY ID")))
        while (query.next())
            out.insert(query.value(0).toString(), query.value(1).toString());
    return out;
}

// The headword an entry reference names: the third of its percent-encoded parts.
QString headword(const QString& ref)
{
    return QUrl::fromPercentEncoding(ref.section(QLatin1Char('|'), 2, 2).toUtf8());
}

// Every table of NotesExport::tables() that `db` holds; false when the file cannot be read.
// Beside the keys, each row names its dictionary by title and its entry by headword, for a
// reader of the file.
bool readOpenTables(QSqlDatabase& db, QJsonObject* tables, QString* error)
{
    QSqlQuery query(db);
    // Asked of the file itself: QSqlDatabase::tables() reads a damaged file as one without tables.
    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))) {
        *error = query.lastError().text();
        return false;
    }
    QStringList present;
    while (query.next())
        present << query.value(0).toString();
    const QHash<QString, QString> title = present.contains(QStringLiteral("SYSTEM")) ? titles(db) : QHash<QString, QString>();
    for (const QString& table : NotesExport::tables()) {
        QJsonArray rows;
        if (present.contains(table)) {
            if (!query.exec(QStringLiteral("SELECT DATE, IDBOOK, REF, NOTE FROM ") + table + QStringLiteral(" ORDER BY DATE"))) {
                *error = query.lastError().text();
                return false;
            }
            while (query.next())
                rows.append(QJsonObject { { QStringLiteral("DATE"), jsonValue(query.value(0)) },
                                          { QStringLiteral("IDBOOK"), jsonValue(query.value(1)) },
                                          { QStringLiteral("REF"), jsonValue(query.value(2)) },
                                          { QStringLiteral("NOTE"), jsonValue(query.value(3)) },
                                          { QStringLiteral("DIZIONARIO"), title.value(query.value(1).toString()) },
                                          { QStringLiteral("VOCE"), headword(query.value(2).toString()) } });
        }
        tables->insert(table, rows);
    }
    return true;
}
}

QStringList NotesExport::tables()
{
    return { QStringLiteral("FAVORITE"), QStringLiteral("BOOKMARK"), QStringLiteral("NOTE"), QStringLiteral("HISTORY") };
}

bool NotesExport::readTables(const QString& database, QJsonObject* tables, QString* error)
{
    *tables = QJsonObject();
    if (!QFileInfo::exists(database)) {
        for (const QString& table : NotesExport::tables())
            tables->insert(table, QJsonArray());
        return true;
    }
    static quint64 serial = 0;
    const QString connection = QStringLiteral("notesexport-%1").arg(++serial);
    bool read = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(database);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open())
            read = readOpenTables(db, tables, error);
        else
            *error = db.lastError().text();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return read;
}

QString NotesExport::fileName(const QString& account, const QDate& date, int copy)
{
    QString safe;
    for (const QChar c : account.left(64))
        safe += c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_') ? c : QLatin1Char('_');
    return QStringLiteral("appunti-vocalume-") + (safe.isEmpty() ? QString() : safe + QLatin1Char('-'))
        + date.toString(QStringLiteral("yyyy-MM-dd")) + (copy > 1 ? QStringLiteral(" (%1)").arg(copy) : QString())
        + QStringLiteral(".json");
}

QString NotesExport::folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

bool NotesExport::readAll(QJsonObject* tables)
{
    QString reason;
    if (readTables(WebStore::path(), tables, &reason))
        return true;
    filePath = WebStore::path();
    error = QStringLiteral("Impossibile leggere gli appunti dal database %1: %2.").arg(filePath, reason);
    return false;
}

bool NotesExport::save(const QJsonObject& tables)
{
    const QJsonObject document { { QStringLiteral("formato"), QStringLiteral("vocalume-appunti") },
                                 { QStringLiteral("versione"), 1 },
                                 { QStringLiteral("tabelle"), tables } };
    WholeFile file(filePath);
    if (file.write(QJsonDocument(document).toJson()))
        return true;
    error = QStringLiteral("Impossibile scrivere il file %1: %2.").arg(filePath, file.errorString());
    return false;
}

bool NotesExport::update(const QString& file)
{
    QJsonObject saved;
    if (!readAll(&saved))
        return false;
    filePath = file;
    return save(saved);
}

bool NotesExport::write(const QString& account, const QDate& date)
{
    QJsonObject saved;
    if (!readAll(&saved))
        return false;
    const QDir documents(folder());
    if (folder().isEmpty() || !documents.mkpath(QStringLiteral("."))) {
        filePath = folder();
        error = QStringLiteral("Impossibile creare la cartella dei documenti %1.").arg(filePath);
        return false;
    }
    int copy = 1;
    do
        filePath = documents.absoluteFilePath(fileName(account, date, copy++));
    while (QFileInfo::exists(filePath) || QFileInfo(filePath).isSymLink());
    return save(saved);
}
