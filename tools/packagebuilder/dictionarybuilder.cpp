#include "tools/packagebuilder/dictionarybuilder.h"

#include "search/entryname.h"
#include "tools/packagebuilder/dictionaryschema.h"
#include "tools/packagebuilder/syntheticdictionary.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <sqlite3.h>
#include <zlib.h>

namespace {
// Every statement of the program's searches must find its rows through an index:
// GLOB compares with BINARY and the default LIKE with NOCASE, ORDER BY lower(nome) needs an
// index on exactly that expression, and the joins go through the link tables' keys.
const char* const indexes = R"sql(
CREATE INDEX lemma_nome_n ON lemma(nome_n);
CREATE INDEX lemma_nome_n_nocase ON lemma(nome_n COLLATE NOCASE);
CREATE INDEX lemma_nome ON lemma(nome);
CREATE INDEX lemma_nome_nocase ON lemma(nome COLLATE NOCASE);
CREATE INDEX lemma_lower_nome ON lemma(lower(nome));
CREATE INDEX lemma_source ON lemma(source);
CREATE INDEX file_lemma_lemma ON file_lemma(id_lemma, id_file);
CREATE INDEX file_lemma_file ON file_lemma(id_file);
CREATE INDEX lemmatizzatore_flessi ON lemmatizzatore(flessi, id_lemma);
CREATE INDEX lemmatizzatore_lemma ON lemmatizzatore(id_lemma);
CREATE INDEX keyword_keyword ON keyword(keyword);
CREATE INDEX keyword_lemma_keyword ON keyword_lemma(id_keyword, id_lemma);
CREATE INDEX keyword_lemma_lemma ON keyword_lemma(id_lemma);
CREATE INDEX ambiti_nome ON ambiti(lower(nome_n));
CREATE INDEX lemma_ambito_lemma ON lemma_ambito(id_lemma, id_ambito);
CREATE INDEX lemma_ambito_ambito ON lemma_ambito(id_ambito, id_lemma);
ANALYZE;
)sql";

void bind(sqlite3_stmt* statement, int index, int value) { sqlite3_bind_int(statement, index, value); }

void bind(sqlite3_stmt* statement, int index, const QByteArray& value)
{
    sqlite3_bind_text(statement, index, value.constData(), value.size(), SQLITE_TRANSIENT);
}

void bind(sqlite3_stmt* statement, int index, const QString& value) { bind(statement, index, value.toUtf8()); }

QString xmlEscaped(const QString& text) { return text.toHtmlEscaped(); }

bool writeSingleMemberZip(const QString& zipPath, const QString& member, const QByteArray& bytes)
{
    QuaZip zip(zipPath);
    if (!zip.open(QuaZip::mdCreate))
        return false;
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(member)))
        return false;
    file.write(bytes);
    file.close();
    zip.close();
    return file.getZipError() == 0 && zip.getZipError() == 0;
}
}

DictionaryBuilder::DictionaryBuilder() = default;

DictionaryBuilder::~DictionaryBuilder()
{
    for (sqlite3_stmt* statement : { insertLemma, insertFile, insertFileLemma, insertForm, insertKeyword,
             insertKeywordLemma, insertScope, insertLemmaScope })
        sqlite3_finalize(statement);
    if (db)
        sqlite3_close(db);
}

bool DictionaryBuilder::fail(const QString& message)
{
    error = message;
    if (db)
        error += QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(db));
    return false;
}

bool DictionaryBuilder::exec(const char* sql)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    error = QString::fromUtf8(message);
    sqlite3_free(message);
    return false;
}

bool DictionaryBuilder::prepare(sqlite3_stmt** statement, const char* sql)
{
    return sqlite3_prepare_v2(db, sql, -1, statement, nullptr) == SQLITE_OK || fail(QString::fromUtf8(sql));
}

