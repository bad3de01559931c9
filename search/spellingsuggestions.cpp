#include "search/spellingsuggestions.h"

#include "base/charnormalizer.h"
#include "search/bookdatabase.h"
#include "search/booksearch.h"
#include "search/headwordsuggestions.h"
#include "search/searchstatements.h"
#include "search/sqltext.h"
#include "search/statementtimelimit.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <QTextCodec>
#include <algorithm>
#include <sqlite3.h>

namespace {
QMutex folderLock;
QString spellingFolder = QStringLiteral("/usr/share/hunspell");

struct Candidate {
    int distance;
    QString word;
    QString language; // for a spelling word, which a dictionary of this language must find; else empty
};

// Keeps `word` when its normalised form `key` is within the allowed distance of `typed`.
void consider(
    const QString& typed, const QString& word, const QString& key, const QString& language, QVector<Candidate>& out)
{
    const int bound = HeadwordSuggestions::allowedDistance(typed.size());
    if (qAbs(key.size() - typed.size()) > bound)
        return;
    const int d = HeadwordSuggestions::distance(typed, key, bound);
    if (d <= bound)
        out.push_back({ d, word, language });
}

void fromHeadwords(const SpellingSuggestions::Book& book, const QString& typed, QVector<Candidate>& out)
{
    const QString path = getBookDatabasePath(book.sku);
    if (path.isEmpty())
        return;
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    const QByteArray sql = SearchStatements::headwords(book.sourceLanguage);
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2(db, sql.constData(), sql.size(), &statement, nullptr) == SQLITE_OK) {
        StatementTimeLimit limit(db);
        limit.start();
        while (sqlite3_step(statement) == SQLITE_ROW)
            consider(
                typed, SqlText::columnText(statement, 0), SqlText::columnText(statement, 1).toLower(), QString(), out);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
}

// The spelling dictionary of a language: <language>_<LANGUAGE>.dic ("it_IT"; "en_US" for English),
// else the first of that language in name order.
QString spellingDictionary(const QString& language)
{
    QMutexLocker lock(&folderLock);
    const QDir folder(spellingFolder);
    const QString own = language + QLatin1Char('_') + language.toUpper() + QStringLiteral(".dic");
    QStringList names = folder.entryList({ language + QStringLiteral("_*.dic") }, QDir::Files, QDir::Name);
    if (language == QLatin1String("en"))
        names.prepend(QStringLiteral("en_US.dic"));
    names.prepend(own);
    for (const QString& name : qAsConst(names))
        if (folder.exists(name))
            return folder.filePath(name);
    return QString();
}

// The words of a spelling dictionary's word list, decoded as its affix file says (SET), without
// their flags.
QStringList spellingWords(const QString& dic)
{
    QFile words(dic);
    QFile affixes(dic.chopped(4) + QStringLiteral(".aff"));
    if (!words.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression set(QStringLiteral("^SET\\s+(\\S+)"), QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m
        = set.match(QString::fromLatin1(affixes.open(QIODevice::ReadOnly) ? affixes.read(1 << 16) : QByteArray()));
    QTextCodec* codec = m.hasMatch() ? QTextCodec::codecForName(m.captured(1).toLatin1()) : nullptr;
    const QString text = (codec ? codec : QTextCodec::codecForName("UTF-8"))->toUnicode(words.readAll());
    QStringList out = text.split(QLatin1Char('\n'));
    if (!out.isEmpty())
        out.removeFirst(); // the word count
    for (QString& line : out)
        line = line.section(QLatin1Char('/'), 0, 0).section(QLatin1Char('\t'), 0, 0).trimmed();
    return out;
}

void fromSpelling(const QString& language, const QString& typed, QVector<Candidate>& out)
{
    const QStringList words = spellingWords(spellingDictionary(language));
    if (words.isEmpty())
        return;
    // The language's table applied to every word at once, as the search applies it to the word.
    const QStringList keys = normalizeText(language, words.join(QLatin1Char('\n'))).toLower().split(QLatin1Char('\n'));
    for (int i = 0; i < words.size() && i < keys.size(); ++i)
        if (!words.at(i).isEmpty())
            consider(typed, words.at(i), keys.at(i), language, out);
}

// Whether a dictionary of `language` finds `word`, as a headword, a form or the beginning of one.
bool someBookFinds(const QVector<SpellingSuggestions::Book>& books, const QString& word, const QString& language)
{
    for (const SpellingSuggestions::Book& book : books) {
        const QString path = book.sourceLanguage == language ? getBookDatabasePath(book.sku) : QString();
        BookDatabase database;
        if (!path.isEmpty() && database.open(path)
            && database.count(SearchStatements::entryCount(searchWordForms(word, language), language)) > 0)
            return true;
    }
    return false;
}
}

namespace SpellingSuggestions {

void setSpellingFolder(const QString& folder)
{
    QMutexLocker lock(&folderLock);
    spellingFolder = folder;
}

QStringList closest(const QVector<Book>& books, const QString& word, int limit)
{
    QVector<Candidate> found;
    QSet<QString> languages;
    for (const Book& book : books) {
        const QString typed = normalizeText(book.sourceLanguage, word.trimmed()).toLower();
        if (typed.isEmpty())
            continue;
        fromHeadwords(book, typed, found);
        if (!languages.contains(book.sourceLanguage))
            fromSpelling(book.sourceLanguage, typed, found);
        languages.insert(book.sourceLanguage);
    }
    std::stable_sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
        return a.distance != b.distance ? a.distance < b.distance : a.word < b.word;
    });
    QStringList out;
    QSet<QString> seen;
    for (const Candidate& c : qAsConst(found)) {
        if (out.size() >= limit)
            break;
        const QString key = c.word.toLower();
        if (seen.contains(key) || (!c.language.isEmpty() && !someBookFinds(books, c.word, c.language)))
            continue;
        seen.insert(key);
        out << c.word;
    }
    return out;
}
}
