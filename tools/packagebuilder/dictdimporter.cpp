#include "tools/packagebuilder/dictdimporter.h"

#include "tools/packagebuilder/affixexpander.h"
#include "tools/packagebuilder/dictdformatter.h"
#include "tools/packagebuilder/dictdsource.h"
#include "tools/packagebuilder/dictionarybuilder.h"

#include <QHash>
#include <QSet>

namespace {
// Searches ignore case, so forms differing only in case are one; forms with an elided article or
// a possessive ("l'amico", "dog's") are left out unless the headword has an apostrophe itself.
QStringList usefulForms(const QString& headword, const QStringList& candidates)
{
    const bool apostrophes = headword.contains(QLatin1Char('\''));
    QSet<QString> seen { headword.toLower() };
    QStringList forms;
    for (const QString& form : candidates) {
        const QString key = form.toLower();
        if (seen.contains(key) || (!apostrophes && (form.contains(QLatin1Char('\'')) || form.contains(QChar(0x2019)))))
            continue;
        seen.insert(key);
        forms << form;
    }
    return forms;
}
}

bool DictdImporter::import(
    const QString& basePath, const QString& language, const AffixExpander* affixes, DictionaryBuilder& builder)
{
    DictdSource source;
    if (!source.read(basePath)) {
        error = source.errorString();
        return false;
    }
    const QVector<DictdArticle>& articles = source.articles();

    // A cross-reference leads to the first article of that headword, else to the first one the
    // index names it for.
    QHash<QString, int> byHeadword;
    for (int i = 0; i < articles.size(); ++i)
        if (!byHeadword.contains(articles.at(i).headword.toLower()))
            byHeadword.insert(articles.at(i).headword.toLower(), i);
    for (int i = 0; i < articles.size(); ++i)
        for (const QString& other : articles.at(i).otherHeadwords)
            if (!byHeadword.contains(other.toLower()))
                byHeadword.insert(other.toLower(), i);
    const int first = builder.entryCount() + 1;
    int current = 0;
    // A reference to the entry itself (a name its index also lists) is no link.
    const DictdFormatter formatter([&](const QString& headword) {
        const auto found = byHeadword.constFind(DictdFormatter::decodeLetters(headword).toLower());
        return found == byHeadword.constEnd() || found.value() == current
            ? QString()
            : builder.plannedLocation(first + found.value());
    });

    for (; current < articles.size(); ++current) {
        const DictdArticle& article = articles.at(current);
        DictionaryEntry entry = formatter.entry(article);
        entry.source = language;
        entry.forms = usefulForms(
            entry.headword, article.otherHeadwords + (affixes ? affixes->forms(entry.headword) : QStringList()));
        if (!builder.add(entry)) {
            error = builder.errorString();
            return false;
        }
    }
    return true;
}