template <typename... Values> bool DictionaryBuilder::insert(sqlite3_stmt* statement, const Values&... values)
{
    int index = 0;
    (bind(statement, ++index, values), ...);
    const bool done = sqlite3_step(statement) == SQLITE_DONE;
    sqlite3_reset(statement);
    return done || fail(QStringLiteral("insert"));
}

bool DictionaryBuilder::open(const QString& bookDirectory, const Options& chosen)
{
    options = chosen;
    directory = bookDirectory;
    startList = options.startCharset.split(QLatin1Char('|'));
    endList = options.endCharset.split(QLatin1Char('|'));
    if (startList.size() != endList.size())
        return fail(QStringLiteral("the two character lists differ in length"));
    if (!QDir().mkpath(directory))
        return fail(QStringLiteral("cannot create ") + directory);
    const QString path = QDir(directory).absoluteFilePath(QStringLiteral("database.db"));
    QFile::remove(path);
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
        != SQLITE_OK)
        return fail(QStringLiteral("cannot create ") + path);
    return exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-200000;")
        && exec(DictionarySchema::tables()) && exec("BEGIN")
        && prepare(&insertLemma, "INSERT INTO lemma VALUES(?1,?2,?3,?4,?5,?6,?7)")
        && prepare(&insertFile, "INSERT INTO file VALUES(?1,?2)")
        && prepare(&insertFileLemma, "INSERT INTO file_lemma VALUES(?1,?2)")
        && prepare(&insertForm, "INSERT INTO lemmatizzatore VALUES(?1,?2)")
        && prepare(&insertKeyword, "INSERT INTO keyword VALUES(?1,?2)")
        && prepare(&insertKeywordLemma, "INSERT INTO keyword_lemma VALUES(?1,?2)")
        && prepare(&insertScope, "INSERT INTO ambiti VALUES(?1,?2)")
        && prepare(&insertLemmaScope, "INSERT INTO lemma_ambito VALUES(?1,?2)");
}

QString DictionaryBuilder::normalized(const QString& text) const
{
    QString out = text;
    for (int i = 0; i < startList.size(); ++i)
        out.replace(startList.at(i), endList.at(i));
    return out.toLower();
}

const char* DictionaryBuilder::schema() { return DictionarySchema::tables(); }

QByteArray DictionaryBuilder::formHash(const QString& form)
{
    const QByteArray bytes = form.toLower().toUtf8();
    return QByteArray::number(
        quint32(crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.constData()), uInt(bytes.size()))));
}

int DictionaryBuilder::keywordId(const QString& keyword)
{
    const auto found = keywords.constFind(keyword);
    if (found != keywords.constEnd())
        return found.value();
    const int id = keywords.size() + 1;
    keywords.insert(keyword, id);
    return insert(insertKeyword, id, keyword) ? id : 0;
}

int DictionaryBuilder::scopeId(const QString& name)
{
    const auto found = scopes.constFind(name);
    if (found != scopes.constEnd())
        return found.value();
    const int id = scopes.size() + 1;
    scopes.insert(name, id);
    return insert(insertScope, id, name) ? id : 0;
}

// Function words of the demo languages are no use as full-text keywords.
static bool isFunctionWord(const QString& word)
{
    static const QSet<QString> words = [] {
        QSet<QString> set;
        for (const char* w : { "con", "del", "dei", "dal", "dai", "nel", "nei", "sul", "sui", "per", "tra", "fra",
                 "che", "chi", "cui", "non", "gli", "una", "uno", "dello", "della", "degli", "delle", "allo", "alla",
                 "agli", "alle", "dallo", "dalla", "dagli", "dalle", "nello", "nella", "negli", "nelle", "sullo",
                 "sulla", "sugli", "sulle", "dell", "dall", "nell", "sull", "all", "quest", "quell", "come", "anche",
                 "the", "and", "for", "are", "with", "from", "that", "this" })
            set.insert(QString::fromLatin1(w));
        return set;
    }();
    return words.contains(word.toLower());
}

