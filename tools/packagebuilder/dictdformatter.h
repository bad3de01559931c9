// Turns the plain text of a dictd article into an entry page: the heading line (pronunciation,
// grammatical category, etymology), numbered senses, sub-senses, notes, quotations and examples,
// with "{word}" cross-references made into links that open the entry they name. Understands the
// layouts of the common dictd sources (bilingual glossaries, lexical databases with "n 1:"
// senses, the older unabridged dictionaries with "\head\" lines and "(Zool.)" field labels).
#pragma once

#include "tools/packagebuilder/dictdsource.h"
#include "tools/packagebuilder/dictionaryentry.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

class DictdFormatter {
public:
    // Where a cross-reference to a headword leads ("voci0001.xhtml#12"), empty when nowhere.
    using LinkResolver = std::function<QString(const QString& headword)>;

    explicit DictdFormatter(LinkResolver resolver);

    // Headword, category, XHTML body, plain definition text (for the keywords) and scopes of
    // the article; forms are left to the caller.
    DictionaryEntry entry(const DictdArticle& article) const;

    // The scope a field label such as "Zool." or "Law" names, empty for none.
    static QString scopeOfLabel(const QString& label);
    // Replaces the bracketed letter codes of the older sources ("[a^]", "[=e]", "['e]") by the
    // letters.
    static QString decodeLetters(const QString& text);
    // How the article (its text decoded) spells a name its index writes with quote-letter forms
    // or in lower case ("'Ecart'e": "Écarté"); else the name with its letter codes decoded.
    static QString nameInText(const QString& indexName, const QString& decodedText);

private:
    struct Block;
    static QVector<Block> blocksOf(const QStringList& lines, int first);
    QString senseHtml(QString number, QString& text, DictionaryEntry* entry, QSet<QString>* categories) const;
    QString inline_(const QString& text) const;
    QString heading(const QString& text, const QString& headword, QString* category) const;

    LinkResolver resolve;
};
