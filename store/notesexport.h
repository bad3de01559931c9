// The reader's own tables of the web database (favourites, bookmarks, notes and the entries
// looked up), saved into the user's documents folder before the account's data may go. The file
// has the format the page itself exports and imports ({formato, versione, tabelle}), a name of
// its own (account and date, with a counter rather than over an existing file) and is written
// whole or not at all.
#pragma once

#include <QDate>
#include <QJsonObject>
#include <QString>
#include <QStringList>

class NotesExport
{
public:
    // The tables saved, as the page names them.
    static QStringList tables();

    // Reads the tables and writes the export file for `account`; false, with errorText(), when
    // the notes are not safely on disk. Tables a dictionary page never created export empty.
    [[nodiscard]] bool write(const QString& account, const QDate& date = QDate::currentDate());
    // Writes the tables as they are now over `file`, an export written before: what is about to
    // be removed is all in it. False, with errorText(), when it is not.
    [[nodiscard]] bool update(const QString& file);
    // The file written, or the one that could not be.
    QString path() const { return filePath; }
    // Why nothing was written, in Italian: what failed and where.
    QString errorText() const { return error; }

    // The rows of every table of `database` as { table: [{DATE, IDBOOK, REF, NOTE, DIZIONARIO,
    // VOCE}...] }, oldest first (the last two, the dictionary's title and the entry's headword,
    // are for people: an import reads the keys). The file is opened read-only: a missing file or table reads as empty, never created.
    [[nodiscard]] static bool readTables(const QString& database, QJsonObject* tables, QString* error);
    // "appunti-vocalume-<account>-<yyyy-MM-dd>.json", with " (copy)" before the extension from
    // the second copy on; the account keeps only what is safe in a file name.
    static QString fileName(const QString& account, const QDate& date, int copy = 1);
    // The user's documents folder (made when it is written to).
    static QString folder();

private:
    bool readAll(QJsonObject* tables);
    bool save(const QJsonObject& tables);

    QString filePath;
    QString error;
};