QStringList DictionaryBuilder::definitionKeywords(const QString& definition) const
{
    static const QRegularExpression separators(
        QStringLiteral("[^\\w']+|'"), QRegularExpression::UseUnicodePropertiesOption);
    QStringList words;
    QSet<QString> seen;
    for (const QString& word : definition.split(separators, Qt::SkipEmptyParts)) {
        if (word.size() < options.minimumKeywordLength || isFunctionWord(word) || seen.contains(word.toLower()))
            continue;
        seen.insert(word.toLower());
        words << word;
        if (options.maximumDefinitionKeywords > 0 && words.size() >= options.maximumDefinitionKeywords)
            break;
    }
    return words;
}

QString DictionaryBuilder::contentFileName(int fileNumber)
{
    return QStringLiteral("voci%1.xhtml").arg(fileNumber, 4, 10, QLatin1Char('0'));
}

QString DictionaryBuilder::plannedLocation(int entryNumber) const
{
    const int perFile = qMax(1, options.entriesPerFile);
    return contentFileName((entryNumber - 1) / perFile + 1) + QLatin1Char('#') + QString::number(entryNumber);
}

bool DictionaryBuilder::startFileIfNeeded()
{
    if (lastFileId > 0 && entriesInFile < options.entriesPerFile)
        return true;
    if (!flushContentFile())
        return false;
    ++lastFileId;
    entriesInFile = 0;
    currentFile = contentFileName(lastFileId);
    currentContent.clear();
    return insert(insertFile, lastFileId, currentFile);
}

// The program looks entries up with //div[@id='...'], so the documents carry no namespace.
bool DictionaryBuilder::flushContentFile()
{
    if (!options.writeContent || currentFile.isEmpty() || currentContent.isEmpty())
        return true;
    const QByteArray document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<html><head><title>"
        + xmlEscaped(currentFile).toUtf8() + "</title></head><body>\n" + currentContent + "</body></html>\n";
    const QString zipPath = QDir(directory).absoluteFilePath(currentFile + QStringLiteral(".zip"));
    currentContent.clear();
    return writeSingleMemberZip(zipPath, currentFile, document) || fail(QStringLiteral("cannot write ") + zipPath);
}

void DictionaryBuilder::appendDiv(const QString& idZenta, const DictionaryEntry& entry)
{
    if (!options.writeContent)
        return;
    QString div = QStringLiteral("<div id=\"%1\" class=\"voce\"><h2 class=\"lemma\">%2")
                      .arg(idZenta, xmlEscaped(entry.headword));
    if (!entry.omo.isEmpty())
        div += QStringLiteral("<sup>%1</sup>").arg(xmlEscaped(entry.omo));
    div += QStringLiteral("</h2>");
    if (!entry.pos.isEmpty())
        div += QStringLiteral("<span class=\"gram\">%1</span>").arg(xmlEscaped(entry.pos));
    if (!entry.scopes.isEmpty())
        div += QStringLiteral(" <span class=\"ambito\">%1</span>")
                   .arg(xmlEscaped(entry.scopes.join(QStringLiteral(", "))));
    if (entry.html.isEmpty())
        div += QStringLiteral("<p class=\"def\">%1</p>").arg(xmlEscaped(entry.definition));
    else
        div += entry.html;
    if (!entry.forms.isEmpty())
        div += QStringLiteral("<p class=\"flessi\">%1</p>").arg(xmlEscaped(entry.forms.join(QStringLiteral(", "))));
    div += QStringLiteral("</div>\n");
    currentContent += div.toUtf8();
}

