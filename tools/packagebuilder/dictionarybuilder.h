// Writes an installed dictionary's directory (database.db and one archive per XHTML content file)
// and packs it into a package archive as the store serves it.
#pragma once

#include "tools/packagebuilder/dictionaryentry.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

class SyntheticDictionary;
struct sqlite3;
struct sqlite3_stmt;

class DictionaryBuilder {
public:
    struct Options {
        // Normalisation table applied to headwords and keywords, in the same "|" list form the
        // store delivers to the program (element i of the start list becomes element i of the
        // end list); the result is lower-cased.
        QString startCharset = QStringLiteral("à|á|è|é|ì|í|ò|ó|ù|ú|À|È|É|Ì|Ò|Ù");
        QString endCharset = QStringLiteral("a|a|e|e|i|i|o|o|u|u|a|e|e|i|o|u");
        int entriesPerFile = 50;
        // Without content the database still names the files, but no archive is written
        // (enough for searches, and much faster for large synthetic dictionaries).
        bool writeContent = true;
        // Words of the definition shorter than this are not made keywords.
        int minimumKeywordLength = 3;
        // At most this many distinct definition words of one entry become keywords (0: all),
        // so that long articles do not swell the keyword tables.
        int maximumDefinitionKeywords = 0;
    };

    DictionaryBuilder();
    ~DictionaryBuilder();
    DictionaryBuilder(const DictionaryBuilder&) = delete;
    DictionaryBuilder& operator=(const DictionaryBuilder&) = delete;

    // Creates `bookDirectory` (emptied of an earlier database.db) and the database's tables.
    [[nodiscard]] bool open(const QString& bookDirectory, const Options& options);
    [[nodiscard]] bool open(const QString& bookDirectory) { return open(bookDirectory, Options()); }
    [[nodiscard]] bool add(const DictionaryEntry& entry);
    // Adds every entry of `dictionary`, in order.
    [[nodiscard]] bool addAll(const SyntheticDictionary& dictionary);
    // Writes the last content file, creates the indexes and the planner statistics and closes.
    [[nodiscard]] bool finish();
    QString errorString() const { return error; }
    int entryCount() const { return lastLemmaId; }

    // Where the entry added as number `entryNumber` (1 for the first) will be found: its content
    // file and identifier as a link, "voci0001.xhtml#1".
    QString plannedLocation(int entryNumber) const;

    // The database's normalised form of a headword or keyword.
    QString normalized(const QString& text) const;
    // How an inflected form is stored in lemmatizzatore: CRC-32 of its lower-cased UTF-8 text.
    static QByteArray formHash(const QString& form);

    // The statements that create a dictionary database's tables (without their indexes).
    static const char* schema();

    // Packs the files of an installed dictionary's directory into a package archive.
    static bool writePackage(const QString& bookDirectory, const QString& packagePath, QString* error = nullptr);

private:
    bool exec(const char* sql);
    bool prepare(sqlite3_stmt** statement, const char* sql);
    template <typename... Values> bool insert(sqlite3_stmt* statement, const Values&... values);
    int keywordId(const QString& keyword);
    int scopeId(const QString& name);
    static QString contentFileName(int fileNumber);
    bool startFileIfNeeded();
    bool flushContentFile();
    void appendDiv(const QString& idZenta, const DictionaryEntry& entry);
    QStringList definitionKeywords(const QString& definition) const;
    bool fail(const QString& message);

    Options options;
    QString directory;
    QString error;
    QStringList startList;
    QStringList endList;
    sqlite3* db = nullptr;
    sqlite3_stmt* insertLemma = nullptr;
    sqlite3_stmt* insertFile = nullptr;
    sqlite3_stmt* insertFileLemma = nullptr;
    sqlite3_stmt* insertForm = nullptr;
    sqlite3_stmt* insertKeyword = nullptr;
    sqlite3_stmt* insertKeywordLemma = nullptr;
    sqlite3_stmt* insertScope = nullptr;
    sqlite3_stmt* insertLemmaScope = nullptr;
    // The further headwords of the entries, written once every entry has its number.
    struct Alias {
        QString name;
        int entryId = 0;
        int fileId = 0;
        QString headword; // the entry's own
        QString omo;
        QString source;
    };
    bool writeAliases();
    QVector<Alias> aliases;
    QHash<QString, int> keywords;
    QHash<QString, int> scopes;
    int lastLemmaId = 0;
    int lastFileId = 0;
    int entriesInFile = 0;
    QString currentFile;
    QByteArray currentContent;
};