bool DictionaryBuilder::add(const DictionaryEntry& entry)
{
    if (!db)
        return fail(QStringLiteral("not open"));
    if (!startFileIfNeeded())
        return false;
    const int id = ++lastLemmaId;
    const QString idZenta = QString::number(id);
    if (!insert(
            insertLemma, id, idZenta, entry.headword, normalized(entry.headword), entry.omo, entry.pos, entry.source)
        || !insert(insertFileLemma, id, lastFileId))
        return false;
    ++entriesInFile;
    appendDiv(idZenta, entry);

    for (const QString& alias : entry.aliases)
        aliases << Alias { alias, id, lastFileId, entry.headword, entry.omo, entry.source };
    QSet<QByteArray> hashes;
    for (const QString& form : entry.forms + entry.unlistedForms) {
        const QByteArray hash = formHash(form);
        if (!hashes.contains(hash) && !insert(insertForm, id, hash))
            return false;
        hashes.insert(hash);
    }
    QSet<int> keywordIds;
    for (const QString& word : definitionKeywords(entry.definition) + entry.keywords) {
        const QString keyword = normalized(word.trimmed());
        if (keyword.isEmpty())
            continue;
        const int keywordKey = keywordId(keyword);
        if (!keywordKey)
            return false;
        if (!keywordIds.contains(keywordKey) && !insert(insertKeywordLemma, keywordKey, id))
            return false;
        keywordIds.insert(keywordKey);
    }
    for (const QString& scope : entry.scopes) {
        const int scopeKey = scopeId(scope.trimmed());
        if (!scopeKey || !insert(insertLemmaScope, id, scopeKey))
            return false;
    }
    return true;
}

bool DictionaryBuilder::addAll(const SyntheticDictionary& dictionary)
{
    for (int i = 0; i < dictionary.shape().entries; ++i)
        if (!add(dictionary.entry(i)))
            return false;
    return true;
}

// An alias is a row of its own in lemma, numbered after the entries, that names the entry's
// identifier, homograph number and content file: the searches and word lists find it by its own
// name, and its category names the entry it leads to.
bool DictionaryBuilder::writeAliases()
{
    int id = lastLemmaId;
    for (const Alias& alias : qAsConst(aliases)) {
        ++id;
        if (!insert(insertLemma, id, QString::number(alias.entryId), alias.name, normalized(alias.name), alias.omo,
                EntryName::aliasCategory(alias.headword), alias.source)
            || !insert(insertFileLemma, id, alias.fileId))
            return false;
    }
    aliases.clear();
    return true;
}

bool DictionaryBuilder::finish()
{
    if (!db)
        return fail(QStringLiteral("not open"));
    if (!flushContentFile() || !writeAliases())
        return false;
    for (sqlite3_stmt** statement : { &insertLemma, &insertFile, &insertFileLemma, &insertForm, &insertKeyword,
             &insertKeywordLemma, &insertScope, &insertLemmaScope }) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
    if (!exec("COMMIT") || !exec(indexes))
        return false;
    const bool closed = sqlite3_close(db) == SQLITE_OK;
    db = nullptr;
    return closed || fail(QStringLiteral("close"));
}

bool DictionaryBuilder::writePackage(const QString& bookDirectory, const QString& packagePath, QString* error)
{
    QFile::remove(packagePath);
    QDir().mkpath(QFileInfo(packagePath).absolutePath());
    QuaZip zip(packagePath);
    if (!zip.open(QuaZip::mdCreate)) {
        if (error)
            *error = QStringLiteral("cannot create ") + packagePath;
        return false;
    }
    const QDir base(bookDirectory);
    QDirIterator files(bookDirectory, QDir::Files, QDirIterator::Subdirectories);
    QStringList names;
    while (files.hasNext())
        names << base.relativeFilePath(files.next());
    names.sort();
    for (const QString& name : qAsConst(names)) {
        QFile source(base.absoluteFilePath(name));
        QuaZipFile member(&zip);
        if (!source.open(QIODevice::ReadOnly) || !member.open(QIODevice::WriteOnly, QuaZipNewInfo(name))) {
            if (error)
                *error = QStringLiteral("cannot pack ") + name;
            return false;
        }
        while (!source.atEnd())
            member.write(source.read(1 << 20));
        member.close();
    }
    zip.close();
    return zip.getZipError() == 0;
}
